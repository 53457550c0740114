#pragma once
// The status window's contents for a host that has no window of its own to
// show (the host harness on Linux), through QueryProc.
//
// Query code 12 with the name "GetWindow": the reply's Kind is the capacity
// of its Text buffer in bytes; the driver writes lines "key<TAB>text" ended
// by LF (caption, visible, enabled, state, bounds, one "event" line per
// event-list line, one "status" line per statistics line) and a NUL, never
// more than Kind bytes. Texts stay Windows-1250.

#include <cstdint>
#include <string>

struct DriverHandle;
struct QueryReply;

namespace qz {

inline constexpr std::uint32_t kQueryWindow = 12;

struct WindowView;

// The text form of a window view.
std::string WindowText(const WindowView& view);

// Answers the window query; any other query is left alone.
void AnswerWindowQuery(DriverHandle* h, std::uint32_t code, const char* name, QueryReply* reply);

}  // namespace qz
