#include "log_lines.h"

#include <cstdio>
#include <utility>

namespace qz::readers {

namespace {

std::optional<CivilTime> ParseDate(const std::string& s) {
  CivilTime t;
  char tail = 0;
  if (std::sscanf(s.c_str(), "%4d-%2d-%2d%c", &t.Year, &t.Month, &t.Day, &tail) == 3 ||
      std::sscanf(s.c_str(), "%2d.%2d.%4d%c", &t.Day, &t.Month, &t.Year, &tail) == 3 ||
      std::sscanf(s.c_str(), "%2d/%2d/%4d%c", &t.Day, &t.Month, &t.Year, &tail) == 3) {
    if (t.Year >= 1900 && t.Month >= 1 && t.Month <= 12 && t.Day >= 1 && t.Day <= 31) return t;
  }
  return std::nullopt;
}

bool ParseClock(const std::string& s, CivilTime& t) {
  char tail = 0;
  return std::sscanf(s.c_str(), "%2d:%2d:%2d%c", &t.Hour, &t.Minute, &t.Second, &tail) == 3 && t.Hour >= 0 &&
         t.Hour < 24 && t.Minute >= 0 && t.Minute < 60 && t.Second >= 0 && t.Second < 60;
}

}  // namespace

std::optional<LogLine> ParseLogLine(std::string_view line, std::size_t number) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const std::size_t dateEnd = line.find(' ');
  if (dateEnd == std::string_view::npos || dateEnd > 10) return std::nullopt;
  const std::size_t timeEnd = line.find(' ', dateEnd + 1);
  if (timeEnd == std::string_view::npos || timeEnd - dateEnd > 9) return std::nullopt;
  auto date = ParseDate(std::string(line.substr(0, dateEnd)));
  if (!date || !ParseClock(std::string(line.substr(dateEnd + 1, timeEnd - dateEnd - 1)), *date)) return std::nullopt;
  const std::string_view rest = line.substr(timeEnd + 1);
  // The label's separator; an empty text leaves the line ending in " :".
  std::size_t sep = rest.find(" : ");
  std::size_t textStart = sep + 3;
  if (sep == std::string_view::npos && rest.ends_with(" :")) {
    sep = rest.size() - 2;
    textStart = rest.size();
  }
  if (sep == std::string_view::npos) return std::nullopt;
  LogLine out;
  out.Number = number;
  out.Time = *date;
  out.Seconds = SecondsSince2000(*date);
  out.Label = std::string(rest.substr(0, sep));
  out.Text = std::string(rest.substr(textStart));
  return out;
}

void LineSplitter::Feed(std::string_view bytes) {
  for (char c : bytes) {
    if (c == '\n') {
      if (!pending_.empty() && pending_.back() == '\r') pending_.pop_back();
      lines_.push_back(std::move(pending_));
      pending_.clear();
    } else {
      pending_ += c;
    }
  }
}

std::vector<std::string> LineSplitter::Take() { return std::exchange(lines_, {}); }

std::optional<std::string> LineSplitter::TakeRest() {
  if (pending_.empty()) return std::nullopt;
  std::string rest = std::move(pending_);
  pending_.clear();
  if (!rest.empty() && rest.back() == '\r') rest.pop_back();
  return rest;
}

}  // namespace qz::readers
