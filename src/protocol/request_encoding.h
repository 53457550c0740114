#pragma once
// Turns one queued request into the frame the line sends.

#include <string>

#include "config/request.h"
#include "config/short_str.h"

namespace qz {

struct DriverConfig;
class Log;
struct StationRecord;

// The frame for the request, empty when the station has nothing the kind
// asks for (no frame is sent then). Writes one "CodeMess" log line.
ShortStr CodeMess(const DriverConfig& config, Log& log, const Request& request);

// Header of a frame to station s: the dialled form when it has a Phone,
// else the direct form. Byte 2 is the length placeholder.
std::string FrameHeader(const DriverConfig& config, const StationRecord& s);

}  // namespace qz
