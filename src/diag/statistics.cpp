#include "diag/statistics.h"

#include <cstdio>
#include <string>

#include "diag/log.h"
#include "diag/texts.h"
#include "diag/window_model.h"

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <unistd.h>
#endif

namespace qz {

namespace {

std::string Format(std::string_view format, double a, double b, double c = 0) {
  const std::string fmt(format);
  char buf[256];
  std::snprintf(buf, sizeof buf, fmt.c_str(), a, b, c);
  return buf;
}

}  // namespace

std::string GroupedThousands(unsigned long long value) {
  const std::string digits = std::to_string(value);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
    out += digits[i];
  }
  return out;
}

std::size_t ProcessMemoryBytes() {
#ifdef _WIN32
  PROCESS_MEMORY_COUNTERS counters{};
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return counters.WorkingSetSize;
  return 0;
#else
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  unsigned long long pages = 0;
  unsigned long long resident = 0;
  const int n = std::fscanf(f, "%llu %llu", &pages, &resident);
  std::fclose(f);
  if (n != 2) return 0;
  return static_cast<std::size_t>(resident * static_cast<unsigned long long>(sysconf(_SC_PAGESIZE)));
#endif
}

void ShowStatistics(const LineFigures& figures, WindowModel* window) {
  if (!window) return;
  window->SetStatusLine(StatusLine::Idle, Format(text::kLabelIdleFormat, figures.CycleMs, figures.MaxCycleMs,
                                                 figures.AverageCycleMs));
  window->SetStatusLine(StatusLine::Transmit, Format(text::kLabelTransmitFormat, figures.ReadQueued, figures.WriteQueued));
  window->SetStatusLine(StatusLine::Packet,
                        Format(text::kLabelPacketFormat, figures.Sent, figures.Received, figures.Errors));
  std::string mem(text::kLabelMemPrefix);
  mem += GroupedThousands(ProcessMemoryBytes() / 1024);
  mem += text::kLabelMemSuffix;
  window->SetStatusLine(StatusLine::Mem, mem);
}

void AddToMemo(std::string_view eventText, Log& log, WindowModel* window) {
  AddEvent(window, eventText);
  log.Line(text::kLogAddToMemo, eventText);
}

}  // namespace qz
