#include "config/par_reader.h"

#include <charconv>
#include <cmath>

#include "diag/log.h"
#include "diag/texts.h"

namespace qz {

namespace {

constexpr std::size_t kChunkSize = 64 * 1024;

bool IsSeparator(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

char UpperChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string CompareForm(std::string_view text) { return UpperAscii(text.substr(0, kCompareLength)); }

}  // namespace

// ---------------------------------------------------------------------------

ParSource::ParSource(std::string_view text) : cur_(text.data()), end_(text.data() + text.size()) {}

ParSource::ParSource(std::FILE* file) : file_(file) {}

bool ParSource::Refill() {
  if (!file_ || failed_) return false;
  buffer_.resize(kChunkSize);
  const std::size_t n = std::fread(buffer_.data(), 1, buffer_.size(), file_);
  if (n == 0) {
    if (std::ferror(file_)) failed_ = true;
    file_ = nullptr;  // nothing more will come
    return false;
  }
  cur_ = buffer_.data();
  end_ = cur_ + n;
  return true;
}

// ---------------------------------------------------------------------------

std::optional<std::int32_t> ParseInteger(std::string_view s) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  bool hex = false;
  if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == s.size()) return std::nullopt;
  // Decimal values must fit a signed 32-bit number; hex values may use all
  // 32 bits.
  const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  std::uint64_t value = 0;
  for (; i < s.size(); ++i) {
    const int digit = hex ? HexDigit(s[i]) : (IsDigit(s[i]) ? s[i] - '0' : -1);
    if (digit < 0) return std::nullopt;
    value = value * (hex ? 16u : 10u) + static_cast<unsigned>(digit);
    if (value > limit) return std::nullopt;
  }
  const auto bits = static_cast<std::uint32_t>(negative ? (~value + 1) : value);
  return static_cast<std::int32_t>(bits);
}

std::optional<double> ParseReal(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  const std::size_t numberStart = i;
  std::size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    const std::size_t expStart = i;
    while (i < s.size() && IsDigit(s[i])) ++i;
    if (i == expStart) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  // from_chars takes no plus sign; the minus is handled by it.
  const std::size_t from = s[0] == '+' ? numberStart : 0;
  double value = 0;
  const auto [end, ec] = std::from_chars(s.data() + from, s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<std::string> DecodeTextValue(std::string_view text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"') {
      const std::size_t close = text.find('"', i + 1);
      const std::size_t stop = close == std::string_view::npos ? text.size() : close;
      out.append(text.substr(i + 1, stop - i - 1));
      i = close == std::string_view::npos ? text.size() : close + 1;
    } else if (c == '$') {
      if (i + 2 >= text.size()) return std::nullopt;
      const int high = HexDigit(text[i + 1]);
      const int low = HexDigit(text[i + 2]);
      if (high < 0 || low < 0) return std::nullopt;
      out.push_back(static_cast<char>(high * 16 + low));
      i += 3;
    } else {
      ++i;
    }
  }
  return out;
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperChar(c);
  return out;
}

bool TokenEquals(std::string_view a, std::string_view b) { return CompareForm(a) == CompareForm(b); }

KeywordTable::KeywordTable(std::span<const std::string_view> names) : Names(names) {
  Upper.reserve(names.size());
  for (std::string_view n : names) Upper.push_back(CompareForm(n));
}

int KeywordTable::Find(std::string_view upperToken) const {
  for (std::size_t i = 0; i < Upper.size(); ++i) {
    if (Upper[i] == upperToken) return static_cast<int>(i) + 1;
  }
  return 0;
}

std::string BadKeywordMessage(std::string_view keyword, std::string_view group) {
  std::string m(text::kErrBadKeyword);
  m.append(keyword).append(text::kErrKeywordGroupSeparator).append(group);
  return m;
}

// ---------------------------------------------------------------------------

ParReader::ParReader(DriverConfig& config, qz::Log& log, ParSource& source)
    : config_(config), log_(log), source_(source) {
  token_.reserve(kMaxTokenLength);
}

void ParReader::ReadToken() {
  token_.clear();
  int c = source_.Get();
  while (IsSeparator(c)) c = source_.Get();
  if (c < 0) {
    separator_ = -1;
    return;
  }
  tokenLine_ = source_.Line();
  // A longer run is one token, cut to its first 255 characters.
  while (c >= 0 && !IsSeparator(c)) {
    if (token_.size() < kMaxTokenLength) token_.push_back(static_cast<char>(c));
    c = source_.Get();
  }
  separator_ = c;
}

void ParReader::NextToken() {
  bool commentOpen = false;
  for (;;) {
    ReadToken();
    if (token_ == text::kDiagsMarker) {
      diagsSeen_ = true;
      if (diagsEnablesLogging_) log_.Enable(config_.DriverName.view());
    }
    if (token_.empty()) break;  // end of file, also inside a comment
    if (token_.front() == '{') {
      // {note} is a whole comment by itself.
      if (token_.size() < 2 || token_.back() != '}') commentOpen = true;
      continue;
    }
    if (token_.back() == '}') {
      commentOpen = false;
      continue;
    }
    if (!commentOpen) break;
  }
  atEnd_ = token_.empty();
  currentToken_ = CompareForm(token_);
  rawToken_ = token_;
  if (log_.Enabled()) log_.Line(text::kLogParItem, currentToken_.view());
}

