#include "protocol/answer_pairing.h"

#include <bit>

#include "config/driver_config.h"

namespace qz {

namespace {

constexpr std::uint8_t kReadAndZero = 0x80;
constexpr std::uint8_t kCounterGroups = 0x3F;

// r[i] for 1 <= i < n (the check byte is never data); 0 elsewhere.
std::uint8_t At(std::string_view r, std::size_t i) {
  return i >= 1 && i < r.size() ? static_cast<std::uint8_t>(r[i - 1]) : 0;
}

std::uint16_t WordLowFirst(std::string_view r, std::size_t i) {
  return static_cast<std::uint16_t>(At(r, i) | (At(r, i + 1) << 8));
}

std::size_t Groups(std::uint8_t mask) { return static_cast<std::size_t>(std::popcount(mask)); }

std::size_t QCodeLength(std::string_view r, std::size_t p) {
  switch (At(r, p + 1)) {
    case '!': return 3;
    case 'H': return At(r, p + 2) == '1' ? 8 : 3;
    case 'N': return static_cast<std::size_t>(At(r, p + 5)) + 7;
    case 'Q': case 'X': case 'q': case 'x': return 0;
    default: return 2;
  }
}

bool IsYKind(std::uint8_t kind) { return kind == 'Y' || kind == 'y'; }

// Whether the code at p answers the key's request.
bool Answers(std::string_view r, std::size_t p, const AnswerKey& key) {
  const std::uint8_t code = At(r, p);
  if (code == 'E') return true;
  if (code != key.Code) return false;
  switch (code) {
    case 'N':
    case 'n': return WordLowFirst(r, p + 1) == key.Address;
    case 'C': return (At(r, p + 1) & kReadAndZero) == key.Sub;
    case 'Q': {
      const std::uint8_t sub = At(r, p + 1);
      switch (key.Sub) {
        case 'Q': return sub == 'Q' || sub == 'X';
        case 'q': return sub == 'q' || sub == 'x';
        case 'N': return sub == 'N' && At(r, p + 2) == key.Kind && WordLowFirst(r, p + 3) == key.Address;
        default: return sub == key.Sub;
      }
    }
    default: return true;
  }
}

}  // namespace

std::size_t AnswerCodeLength(std::string_view r, std::size_t p) {
  const std::uint8_t m = At(r, p + 1);
  switch (At(r, p)) {
    case 'Y': case 'y': return 4;
    case 'A': return 2 + 16 * Groups(m);
    case 'B': case 'b': return m == 0 ? 14 : 2 + Groups(m);
    case 'C': return (m & kReadAndZero) ? 2 : 2 + 16 * Groups(m & kCounterGroups);
    case 'E': return 2;
    case 'H': case 'X': return 1;
    case 'K': case 'k': return 2 + 3 * Groups(m);
    case 'L': case 'R': return 2;
    case 'N': case 'n': return 4 + static_cast<std::size_t>(At(r, p + 3));
    case 'Q': return QCodeLength(r, p);
    default: return 0;
  }
}

std::uint8_t SenderAddress(std::string_view message) {
  return IsYKind(At(message, 3)) ? At(message, 6) : At(message, 1);
}

bool CarriesReport(std::string_view message) {
  bool report = false;
  ForEachAnswerCode(message, [&](std::size_t, std::uint8_t code) { report = report || code == 'H' || code == 'X'; });
  return report;
}

AnswerKey ExpectedAnswer(const DriverConfig& config, std::string_view sentFrame) {
  AnswerKey key;
  const std::size_t prefix = config.Prefix.size();
  if (sentFrame.size() < prefix + 3) return key;
  const std::string_view m = sentFrame.substr(prefix);
  auto byte = [&](std::size_t i) { return i >= 1 && i <= m.size() ? static_cast<std::uint8_t>(m[i - 1]) : std::uint8_t{0}; };
  std::size_t body = 0;
  switch (byte(3)) {
    case 'Y':  // Retranslation, L, "Y", master, Address, master
      key.Station = byte(5);
      body = 7;
      break;
    case 'T':
    case 't':  // Address, L, "T"/"t", n, the n characters of the phone
      key.Station = byte(1);
      body = 5 + static_cast<std::size_t>(byte(4));
      break;
    default: return key;
  }
  key.Known = true;
  // The message ends before the trailer; byte 2 counts the bytes after byte 1.
  const std::size_t messageEnd = static_cast<std::size_t>(byte(2)) + 1;
  const std::size_t trailer = config.PreSuffix.size();
  if (messageEnd < trailer || body > messageEnd - trailer) return key;  // empty body
  key.Code = byte(body);
  switch (key.Code) {
    case 'N':
    case 'n': key.Address = static_cast<std::uint16_t>(byte(body + 1) | (byte(body + 2) << 8)); break;
    case 'C': key.Sub = byte(body + 1) & kReadAndZero; break;
    case 'Q':
      key.Sub = byte(body + 1);
      key.Kind = byte(body + 2);
      key.Address = static_cast<std::uint16_t>(byte(body + 3) | (byte(body + 4) << 8));
      break;
    default: break;
  }
  return key;
}

bool AnswersRequest(std::string_view message, const AnswerKey& key) {
  if (!key.Known || SenderAddress(message) != key.Station) return false;
  if (key.Code == 0) return true;
  bool answers = false;
  ForEachAnswerCode(message, [&](std::size_t p, std::uint8_t) { answers = answers || Answers(message, p, key); });
  return answers;
}

}  // namespace qz
