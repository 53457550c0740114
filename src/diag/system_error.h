#pragma once
// The platform's own text for one of its error codes (errno on POSIX,
// GetLastError on Windows), for the event list and the log.

#include <cstdint>
#include <string>

namespace qz {

// "Input/output error (5)": the system's message without its line end,
// then the code. Windows gives the message in the system's ANSI code page.
std::string SystemErrorText(std::int32_t code);

}  // namespace qz
