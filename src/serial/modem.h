#pragma once
// Hang-up of a dial-up connection. Runs under the instance lock.

namespace qz {

struct DriverConfig;
class Log;
class SerialLine;

// Ends a connection: the last station (1..StationCount) that was connecting
// is reported and, when there is one, a carriage return goes out on the
// line; every station's in_now_comm, in_connected_modem and
// in_connecting_modem are cleared. Returns that station, 0 for none.
int ModemHangUp(SerialLine& port, DriverConfig& config, Log& log);

}  // namespace qz
