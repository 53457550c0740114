#pragma once
// Settings and event bits of the serial-port component.

#include <cstdint>

namespace qz {

// Values in the order of the platform's parity codes 0..4.
enum class eParity : std::uint8_t { paNone, PaOdd, paEven, paMark, paSpace };
enum class eDataBits : std::uint8_t { d7bit, d8bit };
enum class eStopBits : std::uint8_t { st1bit, st2bit };
enum class eFlowControl : std::uint8_t { fcNone, fcRTS_CTS, fcDTR_DSR, fcXON_XOF };
enum class eOpModes : std::uint8_t { rxNormal, rxMessage };
enum class eNotifyErr : std::uint8_t { neDialog, neEvent, neNone };
enum class eModemInSignal : std::uint8_t { sgCTS, sgDSR, sgRLSD };

// The line settings a port is opened with.
struct LineSettings {
  std::int32_t Baudrate = 9600;
  eParity Parity = eParity::paNone;
  eDataBits DataBits = eDataBits::d7bit;
  eStopBits StopBits = eStopBits::st1bit;
  eFlowControl FlowMode = eFlowControl::fcNone;
  bool CheckParity = true;
  std::uint16_t RxQueueSize = 1024;
  std::uint16_t TxQueueSize = 1024;
};

// Line events, with the bit values of the Win32 event mask.
namespace line_event {
inline constexpr std::uint32_t kRxChar = 0x0001;
inline constexpr std::uint32_t kTxEmpty = 0x0004;
inline constexpr std::uint32_t kCts = 0x0008;
inline constexpr std::uint32_t kDsr = 0x0010;
inline constexpr std::uint32_t kRlsd = 0x0020;
inline constexpr std::uint32_t kBreak = 0x0040;
inline constexpr std::uint32_t kRing = 0x0100;
// Everything the component listens for.
inline constexpr std::uint32_t kAll = 0x017D;
}  // namespace line_event

// Input signal states as read from the modem status.
struct ModemSignals {
  bool Cts = false;
  bool Dsr = false;
  bool Ring = false;
  bool Rlsd = false;
};

// The output lines SetSignal drives.
enum class OutputSignal : std::uint8_t { Rts, Dtr };

}  // namespace qz