bool ParReader::OnlySeparatorsLeft() {
  for (int c = source_.Peek(); IsSeparator(c); c = source_.Peek()) source_.Get();
  return source_.Peek() < 0;
}

bool ParReader::SetGroupPos(std::string_view groupName) {
  flags_.fill(0);
  groupError_ = false;
  const std::string wanted = CompareForm(groupName);
  for (;;) {
    NextToken();
    if (Token() == wanted || atEnd_) break;
    if (observer_) observer_->SkippedBeforeGroup(groupName, rawToken_.view(), tokenLine_);
  }
  if (Token() == wanted && !atEnd_) {
    if (observer_) observer_->GroupFound(groupName, tokenLine_);
    log_.Line(text::kLogSetGroupPos, std::string(text::kLogGroupOk) + std::string(groupName));
    return true;
  }
  groupError_ = true;
  SetErrorText(std::string(text::kErrGroupMissing) + std::string(groupName));
  log_.Line(text::kLogSetGroupPos, std::string(text::kLogGroupErr) + std::string(groupName));
  return false;
}

void ParReader::PresetFlags(int from, int to) {
  for (int i = from; i <= to; ++i) SetFlag(i, true);
}

int ParReader::FirstMissing(int count) const {
  for (int i = 1; i <= count; ++i) {
    if (!Flag(i)) return i;
  }
  return 0;
}

std::optional<std::uint16_t> ParReader::WordValue() const {
  if (TokenIs("FROM_GLOBAL") && config_.DefAnalogInAddr != kNoAddress) return config_.DefAnalogInAddr;
  const auto v = ParseInteger(Token());
  if (!v) return std::nullopt;
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(*v) & 0xFFFFu);
}

std::optional<std::uint8_t> ParReader::ByteValue() const {
  const auto v = ParseInteger(Token());
  if (!v) return std::nullopt;
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(*v) & 0xFFu);
}

bool ParReader::LoadWord(int index, std::uint16_t& target) {
  const auto v = WordValue();
  if (!v) return false;
  target = *v;
  SetFlag(index, true);
  return true;
}

bool ParReader::LoadByte(int index, std::uint8_t& target) {
  const auto v = ByteValue();
  target = v.value_or(0);
  if (v) SetFlag(index, true);
  return v.has_value();
}

bool ParReader::LoadInteger(int index, std::int32_t& target) {
  const auto v = ParseInteger(Token());
  if (!v) return false;
  target = static_cast<std::int32_t>(static_cast<std::uint32_t>(*v) & 0xFFFFu);
  SetFlag(index, true);
  return true;
}

bool ParReader::LoadLong(int index, std::int32_t& target) {
  const auto v = ParseInteger(Token());
  if (!v) return false;
  target = *v;
  SetFlag(index, true);
  return true;
}

bool ParReader::LoadReal(int index, Real6& target) {
  const auto v = ParseReal(Token());
  target = v.value_or(-999999.9);
  if (v) SetFlag(index, true);
  return v.has_value();
}

bool ParReader::LoadSwitch(int index, std::uint8_t& target) {
  log_.Line(text::kLogLoadSwitch, text::kLogLoadSwitchIn);
  if (!TokenIs("ON") && !TokenIs("OFF")) return false;
  target = TokenIs("ON") ? 1 : 0;
  SetFlag(index, true);
  log_.Line(text::kLogLoadSwitchOk, Token());
  return true;
}

std::string ParReader::RestOfLine() {
  // A token that ended its line leaves nothing: the next line is read for
  // keywords again.
  if (separator_ != ' ' && separator_ != '\t') return {};
  std::string rest;
  int c = source_.Peek();
  while (c >= 0 && c != '\r' && c != '\n') {
    if (rest.size() < kMaxTokenLength) rest.push_back(static_cast<char>(c));
    source_.Get();
    c = source_.Peek();
  }
  if (c == '\r') {
    source_.Get();
    if (source_.Peek() == '\n') source_.Get();
  } else if (c == '\n') {
    source_.Get();
  }
  separator_ = '\n';
  return rest;
}

bool ParReader::LoadString(int index, std::string& target, bool keepCase) {
  if (TokenIs("NONE")) {
    target.clear();
    SetFlag(index, true);
    return true;
  }
  std::string value = keepCase ? std::string(rawToken_.view()) : std::string(Token());
  value += RestOfLine();
  if (value.size() > kMaxTokenLength) value.resize(kMaxTokenLength);
  log_.Line(text::kLogLoadString, value);
  auto decoded = DecodeTextValue(value);
  if (!decoded) return false;
  target = std::move(*decoded);
  SetFlag(index, true);
  return true;
}

}  // namespace qz
