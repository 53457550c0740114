#pragma once
// The optional text log: one time-stamped line per call, Windows-1250, CR LF.
//
// Lines look like "7.12.2026 3:04:05 PARfile ITEM : BAUD", cut to 255
// characters. The file is opened and closed for every line, so it can be read
// and removed while the driver runs. Nothing is written until the parameter
// file switches logging on.

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace qz {

struct DriverState;

void LogLine(DriverState& state, std::string_view label, std::string_view text);

// Switches logging on; the default file is QZDRK485_<DriverName>.LOG in the
// driver's root folder, used unless the parameter file named one.
void EnableLogging(DriverState& state);

// The label line, then the data 16 bytes a line as "Hex Dump" lines of
// two hex digits and a blank per byte.
void HexDump(DriverState& state, std::string_view label, std::string_view data);

// Where a component that is given its log writes its lines (label, text).
using LogSink = std::function<void(std::string_view label, std::string_view text)>;

// HexDump's lines handed to a sink.
void HexDump(const LogSink& sink, std::string_view label, std::string_view data);

// The log's date-time text of a local time: "7.12.2026 3:04:05".
std::string LogDateTimeText(std::time_t when);

// A whole log line (without its line end), cut to 255 characters.
std::string FormatLogLine(std::string_view dateTime, std::string_view label, std::string_view text);

}  // namespace qz
