#include "line_session.h"

#include <cstdlib>
#include <cstring>

namespace wt {

namespace {

constexpr std::uint32_t kQueryWindow = 12;
constexpr std::size_t kWindowTextSize = 16384;

// Windows-1250 labels of the statistics line.
const std::string kSentLabel = "Vysl\xE1no: ";
const std::string kReceivedLabel = "P\xF8ijato: ";
const std::string kErrorsLabel = "Chyb: ";

std::size_t ValueSize(std::uint32_t type) {
  switch (type) {
    case 2: case 3: return 1;
    case 4: case 7: return 2;
    default: return 4;
  }
}

}  // namespace

bool LineSession::Init(const std::string& parFile, const std::string& hostName, std::uint32_t accessLevel) {
  std::memset(message_, 0, sizeof message_);
  std::strncpy(message_, hostName.c_str(), sizeof message_ - 1);
  return api_.Init(handle_, static_cast<std::int32_t>(parFile.size()), parFile.c_str(), nullptr, message_,
                   accessLevel, nullptr, nullptr, nullptr) == 1;
}

double LineSession::Real(std::uint32_t channel) const {
  HostValue v{};
  v.TypeCode = kTypeReal;
  api_.GetInput(handle_, channel, &v);
  double x = 0;
  std::memcpy(&x, v.ValueBytes, sizeof x);
  return x;
}

std::uint32_t LineSession::Word(std::uint32_t channel, std::uint32_t type) const {
  HostValue v{};
  v.TypeCode = type;
  api_.GetInput(handle_, channel, &v);
  std::uint32_t x = 0;
  std::memcpy(&x, v.ValueBytes, ValueSize(type));
  return x;
}

void LineSession::WriteReal(std::uint32_t channel, double value) const {
  HostValue v{};
  v.TypeCode = kTypeReal;
  std::memcpy(v.ValueBytes, &value, sizeof value);
  api_.OutputRequest(handle_, channel, v);
}

void LineSession::WriteWord(std::uint32_t channel, std::uint32_t type, std::uint32_t value) const {
  HostValue v{};
  v.TypeCode = type;
  std::memcpy(v.ValueBytes, &value, sizeof value);
  api_.OutputRequest(handle_, channel, v);
}

std::string LineSession::WindowText() const {
  std::string buffer(kWindowTextSize, '\0');
  QueryReply reply{static_cast<std::uint32_t>(buffer.size()), buffer.data()};
  api_.QueryProc(handle_, kQueryWindow, "GetWindow", nullptr, &reply);
  buffer.resize(std::strlen(buffer.c_str()));
  return buffer;
}

std::vector<std::string> LineSession::WindowLines(const std::string& key) const {
  std::vector<std::string> values;
  const std::string text = WindowText();
  const std::string prefix = key + "\t";
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    if (text.compare(at, prefix.size(), prefix) == 0) values.push_back(text.substr(at + prefix.size(), end - at - prefix.size()));
    at = end + 1;
  }
  return values;
}

std::optional<LineCounters> LineSession::Counters() const {
  for (const std::string& line : WindowLines("status")) {
    const auto sent = NumberAfter(line, kSentLabel);
    const auto received = NumberAfter(line, kReceivedLabel);
    const auto errors = NumberAfter(line, kErrorsLabel);
    if (sent && received && errors) return LineCounters{*sent, *received, *errors};
  }
  return std::nullopt;
}

std::optional<double> NumberAfter(const std::string& text, const std::string& label) {
  const std::size_t at = text.find(label);
  if (at == std::string::npos) return std::nullopt;
  const char* start = text.c_str() + at + label.size();
  char* end = nullptr;
  const double value = std::strtod(start, &end);
  if (end == start) return std::nullopt;
  return value;
}

}  // namespace wt
