#pragma once
// The driver's use of its port: opening it with the [COM] settings and the
// small line operations of the communication thread.

#include <cstdint>
#include <string>
#include <string_view>

#include "config/short_str.h"
#include "serial/serial_types.h"

namespace qz {

struct DriverConfig;
class Log;
class SerialLine;
class TSerial;
class WindowModel;

// The [COM] codes as port settings.
eDataBits DataBitsFromCode(std::uint16_t code);
// Codes 0 none, 1 even, 2 odd, 3 mark, 4 space; other codes keep current.
eParity ParityFromCode(std::uint16_t code, eParity current);
eStopBits StopBitsFromCode(std::uint16_t code);
// Bit 5 RTS/CTS, bit 6 DTR/DSR, bit 7 XON/XOFF; the highest set bit wins.
eFlowControl FlowModeFromOptions(std::uint16_t options);

// The port as the event list names it: "COM3", followed by the device it
// opens where that is not the COM name itself ("COM3 (/dev/ttyUSB0)").
std::string PortTitle(int port);
// Event texts of a port that cannot be opened, that went away and that is
// back; code: the platform's error.
std::string PortOpenFailedText(int port, std::int32_t code);
std::string PortLostText(int port, std::int32_t code);
std::string PortBackText(int port);

// Closes the port, applies the [COM] settings, opens it and reports the
// result in the event list (with the device and the system's error when it
// cannot be opened, also in the log). Afterwards port.Active() tells whether the line works.
void ConfigurePort(WindowModel* eventList, TSerial& port, const DriverConfig& config, Log& log);

// Writes the bytes.
void SendText(SerialLine& port, std::string_view text);

// True unless a frame is being transmitted and bytes still wait in the
// output buffer.
bool TxDone(SerialLine& port, bool transmitting);

std::int32_t RxCount(SerialLine& port);
std::int32_t TxCount(SerialLine& port);

// Makes count single-byte reads and returns the bytes that arrived (maybe fewer).
ShortStr ReadBytes(SerialLine& port, int count);

// Aborts pending reads and writes; bytes already buffered stay.
void PurgeLine(SerialLine& port);

}  // namespace qz
