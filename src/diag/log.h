#pragma once
// The optional text log: one time-stamped line per call, Windows-1250, CR LF.
//
// Lines look like "7.12.2026 3:04:05 PARfile ITEM : BAUD", cut to 255
// characters. The file is opened and closed for every line, so it can be read
// and removed while the driver runs. Nothing is written until the parameter
// file switches logging on.

#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace qz {

// Where a component that is given its log writes its lines (label, text).
using LogSink = std::function<void(std::string_view label, std::string_view text)>;

// The log of one driver instance. The host's thread and the communication
// thread write to it; their lines are written one after the other and none
// is dropped.
class Log {
 public:
  using Clock = std::function<std::time_t()>;

  Log();  // time stamps from the system clock
  explicit Log(Clock clock);
  Log(const Log&) = delete;
  Log& operator=(const Log&) = delete;

  // Off and no file named: the state before a parameter file is read.
  void Reset();

  // Switches logging on; the default file is QZDRK485_<driverName>.LOG in
  // the driver's root folder, used unless a file has been named.
  void Enable(std::string_view driverName);

  // The file the parameter file names (as written there).
  void SetFileName(std::string_view name);

  bool Enabled() const;
  std::string FileName() const;

  void Line(std::string_view label, std::string_view text);

  // The label line, then the data 16 bytes a line as "Hex Dump" lines of
  // two hex digits and a blank per byte.
  void HexDump(std::string_view label, std::string_view data);

  // A sink that writes to this log.
  LogSink Sink();

 private:
  mutable std::mutex lock_;
  Clock clock_;
  bool enabled_ = false;
  std::string fileName_;
};

// HexDump's lines handed to a sink.
void HexDump(const LogSink& sink, std::string_view label, std::string_view data);

// The log's date-time text of a local time: "7.12.2026 3:04:05".
std::string LogDateTimeText(std::time_t when);

// A whole log line (without its line end), cut to 255 characters.
std::string FormatLogLine(std::string_view dateTime, std::string_view label, std::string_view text);

}  // namespace qz
