#include "soak/process_figures.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace qz::soak {

namespace {

std::string ProcFolder(pid_t pid) { return pid == 0 ? "/proc/self" : "/proc/" + std::to_string(pid); }

// The CPU time from the stat line: fields 14 and 15 after the command name.
double CpuSeconds(const std::string& folder) {
  std::ifstream in(folder + "/stat");
  std::string line;
  std::getline(in, line);
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream rest(line.substr(close + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {
    if (i >= 14) ticks += std::stod(field);
  }
  return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

}  // namespace

ProcessFigures ReadProcessFigures(pid_t pid) {
  ProcessFigures f;
  const std::string folder = ProcFolder(pid);
  std::ifstream status(folder + "/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") status >> f.RssKb;
    else if (key == "Threads:") status >> f.Threads;
    std::string rest;
    std::getline(status, rest);
  }
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(folder + "/fd", ec); !ec && it != std::filesystem::directory_iterator();
       it.increment(ec)) {
    ++f.Descriptors;
  }
  if (pid == 0 && f.Descriptors > 0) --f.Descriptors;  // the listing's own descriptor
  f.CpuSeconds = CpuSeconds(folder);
  return f;
}

}  // namespace qz::soak
