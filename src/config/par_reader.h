#pragma once
// Lexical layer and value readers of the parameter file.
//
// The file is cut into tokens at blanks, TABs, CRs and LFs; "{" opens and
// "}" closes a comment; tokens compare in upper case on their first 80
// characters. Value readers convert the current token into a record field
// and set the keyword's flag only when the value was valid.

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/driver_config.h"
#include "diag/log.h"

namespace qz {

// The bytes of one parameter file, read once from front to back, with the
// number of the line the reader is on.
class ParSource {
 public:
  explicit ParSource(std::string_view text);
  explicit ParSource(std::FILE* file);  // not owned; read in chunks

  // Next byte (0..255), or -1 at the end of the file or after a read error.
  int Get() {
    if (cur_ == end_ && !Refill()) return -1;
    const int c = static_cast<unsigned char>(*cur_++);
    CountLine(c);
    return c;
  }
  int Peek() {
    if (cur_ == end_ && !Refill()) return -1;
    return static_cast<unsigned char>(*cur_);
  }
  bool ReadFailed() const { return failed_; }
  int Line() const { return line_; }  // 1-based

 private:
  bool Refill();
  void CountLine(int c) {
    // CR, LF and CR LF each end one line.
    if (c == '\r' || (c == '\n' && !lastWasCr_)) ++line_;
    lastWasCr_ = c == '\r';
  }

  const char* cur_ = nullptr;
  const char* end_ = nullptr;
  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
  bool failed_ = false;
  bool lastWasCr_ = false;
  int line_ = 1;
};

// The standard integer form: optional sign, then decimal digits or a hex
// prefix ("$", x, X, 0x, 0X) and hex digits. The 32 bits of the value, or
// nothing when the whole text is not such a number or does not fit.
std::optional<std::int32_t> ParseInteger(std::string_view text);

// Optional sign, digits with an optional decimal point, optional exponent.
std::optional<double> ParseReal(std::string_view text);

// Scans the value text of a text keyword: quoted runs are taken as written,
// $hh gives the byte hh, everything else is ignored. Nothing when a "$" is
// not followed by two hex digits.
std::optional<std::string> DecodeTextValue(std::string_view text);

// ASCII letters to upper case; every other byte stays.
std::string UpperAscii(std::string_view text);

// True when both texts are equal in upper case on their first 80 characters.
bool TokenEquals(std::string_view a, std::string_view b);

inline constexpr std::size_t kMaxTokenLength = 255;
inline constexpr std::size_t kCompareLength = 80;
inline constexpr int kMaxGroupKeywords = 57;

// A keyword table of one group: index 1 is names[0]. Names are compared in
// upper case.
struct KeywordTable {
  std::span<const std::string_view> Names;
  std::vector<std::string> Upper;

  explicit KeywordTable(std::span<const std::string_view> names);
  int Size() const { return static_cast<int>(Names.size()); }
  std::string_view Name(int index) const { return Names[static_cast<std::size_t>(index - 1)]; }
  // Index 1..Size of the first keyword the upper-case token equals, or 0.
  int Find(std::string_view upperToken) const;
};

// Something the load accepted although the file probably meant otherwise:
// a value that was ignored, a table line that was dropped. Only the checker
// shows these; the driver behaves as the file says.
struct ParNote {
  int Line = 0;
  std::string Text;  // Windows-1250
};

// Watches a load without taking part in it: told where the groups, the
// keywords and the skipped tokens are, so that a checker can point at
// lines. The reader accepts exactly the same with or without one.
class ParObserver {
 public:
  virtual ~ParObserver() = default;
  // A token the search for groupName passed over.
  virtual void SkippedBeforeGroup(std::string_view /*groupName*/, std::string_view /*rawToken*/, int /*line*/) {}
  virtual void GroupFound(std::string_view /*groupName*/, int /*line*/) {}
  // A token in a group where a keyword belongs that is no keyword of it.
  virtual void UnknownInGroup(std::string_view /*rawToken*/, int /*line*/) {}
  virtual void KeywordFound(int /*index*/, std::string_view /*keyword*/, int /*line*/) {}
  struct Value {
    int Index = 0;
    std::string_view Keyword;
    std::string_view FirstToken;  // as written
    int Line = 0;                 // of the first value token
    int LastLine = 0;             // where the keyword's reader stopped
    bool Accepted = false;
  };
  // A keyword's value was read (every keyword but END and those without one).
  virtual void ValueRead(const Value& /*value*/) {}
};

class ParReader {
 public:
  ParReader(DriverConfig& config, qz::Log& log, ParSource& source);

  DriverConfig& Config() { return config_; }
  qz::Log& Log() { return log_; }

