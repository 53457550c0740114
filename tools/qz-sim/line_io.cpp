#include "line_io.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

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

speed_t SpeedCode(int baud) {
  switch (baud) {
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
  }
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

bool OpenDevice(const std::string& path, int baud, int dataBits, int parity, int stopBits, LineEndpoint& line,
                std::string& error) {
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
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  t.c_cflag |= dataBits == 5 ? CS5 : dataBits == 6 ? CS6 : dataBits == 7 ? CS7 : CS8;
  if (parity == 1) t.c_cflag |= PARENB;
  if (parity == 2) t.c_cflag |= PARENB | PARODD;
  if (stopBits == 2) t.c_cflag |= CSTOPB;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  const speed_t speed = SpeedCode(baud);
  if (speed == B0) {
    error = "no standard speed code for " + std::to_string(baud) + " Bd";
    CloseLine(line);
    return false;
  }
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  if (::tcsetattr(fd, TCSANOW, &t) != 0) {
    error = "cannot set up " + path + ": " + std::strerror(errno);
    CloseLine(line);
    return false;
  }
  return true;
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
