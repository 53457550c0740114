#include "diag/log.h"

#include <cstdio>
#include <mutex>

#include "diag/paths.h"
#include "diag/texts.h"

namespace qz {

namespace {

constexpr std::size_t kMaxLogLine = 255;

std::tm LocalTime(std::time_t when) {
  std::tm out{};
#ifdef _WIN32
  localtime_s(&out, &when);
#else
  localtime_r(&when, &out);
#endif
  return out;
}

void AppendLine(const std::string& fileName, const std::string& line) {
  std::FILE* file = std::fopen(fileName.c_str(), "ab");
  if (!file) return;  // a log that cannot be written is not the caller's problem
  std::fwrite(line.data(), 1, line.size(), file);
  std::fwrite("\r\n", 1, 2, file);
  std::fclose(file);
}

}  // namespace

std::string LogDateTimeText(std::time_t when) {
  const std::tm t = LocalTime(when);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d.%d.%d %d:%02d:%02d", t.tm_mday, t.tm_mon + 1, t.tm_year + 1900,
                t.tm_hour, t.tm_min, t.tm_sec);
  return buf;
}

std::string FormatLogLine(std::string_view dateTime, std::string_view label, std::string_view text) {
  std::string line;
  line.reserve(dateTime.size() + label.size() + text.size() + 4);
  line.append(dateTime).append(" ").append(label).append(" : ").append(text);
  if (line.size() > kMaxLogLine) line.resize(kMaxLogLine);
  return line;
}

Log::Log() : Log([] { return std::time(nullptr); }) {}

Log::Log(Clock clock) : clock_(std::move(clock)) {}

void Log::Reset() {
  std::lock_guard guard(lock_);
  enabled_ = false;
  fileName_.clear();
}

void Log::Enable(std::string_view driverName) {
  std::lock_guard guard(lock_);
  if (enabled_) return;
  enabled_ = true;
  if (!fileName_.empty()) return;
  fileName_ = RootFolder();
  fileName_.append(text::kLogDefaultPrefix).append(driverName).append(text::kLogDefaultSuffix);
}

void Log::SetFileName(std::string_view name) {
  std::lock_guard guard(lock_);
  fileName_ = name;
}

bool Log::Enabled() const {
  std::lock_guard guard(lock_);
  return enabled_;
}

std::string Log::FileName() const {
  std::lock_guard guard(lock_);
  return fileName_;
}

void Log::Line(std::string_view label, std::string_view text) {
  std::lock_guard guard(lock_);
  if (!enabled_ || fileName_.empty()) return;
  AppendLine(HostPath(fileName_), FormatLogLine(LogDateTimeText(clock_()), label, text));
}

void Log::HexDump(std::string_view label, std::string_view data) {
  if (!Enabled()) return;
  qz::HexDump(Sink(), label, data);
}

LogSink Log::Sink() {
  return [this](std::string_view label, std::string_view text) { Line(label, text); };
}

void HexDump(const LogSink& sink, std::string_view label, std::string_view data) {
  if (!sink) return;
  static constexpr char kDigits[] = "0123456789ABCDEF";
  sink(label, "");
  for (std::size_t pos = 0; pos < data.size(); pos += 16) {
    std::string hex;
    for (char c : data.substr(pos, 16)) {
      const auto b = static_cast<unsigned char>(c);
      hex += kDigits[b >> 4];
      hex += kDigits[b & 15];
      hex += ' ';
    }
    sink(text::kLogHexDump, hex);
  }
}

}  // namespace qz
