#pragma once
// Life cycle of a driver instance: creation, start, window control, stop
// and destruction. The exports in exports.cpp check their arguments and
// call these.

#include <cstdint>
#include <string_view>

struct DriverHandle;

namespace qz {

inline constexpr std::size_t kHostMessageSize = 256;
inline constexpr std::size_t kMaxHostMessage = 80;

DriverHandle* MakeDriverInstance();

struct InitArgs {
  std::string_view ParFileName;  // already cut at the name length or a NUL
  std::string_view HostName;     // the host's name for the driver
  std::uint32_t AccessLevel = 0;
};

// Init as the host calls it: the parameter file name is at most nameLength
// characters (ending early at a NUL), the host's name for the driver is the
// NUL-terminated text in the 256-byte message buffer, which gets the reason
// when the start fails.
bool InitFromHost(DriverHandle& h, std::int32_t nameLength, const char* name, char* message,
                  std::uint32_t accessLevel);

// Starts the instance. On failure returns false and the message for the
// host's buffer (at most 80 characters).
bool InitInstance(DriverHandle& h, const InitArgs& args, std::string& failure);

void DoneInstance(DriverHandle& h);
void DisposeInstance(DriverHandle* h);
void DriverProcInstance(DriverHandle& h, std::uint32_t code, std::int32_t a, std::int32_t b,
                        std::int32_t c, std::int32_t d);

// Writes text, a NUL and zeros over all 256 bytes of the host's buffer; the
// text is cut to 80 characters.
void WriteHostMessage(char* buffer, std::string_view text);

// Reads a NUL-terminated text of at most limit characters.
std::string_view ReadHostText(const char* text, std::size_t limit);

// Whether the host's NUL-terminated text is exactly expected; reads at most
// one byte past its length, so a text without a NUL is never read far.
bool HostTextIs(const char* text, std::string_view expected);

}  // namespace qz