  // Next token that is not part of a comment; empty at the end of the file.
  void NextToken();
  // The current token: upper case, at most 80 characters.
  std::string_view Token() const { return currentToken_.view(); }
  // The current token as written.
  std::string_view RawToken() const { return rawToken_.view(); }
  bool TokenIs(std::string_view upperKeyword) const { return Token() == upperKeyword; }
  bool AtFileEnd() const { return atEnd_; }
  // True when nothing but separators is left in the file.
  bool OnlySeparatorsLeft();
  // Line of the current token (or of the last one before the end).
  int TokenLine() const { return tokenLine_; }

  // Searches forward for the group's name token. False, with the message
  // set and the group error flag raised, when it is not found.
  bool SetGroupPos(std::string_view groupName);

  // Keyword flags of the current group, index 1..57.
  void PresetFlags(int from, int to);
  bool Flag(int index) const { return flags_.at(static_cast<std::size_t>(index)) != 0; }
  void SetFlag(int index, bool given) { flags_.at(static_cast<std::size_t>(index)) = given ? 1 : 0; }
  // First keyword 1..count whose flag is not set, or 0.
  int FirstMissing(int count) const;

  bool GroupError() const { return groupError_; }
  void SetGroupError(bool error) { groupError_ = error; }
  void SetErrorText(std::string_view message) { config_.ParseErrorText = message; }

  // Value readers: convert the current token; true and the flag set when
  // the value was valid.
  bool LoadWord(int index, std::uint16_t& target);
  bool LoadByte(int index, std::uint8_t& target);
  bool LoadInteger(int index, std::int32_t& target);
  // The whole 32-bit value, for numbers a word cannot hold (line rates).
  bool LoadLong(int index, std::int32_t& target);
  bool LoadReal(int index, Real6& target);
  bool LoadSwitch(int index, std::uint8_t& target);
  // The text value built from the current token and the rest of its line.
  // keepCase takes the first token as written (file paths on systems whose
  // paths are case-sensitive).
  bool LoadString(int index, std::string& target, bool keepCase = false);

  // Conversions without a flag, for table entries.
  std::optional<std::uint16_t> WordValue() const;
  std::optional<std::uint8_t> ByteValue() const;

  // The rest of the current token's line, up to its end, which is consumed.
  // Empty when the token itself ended the line.
  std::string RestOfLine();

  // A checker reads a file without switching logging on: the marker is
  // then only noted.
  void SetDiagsEnablesLogging(bool enables) { diagsEnablesLogging_ = enables; }
  bool DiagsSeen() const { return diagsSeen_; }

  void Note(std::string text) { notes_.push_back({tokenLine_, std::move(text)}); }

  void SetObserver(ParObserver* observer) { observer_ = observer; }
  ParObserver* Observer() const { return observer_; }
  std::vector<ParNote>& Notes() { return notes_; }

 private:
  void ReadToken();

  DriverConfig& config_;
  qz::Log& log_;
  ParSource& source_;
  CompareText currentToken_;
  ShortStr rawToken_;
  std::string token_;
  int separator_ = -1;  // the separator that ended the last token, -1 at the end
  bool atEnd_ = false;
  int tokenLine_ = 1;
  bool groupError_ = false;
  std::array<std::uint8_t, kMaxGroupKeywords + 1> flags_{};
  std::vector<ParNote> notes_;
  bool diagsEnablesLogging_ = true;
  bool diagsSeen_ = false;
  ParObserver* observer_ = nullptr;
};

// "Chybná definice proměnné " keyword " / " group, as the reader reports a
// keyword that is missing or whose value failed.
std::string BadKeywordMessage(std::string_view keyword, std::string_view group);

// Reads the keywords of one group up to END: look-up, then the value token
// for every keyword except END and those in noValue, then handle(index).
// handle returns false when the value was not accepted. True when END was
// read; false at the end of the file.
template <class Handler>
bool ReadGroupKeywords(ParReader& r, const KeywordTable& table, int endIndex, Handler&& handle,
                       auto&& noValue, auto&& onFound) {
  for (;;) {
    r.NextToken();
    if (r.AtFileEnd()) return false;
    const int k = table.Find(r.Token());
    ParObserver* observer = r.Observer();
    if (k == 0) {
      if (observer) observer->UnknownInGroup(r.RawToken(), r.TokenLine());
      continue;
    }
    if (observer) observer->KeywordFound(k, table.Name(k), r.TokenLine());
    onFound(k);
    if (k == endIndex) return true;
    const bool hasValue = !noValue(k);
    if (hasValue) r.NextToken();
    const int valueLine = r.TokenLine();
    const std::string firstToken = observer && hasValue ? std::string(r.RawToken()) : std::string();
    const bool accepted = handle(k);
    if (!accepted) r.Note(std::string(table.Name(k)) + ": value not accepted");
    if (observer && hasValue) observer->ValueRead({k, table.Name(k), firstToken, valueLine, r.TokenLine(), accepted});
  }
}

}  // namespace qz
