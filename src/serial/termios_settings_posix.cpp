#include "serial/termios_settings_posix.h"

#include <cerrno>
#include <iterator>

namespace qz {

namespace {

struct SpeedCode {
  std::int32_t Baudrate;
  speed_t Code;
};

constexpr SpeedCode kSpeedCodes[] = {
    {110, B110},     {300, B300},     {600, B600},     {1200, B1200},   {2400, B2400},
    {4800, B4800},   {9600, B9600},   {19200, B19200}, {38400, B38400}, {57600, B57600},
    {115200, B115200},
};

const SpeedCode* FindSpeed(std::int32_t baudrate) {
  for (const SpeedCode& s : kSpeedCodes)
    if (s.Baudrate == baudrate) return &s;
  return nullptr;
}

tcflag_t ParityFlags(eParity parity, [[maybe_unused]] int& unsupported) {
  switch (parity) {
    case eParity::paNone: return 0;
    case eParity::PaOdd: return PARENB | PARODD;
    case eParity::paEven: return PARENB;
#ifdef CMSPAR
    case eParity::paMark: return PARENB | CMSPAR | PARODD;
    case eParity::paSpace: return PARENB | CMSPAR;
#else
    case eParity::paMark:
    case eParity::paSpace: unsupported = EINVAL; return 0;
#endif
  }
  return 0;
}

}  // namespace

int ComposeTermios(const LineSettings& settings, termios& t) {
  int unsupported = 0;
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                      IXON | IXOFF | IXANY | INPCK | IGNPAR);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tcflag_t clear = CSIZE | PARENB | PARODD | CSTOPB;
#ifdef CMSPAR
  clear |= CMSPAR;
#endif
#ifdef CRTSCTS
  clear |= CRTSCTS;
#endif
  t.c_cflag &= ~clear;
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag |= settings.DataBits == eDataBits::d8bit ? CS8 : CS7;
  t.c_cflag |= ParityFlags(settings.Parity, unsupported);
  if (settings.StopBits == eStopBits::st2bit) t.c_cflag |= CSTOPB;
  if (settings.CheckParity && settings.Parity != eParity::paNone) t.c_iflag |= INPCK;

  switch (settings.FlowMode) {
    case eFlowControl::fcNone: break;
    case eFlowControl::fcRTS_CTS:
#ifdef CRTSCTS
      t.c_cflag |= CRTSCTS;
#else
      unsupported = EINVAL;
#endif
      break;
    case eFlowControl::fcDTR_DSR: unsupported = EINVAL; break;
    case eFlowControl::fcXON_XOF:
      t.c_iflag |= IXON | IXOFF;
      t.c_cc[VSTART] = 17;
      t.c_cc[VSTOP] = 19;
      break;
  }

  // With O_NONBLOCK, VMIN 1 makes an empty buffer read as EAGAIN, so that a
  // read of 0 bytes means the device hung up.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;

  if (const SpeedCode* s = FindSpeed(settings.Baudrate)) {
    cfsetispeed(&t, s->Code);
    cfsetospeed(&t, s->Code);
  }
  return unsupported;
}

bool HasSpeedCode(std::int32_t baudrate) { return FindSpeed(baudrate) != nullptr; }

}  // namespace qz
