#pragma once
// Command input on Windows: a thread reads the console (or a pipe) and hands
// whole lines to the main loop, which meanwhile pumps the thread's messages,
// since the driver's status window lives in this thread.

#include <memory>

#include "command_reader.h"

namespace qzhost {

std::unique_ptr<CommandSource> MakeWin32Input();

// Dispatches every message waiting for this thread's windows.
void PumpMessages();

}  // namespace qzhost
