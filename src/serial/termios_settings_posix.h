#pragma once
// Line settings as termios flags (POSIX builds).

#include <termios.h>

#include <cstdint>

#include "serial/serial_types.h"

namespace qz {

// Puts the settings into t (raw mode, non-blocking reads of single bytes).
// Returns 0, or an error code when a setting has no equivalent on this
// platform (DTR/DSR handshake, mark and space parity without CMSPAR); the
// rest is still composed.
int ComposeTermios(const LineSettings& settings, termios& t);

// Whether termios has a speed code for the rate.
bool HasSpeedCode(std::int32_t baudrate);

// Sets a rate without a speed code on an open tty; 0 or -1 with errno set.
int SetCustomSpeed(int fd, std::int32_t baudrate);

}  // namespace qz
