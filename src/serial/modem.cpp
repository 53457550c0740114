#include "serial/modem.h"

#include "host/driver_state.h"
#include "diag/log.h"
#include "diag/texts.h"
#include "serial/port_setup.h"

namespace qz {

namespace {

int LastConnectingStation(const DriverState& state) {
  int found = 0;
  for (int n = 1; n <= state.Config.StationCount && n <= kMaxStations; ++n) {
    const auto& slot = state.Config.Stations[static_cast<std::size_t>(n)];
    if (slot && slot->Flags.in_connecting_modem) found = n;
  }
  return found;
}

}  // namespace

int ModemHangUp(SerialLine& port, DriverState& state) {
  const int station = LastConnectingStation(state);
  if (station != 0) SendText(port, state, "\r", kKeepPhase);
  state.Log.Line(text::kLogModemClose, text::kLogModemCloseText);
  for (auto& slot : state.Config.Stations) {
    if (!slot) continue;
    slot->Flags.in_now_comm = 0;
    slot->Flags.in_connected_modem = 0;
    slot->Flags.in_connecting_modem = 0;
  }
  return station;
}

}  // namespace qz
