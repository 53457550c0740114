#include "serial/port_setup.h"

#include <cstdio>
#include <string>

#include "host/driver_state.h"
#include "diag/log.h"
#include "diag/system_error.h"
#include "diag/texts.h"
#include "diag/window_model.h"
#include "serial/port_device.h"
#include "serial/serial_port.h"

namespace qz {

eDataBits DataBitsFromCode(std::uint16_t code) { return code == 8 ? eDataBits::d8bit : eDataBits::d7bit; }

eParity ParityFromCode(std::uint16_t code, eParity current) {
  switch (code) {
    case 0: return eParity::paNone;
    case 1: return eParity::paEven;
    case 2: return eParity::PaOdd;
    case 3: return eParity::paMark;
    case 4: return eParity::paSpace;
    default: return current;
  }
}

eStopBits StopBitsFromCode(std::uint16_t code) { return code == 1 ? eStopBits::st1bit : eStopBits::st2bit; }

eFlowControl FlowModeFromOptions(std::uint16_t options) {
  if (options & (1u << 7)) return eFlowControl::fcXON_XOF;
  if (options & (1u << 6)) return eFlowControl::fcDTR_DSR;
  if (options & (1u << 5)) return eFlowControl::fcRTS_CTS;
  return eFlowControl::fcNone;
}

namespace {

std::string Format(std::string_view format, const std::string& a, const std::string& b = {}) {
  char buf[512];
  std::snprintf(buf, sizeof buf, std::string(format).c_str(), a.c_str(), b.c_str());
  return buf;
}

}  // namespace

std::string PortTitle(int port) {
  const std::string com = "COM" + std::to_string(port);
  const std::string device = DeviceName(port);
  if (device == com || device == "\\\\.\\" + com) return com;
  return com + " (" + device + ")";
}

std::string PortOpenFailedText(int port, std::int32_t code) {
  return Format(text::kEvtPortOpenFailed, PortTitle(port), SystemErrorText(code));
}

std::string PortLostText(int port, std::int32_t code) {
  return Format(text::kEvtPortLost, PortTitle(port), SystemErrorText(code));
}

std::string PortBackText(int port) { return Format(text::kEvtPortBack, PortTitle(port)); }

void ConfigurePort(WindowModel* eventList, TSerial& port, DriverState& state) {
  port.SetActive(false);
  port.SetCheckParity(true);
  port.SetNotifyErrors(eNotifyErr::neNone);
  port.SetPort(state.Config.PortNumber & 0xFF);
  port.SetBaudrate(state.Config.Baud);
  port.SetDataBits(DataBitsFromCode(state.Config.DataBits));
  port.SetParity(ParityFromCode(state.Config.Parity, port.Parity()));
  port.SetStopBits(StopBitsFromCode(state.Config.StopBits));
  port.SetRxQueueSize(state.Config.BufferSize);
  port.SetTxQueueSize(state.Config.BufferSize);
  port.SetFlowMode(FlowModeFromOptions(state.Config.ComOptions));
  port.SetActive(true);

  AddEvent(eventList, std::string(text::kEvtPortSetup) + "COM" + std::to_string(port.Port()) + " " +
                          std::to_string(port.Baudrate()) + "Bd");
  if (!port.Active()) {
    AddEvent(eventList, text::kEvtPortOpenError);
    const std::string why = PortOpenFailedText(port.Port(), port.ErrorCode());
    AddEvent(eventList, why);
    state.Log.Line(text::kLogConfigurePort, why);
  }

  state.Engine.LineSilence = 0.0;
  state.Engine.ThreadPhase = Phase::Idle;
  PurgeLine(port);
  state.Engine.PrefixBuffer.clear();
  state.Engine.AnswerBuffer.clear();
}

void SendText(SerialLine& port, DriverState& state, std::string_view text, std::uint8_t newPhase) {
  const std::string bytes(text);  // the caller's buffer may be the state's own
  if (newPhase != kKeepPhase) state.Engine.ThreadPhase = static_cast<Phase>(newPhase);
  port.WriteText(bytes);
}

bool TxDone(SerialLine& port, const DriverState& state) {
  return state.Engine.ThreadPhase != Phase::Transmit || port.TxWaiting() == 0;
}

std::int32_t RxCount(SerialLine& port) { return port.RxWaiting(); }

std::int32_t TxCount(SerialLine& port) { return port.TxWaiting(); }

ShortStr ReadBytes(SerialLine& port, int count) {
  ShortStr bytes;
  for (int i = 0; i < count; ++i) {
    std::uint8_t byte = 0;
    if (port.ReadChar(byte) == 1) bytes += static_cast<char>(byte);
  }
  return bytes;
}

void PurgeLine(SerialLine& port) {
  port.PurgeRx();
  port.PurgeTx();
}

void ResetLine(SerialLine& port, DriverState& state) {
  PurgeLine(port);
  state.Engine.AnswerBuffer.clear();
  state.Engine.PrefixBuffer.clear();
}

}  // namespace qz
