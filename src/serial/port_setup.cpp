#include "serial/port_setup.h"

#include <cstdio>
#include <string>

#include "config/driver_config.h"
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

void ConfigurePort(WindowModel* eventList, TSerial& port, const DriverConfig& config, Log& log) {
  port.SetActive(false);
  port.SetCheckParity(true);
  port.SetNotifyErrors(eNotifyErr::neNone);
  port.SetPort(config.PortNumber & 0xFF);
  port.SetBaudrate(config.Baud);
  port.SetDataBits(DataBitsFromCode(config.DataBits));
  port.SetParity(ParityFromCode(config.Parity, port.Parity()));
  port.SetStopBits(StopBitsFromCode(config.StopBits));
  port.SetRxQueueSize(config.BufferSize);
  port.SetTxQueueSize(config.BufferSize);
  port.SetFlowMode(FlowModeFromOptions(config.ComOptions));
  port.SetActive(true);

  AddEvent(eventList, std::string(text::kEvtPortSetup) + "COM" + std::to_string(port.Port()) + " " +
                          std::to_string(port.Baudrate()) + "Bd");
  if (!port.Active()) {
    AddEvent(eventList, text::kEvtPortOpenError);
    const std::string why = PortOpenFailedText(port.Port(), port.ErrorCode());
    AddEvent(eventList, why);
    log.Line(text::kLogConfigurePort, why);
  }
}

void SendText(SerialLine& port, std::string_view text) { port.WriteText(text); }

bool TxDone(SerialLine& port, bool transmitting) { return !transmitting || port.TxWaiting() == 0; }

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

}  // namespace qz
