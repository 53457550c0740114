#include "wire.h"

#include <utility>

namespace qz::sim {

namespace {
constexpr std::size_t kMaxMessage = 255;

std::uint8_t At(std::string_view s, std::size_t oneBased) {
  return oneBased >= 1 && oneBased <= s.size() ? static_cast<std::uint8_t>(s[oneBased - 1]) : 0;
}
}  // namespace

std::uint8_t XorOf(std::string_view bytes) {
  std::uint8_t x = 0;
  for (char c : bytes) x = static_cast<std::uint8_t>(x ^ static_cast<std::uint8_t>(c));
  return x;
}

bool ParseMessage(std::string_view message, std::size_t preSuffixLength, ParsedMessage& out) {
  out = ParsedMessage{};
  out.Message = std::string(message);
  if (message.size() < 4) return false;
  const std::uint8_t kind = At(message, 3);
  std::size_t bodyStart = 0;  // 1-based
  if (kind == 'Y' || kind == 'y') {
    if (message.size() < 7) return false;
    out.Kind = kind == 'Y' ? HeaderKind::Direct : HeaderKind::Ack;
    out.Source = At(message, 4);
    out.Addressee = At(message, 5);
    bodyStart = 7;
  } else if (kind == 'T' || kind == 't') {
    const std::size_t n = At(message, 4);
    if (message.size() < 5 + n) return false;
    out.Kind = HeaderKind::Dialled;
    out.Addressee = At(message, 1);
    out.Phone = std::string(message.substr(4, n));
    bodyStart = 5 + n;
  } else {
    out.Kind = HeaderKind::Other;
    out.Addressee = At(message, 1);
    bodyStart = 3;
  }
  // Body: from bodyStart up to the trailer, the check byte excluded.
  const std::size_t end = message.size() - 1;  // count of bytes before the check
  const std::size_t first = bodyStart - 1;
  if (end < first + preSuffixLength) return false;
  out.Body = std::string(message.substr(first, end - first - preSuffixLength));
  return true;
}

std::string BuildMessage(std::string header, std::string_view body, std::string_view preSuffix) {
  std::string m = std::move(header);
  m.append(body);
  m.append(preSuffix);
  if (m.size() > kMaxMessage - 1) m.resize(kMaxMessage - 1);
  if (m.size() >= 2) m[1] = static_cast<char>(m.size() - 1);
  m.push_back(static_cast<char>(XorOf(m)));
  return m;
}

std::string Frame(const LineFraming& line, std::string_view message) {
  std::string f = line.Prefix;
  f.append(message);
  f.append(line.Suffix);
  if (f.size() > kMaxMessage) f.resize(kMaxMessage);
  return f;
}

std::string YHeader(std::uint8_t addressee, std::uint8_t route, std::uint8_t master, std::uint8_t station) {
  return std::string{static_cast<char>(addressee), '\0', 'Y', static_cast<char>(route),
                     static_cast<char>(master), static_cast<char>(station)};
}

std::string ShortHeader(std::uint8_t station) { return std::string{static_cast<char>(station), '\0'}; }

std::string ExpectedAck(std::string_view m) {
  if (m.size() >= 7 && m[2] == 'Y') {
    // The report's body and trailer come back; the control centre computes
    // length and check anew and adds no second trailer.
    std::string ack{m[3], '\0', 'y', '\0', m[5], '\0'};
    ack.append(m.substr(6, m.size() - 7));
    if (ack.size() > kMaxMessage - 1) ack.resize(kMaxMessage - 1);
    ack[1] = static_cast<char>(ack.size() - 1);
    ack.push_back(static_cast<char>(XorOf(ack)));
    return ack;
  }
  return std::string(m);
}

FrameReceiver::FrameReceiver(std::string prefix, Sink sink, DropSink dropped)
    : prefix_(std::move(prefix)), sink_(std::move(sink)), dropped_(std::move(dropped)) {}

void FrameReceiver::Feed(std::string_view bytes) {
  for (char c : bytes) Take(static_cast<std::uint8_t>(c));
}

void FrameReceiver::Reset() {
  if (!message_.empty() && dropped_) dropped_(Drop::Stale, message_);
  message_.clear();
  window_.clear();
}

void FrameReceiver::Take(std::uint8_t byte) {
  const char c = static_cast<char>(byte);
  if (window_ != prefix_) {
    window_.push_back(c);
    if (window_.size() > prefix_.size()) {
      window_.erase(0, 1);
      ++skipped_;
    }
    return;
  }
  message_.push_back(c);
  if (message_.size() < 2) return;
  const std::size_t total = 2 + static_cast<std::uint8_t>(message_[1]);
  if (message_.size() < total) return;
  std::string complete;
  complete.swap(message_);
  window_.clear();
  if (XorOf(complete) == 0) {
    if (sink_) sink_(complete);
  } else if (dropped_) {
    dropped_(Drop::BadCheck, complete);
  }
}

}  // namespace qz::sim
