#pragma once
// The simulator's end of the serial line: a real port or a new pty pair,
// and a writer that lets bytes leave at the pace of the line's baud rate.

#include <termios.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "serial/serial_types.h"

namespace qz::sim {

struct LineEndpoint {
  int Fd = -1;
  int SlaveFd = -1;        // pty: kept open so the line survives the driver closing it
  std::string SlavePath;   // pty: the path the driver opens
};

// A pty pair in raw mode; the master is the simulator's end.
bool OpenPty(LineEndpoint& line, std::string& error);
// The port settings of the [COM] codes BAUD, BITS, PARITY (0 none, 1 even,
// 2 odd, 3 mark, 4 space) and STOP, read as the driver reads them.
LineSettings DeviceSettings(int baud, int dataBits, int parity, int stopBits);
// Raw mode with those settings; false when the system has no equivalent.
bool ComposeDeviceTermios(const LineSettings& settings, termios& t);
// A serial device in raw mode with the settings.
bool OpenDevice(const std::string& path, const LineSettings& settings, LineEndpoint& line, std::string& error);
bool OpenDevice(const std::string& path, int baud, int dataBits, int parity, int stopBits, LineEndpoint& line,
                std::string& error);
void CloseLine(LineEndpoint& line);

// A USB adapter pulled and put back: UnplugPty closes both ends of the pty
// and removes the link, so the driver's descriptor fails and the path is
// gone; ReplugPty makes a new pty and links it at the same path.
void UnplugPty(LineEndpoint& line, const std::string& link);
bool ReplugPty(LineEndpoint& line, const std::string& link, std::string& error);

// Bytes leave one character time apart (bits per character / baud); with
// pacing off everything is written at once.
class PacedWriter {
 public:
  PacedWriter(int baud, int bitsPerChar, bool pace);

  bool Busy() const { return sent_ < bytes_.size(); }
  void Start(std::string bytes, std::int64_t nowUs);
  // Writes what is due by nowUs; returns false when the descriptor failed.
  bool WriteDue(int fd, std::int64_t nowUs);
  // When the next byte is due (only while Busy).
  std::int64_t NextDueUs() const;
  std::int64_t CharUs() const { return charUs_; }
  // Forgets what has not left yet (the line went away).
  void Drop() { bytes_.clear(); sent_ = 0; }

 private:
  std::int64_t charUs_;
  bool pace_;
  std::string bytes_;
  std::size_t sent_ = 0;
  std::int64_t startUs_ = 0;
};

}  // namespace qz::sim
