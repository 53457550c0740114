#pragma once
// One driver instance as the host holds it: started with a parameter file,
// read and written channel by channel, its window contents and statistics
// read back through the exports.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "driver_api.h"

namespace wt {

// Host value type codes used here.
inline constexpr std::uint32_t kTypeBool = 2;
inline constexpr std::uint32_t kTypeWord = 7;
inline constexpr std::uint32_t kTypeReal = 10;

// The counters of the statistics line (sent, received, errors).
struct LineCounters {
  double Sent = 0;
  double Received = 0;
  double Errors = 0;
};

class LineSession {
 public:
  explicit LineSession(const DriverApi& api) : api_(api), handle_(api.MakeDriver()) {}
  ~LineSession() { Dispose(); }
  LineSession(const LineSession&) = delete;
  LineSession& operator=(const LineSession&) = delete;

  // Init with the parameter file and the host's name for the driver; the
  // message buffer afterwards (256 bytes as the driver left them).
  bool Init(const std::string& parFile, const std::string& hostName, std::uint32_t accessLevel = 0);
  const char* Message() const { return message_; }

  double Real(std::uint32_t channel) const;
  std::uint32_t Word(std::uint32_t channel, std::uint32_t type) const;
  void WriteReal(std::uint32_t channel, double value) const;
  void WriteWord(std::uint32_t channel, std::uint32_t type, std::uint32_t value) const;

  // The window's contents as "key<TAB>text" lines (Windows-1250).
  std::string WindowText() const;
  // Every value of a key of the window text, in order.
  std::vector<std::string> WindowLines(const std::string& key) const;
  // The counters of the statistics line; none before its first refresh.
  std::optional<LineCounters> Counters() const;

  void Proc(std::uint32_t code, std::int32_t a = 0, std::int32_t b = 0, std::int32_t c = 0, std::int32_t d = 0) const {
    api_.DriverProc(handle_, code, a, b, c, d);
  }
  void Done() const { api_.Done(handle_); }
  void Dispose() {
    if (handle_) api_.DisposeDriver(handle_);
    handle_ = nullptr;
  }

 private:
  const DriverApi& api_;
  DriverHandle* handle_;
  char message_[256] = {};
};

// The number after a label in a text ("Vysláno: 12" gives 12); none when absent.
std::optional<double> NumberAfter(const std::string& text, const std::string& label);

}  // namespace wt
