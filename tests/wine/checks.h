#pragma once
// The verdicts of one run: one "PASS name" or "FAIL name: why" line per
// check on stdout, flushed at once so that the calling script sees them as
// they come; "INFO" lines carry figures.

#include <cstdio>
#include <string>

namespace wt {

class Checks {
 public:
  explicit Checks(std::string prefix) : prefix_(std::move(prefix)) {}

  bool Expect(const std::string& name, bool ok, const std::string& detail = {}) {
    if (ok) {
      std::printf("PASS %s%s\n", prefix_.c_str(), name.c_str());
    } else {
      std::printf("FAIL %s%s: %s\n", prefix_.c_str(), name.c_str(), detail.c_str());
      ++failures_;
    }
    std::fflush(stdout);
    return ok;
  }
  void Skip(const std::string& name, const std::string& why) {
    std::printf("SKIP %s%s: %s\n", prefix_.c_str(), name.c_str(), why.c_str());
    std::fflush(stdout);
  }
  void Info(const std::string& text) {
    std::printf("INFO %s%s\n", prefix_.c_str(), text.c_str());
    std::fflush(stdout);
  }
  int Failures() const { return failures_; }

 private:
  std::string prefix_;
  int failures_ = 0;
};

}  // namespace wt
