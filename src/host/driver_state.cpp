#include "host/driver_state.h"

#include <chrono>

namespace qz {

namespace {

// Now as a date-time value: days since 1899-12-30 with the time as fraction.
double NowAsDateTime() {
  using namespace std::chrono;
  const double unixDays = duration<double, std::ratio<86400>>(system_clock::now().time_since_epoch()).count();
  return unixDays + 25569.0;
}

}  // namespace

bool InitDriverState(DriverState& s) {
  InitDriverConfig(s.Config);
  s.Engine.FullSleepTimer = 0.0;
  s.Engine.StatisticsTimes = {0, 0, NowAsDateTime(), 0, 0};
  s.History.Query = HistoryQuery{};
  InitSampleReadout(s.Samples);
  s.Host = HostRequests{};
  for (auto& image : s.History.Images) image.reset();
  s.Log.Reset();
  return true;
}

}  // namespace qz
