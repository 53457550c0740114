#pragma once
// Runs one of the readers as a user does and keeps what it printed.

#include <sys/wait.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace qz::test {

struct ToolResult {
  int Exit = -1;
  std::string Out;
  std::string Err;

  std::vector<std::string> OutLines() const {
    std::vector<std::string> lines;
    std::istringstream in(Out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

// program and arguments are joined with blanks: no blanks inside them.
inline ToolResult RunTool(const std::string& program, const std::string& args) {
  const ::qz::testing::TempDir dir;
  const std::string err = dir.file("stderr");
  ToolResult r;
  std::FILE* p = popen((program + " " + args + " 2>" + err).c_str(), "r");
  if (!p) return r;
  char buf[4096];
  std::size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.Out.append(buf, n);
  const int status = pclose(p);
  r.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.Err = ::qz::testing::ReadFile(err);
  return r;
}

}  // namespace qz::test
