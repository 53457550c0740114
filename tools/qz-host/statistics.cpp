#include "statistics.h"

#include <cctype>
#include <cstdlib>

namespace qzhost {

namespace {

bool Digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Line positions in the window's order.
enum Line : std::size_t { kIdle = 0, kTransmit, kPacket, kPrn, kCom, kMem };

std::optional<double> At(const std::vector<double>& numbers, std::size_t i) {
  return i < numbers.size() ? std::optional<double>(numbers[i]) : std::nullopt;
}

}  // namespace

std::vector<double> NumbersIn(const std::string& text) {
  std::vector<double> out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (!Digit(text[i])) {
      ++i;
      continue;
    }
    const bool negative = i > 0 && text[i - 1] == '-';
    std::string number;
    while (i < text.size()) {
      if (Digit(text[i])) {
        number += text[i++];
      } else if (text[i] == ' ' && i + 3 < text.size() && Digit(text[i + 1]) && Digit(text[i + 2]) &&
                 Digit(text[i + 3]) && (i + 4 >= text.size() || !Digit(text[i + 4]))) {
        ++i;  // a thousands separator
      } else if ((text[i] == '.' || text[i] == ',') && i + 1 < text.size() && Digit(text[i + 1]) &&
                 number.find('.') == std::string::npos) {
        number += '.';
        ++i;
      } else {
        break;
      }
    }
    out.push_back((negative ? -1 : 1) * std::strtod(number.c_str(), nullptr));
  }
  return out;
}

Statistics ParseStatistics(const std::vector<std::string>& lines) {
  Statistics s;
  auto numbers = [&](std::size_t line) { return line < lines.size() ? NumbersIn(lines[line]) : std::vector<double>{}; };
  const auto idle = numbers(kIdle);
  s.CycleMs = At(idle, 0), s.MaxCycleMs = At(idle, 1), s.AverageCycleMs = At(idle, 2);
  const auto transmit = numbers(kTransmit);
  s.PendingReads = At(transmit, 0), s.PendingWrites = At(transmit, 1);
  const auto packet = numbers(kPacket);
  s.Sent = At(packet, 0), s.Received = At(packet, 1), s.Errors = At(packet, 2);
  s.MemoryKb = At(numbers(kMem), 0);
  return s;
}

}  // namespace qzhost
