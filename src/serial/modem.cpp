#include "serial/modem.h"

#include "config/driver_config.h"
#include "diag/log.h"
#include "diag/texts.h"
#include "serial/port_setup.h"

namespace qz {

namespace {

int LastConnectingStation(const DriverConfig& config) {
  int found = 0;
  for (int n = 1; n <= config.StationCount && n <= kMaxStations; ++n) {
    const auto& slot = config.Stations[static_cast<std::size_t>(n)];
    if (slot && slot->Flags.in_connecting_modem) found = n;
  }
  return found;
}

}  // namespace

int ModemHangUp(SerialLine& port, DriverConfig& config, Log& log) {
  const int station = LastConnectingStation(config);
  if (station != 0) SendText(port, "\r");
  log.Line(text::kLogModemClose, text::kLogModemCloseText);
  for (auto& slot : config.Stations) {
    if (!slot) continue;
    slot->Flags.in_now_comm = 0;
    slot->Flags.in_connected_modem = 0;
    slot->Flags.in_connecting_modem = 0;
  }
  return station;
}

}  // namespace qz
