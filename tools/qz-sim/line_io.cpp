#include "line_io.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "serial/port_setup.h"
#include "serial/termios_settings_posix.h"

namespace qz::sim {

namespace {

bool MakeRaw(int fd, std::string& error) {
  termios t{};
  if (::tcgetattr(fd, &t) != 0) {
    error = std::string("tcgetattr: ") + std::strerror(errno);
    return false;
  }
  ::cfmakeraw(&t);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  if (::tcsetattr(fd, TCSANOW, &t) != 0) {
    error = std::string("tcsetattr: ") + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

bool OpenPty(LineEndpoint& line, std::string& error) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    error = std::string("cannot create a pty: ") + std::strerror(errno);
    if (master >= 0) ::close(master);
    return false;
  }
  const char* name = ::ptsname(master);
  if (!name) {
    error = "ptsname failed";
    ::close(master);
    return false;
  }
  line.SlavePath = name;
  line.SlaveFd = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
  line.Fd = master;
  if (line.SlaveFd < 0 || !MakeRaw(line.SlaveFd, error) || !MakeRaw(master, error)) {
    if (error.empty()) error = std::string("cannot open ") + name + ": " + std::strerror(errno);
    CloseLine(line);
    return false;
  }
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  return true;
}

LineSettings DeviceSettings(int baud, int dataBits, int parity, int stopBits) {
  // The same reading of the [COM] codes as the driver's, so both ends agree.
  LineSettings settings;
  settings.Baudrate = baud;
  settings.DataBits = DataBitsFromCode(static_cast<std::uint16_t>(dataBits));
  settings.Parity = ParityFromCode(static_cast<std::uint16_t>(parity), eParity::paNone);
  settings.StopBits = StopBitsFromCode(static_cast<std::uint16_t>(stopBits));
  settings.FlowMode = eFlowControl::fcNone;
  settings.CheckParity = true;
  return settings;
}

bool ComposeDeviceTermios(const LineSettings& settings, termios& t) {
  if (ComposeTermios(settings, t) != 0) return false;
  // Reads that find nothing return at once with 0 bytes; the server polls.
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  return true;
}

bool OpenDevice(const std::string& path, const LineSettings& settings, LineEndpoint& line, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  line.Fd = fd;
  termios t{};
  if (::tcgetattr(fd, &t) != 0) {
    error = path + " is no serial device: " + std::strerror(errno);
    CloseLine(line);
    return false;
  }
  if (!ComposeDeviceTermios(settings, t)) {
    error = "the framing of the parameter file has no equivalent on this system";
    CloseLine(line);
    return false;
  }
  if (::tcsetattr(fd, TCSANOW, &t) != 0) {
    error = "cannot set up " + path + ": " + std::strerror(errno);
    CloseLine(line);
    return false;
  }
  if (!HasSpeedCode(settings.Baudrate) && SetCustomSpeed(fd, settings.Baudrate) != 0) {
    error = "cannot set " + std::to_string(settings.Baudrate) + " Bd on " + path + ": " + std::strerror(errno);
    CloseLine(line);
    return false;
  }
  return true;
}

bool OpenDevice(const std::string& path, int baud, int dataBits, int parity, int stopBits, LineEndpoint& line,
                std::string& error) {
  return OpenDevice(path, DeviceSettings(baud, dataBits, parity, stopBits), line, error);
}

void CloseLine(LineEndpoint& line) {
  if (line.Fd >= 0) ::close(line.Fd);
  if (line.SlaveFd >= 0) ::close(line.SlaveFd);
  line.Fd = line.SlaveFd = -1;
}

void UnplugPty(LineEndpoint& line, const std::string& link) {
  CloseLine(line);
  if (!link.empty()) ::unlink(link.c_str());
}

bool ReplugPty(LineEndpoint& line, const std::string& link, std::string& error) {
  if (!OpenPty(line, error)) return false;
  if (link.empty()) return true;
  ::unlink(link.c_str());
  if (::symlink(line.SlavePath.c_str(), link.c_str()) != 0) {
    error = "cannot link " + link + ": " + std::strerror(errno);
    CloseLine(line);
    return false;
  }
  return true;
}

PacedWriter::PacedWriter(int baud, int bitsPerChar, bool pace)
    : charUs_(std::max<std::int64_t>(1, std::int64_t{bitsPerChar} * 1000000 / std::max(baud, 1))), pace_(pace) {}

void PacedWriter::Start(std::string bytes, std::int64_t nowUs) {
  bytes_ = std::move(bytes);
  sent_ = 0;
  startUs_ = nowUs;
}

std::int64_t PacedWriter::NextDueUs() const {
  return pace_ ? startUs_ + static_cast<std::int64_t>(sent_) * charUs_ : startUs_;
}

bool PacedWriter::WriteDue(int fd, std::int64_t nowUs) {
  if (!Busy()) return true;
  std::size_t due = bytes_.size();
  if (pace_) {
    const std::int64_t elapsed = nowUs - startUs_;
    due = std::min(bytes_.size(), static_cast<std::size_t>(std::max<std::int64_t>(elapsed / charUs_ + 1, 0)));
  }
  while (sent_ < due) {
    const ssize_t n = ::write(fd, bytes_.data() + sent_, due - sent_);
    if (n > 0) {
      sent_ += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == EAGAIN) {
      return true;  // the line's buffer is full; the rest leaves later
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace qz::sim
