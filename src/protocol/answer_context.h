#pragma once
// The answer being decoded: the received message r (bytes r[1]..r[n], the
// last the check byte), the frame sent before it and the sending station.
// Reads never leave the message: a byte that is not there reads as 0, and
// the check byte is never data.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qz {

struct AnswerTarget;
struct DecodeOutcome;
struct StationRecord;

struct AnswerContext {
  const AnswerTarget& target;
  DecodeOutcome& outcome;
  StationRecord& station;
  int stationIndex;
  std::string_view r;     // the received message with its check byte
  std::string_view sent;  // the frame transmitted last, as sent
  bool ackRequired = false;

  std::size_t n() const { return r.size(); }
  // r[i] for 1 <= i < n; 0 elsewhere.
  std::uint8_t At(std::size_t i) const {
    return i >= 1 && i < r.size() ? static_cast<std::uint8_t>(r[i - 1]) : 0;
  }
  std::uint16_t WordLowFirst(std::size_t i) const {
    return static_cast<std::uint16_t>(At(i) | (At(i + 1) << 8));
  }
  std::uint16_t WordHighFirst(std::size_t i) const {
    return static_cast<std::uint16_t>((At(i) << 8) | At(i + 1));
  }
  // Up to count data bytes from r[first], only those that arrived.
  std::string_view Data(std::size_t first, std::size_t count) const {
    if (first < 1 || first >= r.size()) return {};
    const std::size_t available = r.size() - first;  // r[first] .. r[n-1]
    return r.substr(first - 1, count < available ? count : available);
  }
  // Adds to the event-list line of the message.
  void Append(std::string_view text);
};

// Decodes the "Q" code at position p; returns the bytes it consumed, or 0
// when the rest of the message is not decoded.
std::size_t DecodeQCode(AnswerContext& c, std::size_t p);

}  // namespace qz
