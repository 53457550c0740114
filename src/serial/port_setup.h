#pragma once
// The driver's use of its port: opening it with the [COM] settings and the
// small line operations of the communication thread. Functions that touch
// the state's engine fields run under the instance lock while the
// communication thread runs.

#include <cstdint>
#include <string>
#include <string_view>

#include "config/short_str.h"
#include "serial/serial_types.h"

namespace qz {

struct DriverState;
class SerialLine;
class TSerial;
class WindowModel;

// ThreadPhase value that tells SendText to leave the phase alone.
inline constexpr std::uint8_t kKeepPhase = 254;

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

// Closes the port, applies the [COM] settings of the state, opens it and
// reports the result in the event list (with the device and the system's
// error when it cannot be opened, also in the log); resets the line's phase, silence
// and receive buffers. Afterwards port.Active() tells whether the line works.
void ConfigurePort(WindowModel* eventList, TSerial& port, DriverState& state);

// Writes the bytes; sets ThreadPhase to newPhase first unless it is kKeepPhase.
void SendText(SerialLine& port, DriverState& state, std::string_view text, std::uint8_t newPhase);

// True unless a frame is being transmitted (phase 1) and bytes still wait
// in the output buffer.
bool TxDone(SerialLine& port, const DriverState& state);

std::int32_t RxCount(SerialLine& port);
std::int32_t TxCount(SerialLine& port);

// Makes count single-byte reads and returns the bytes that arrived (maybe fewer).
ShortStr ReadBytes(SerialLine& port, int count);

// Aborts pending reads and writes; bytes already buffered stay.
void PurgeLine(SerialLine& port);

// PurgeLine, then empties the receive buffers of the state.
void ResetLine(SerialLine& port, DriverState& state);

}  // namespace qz
