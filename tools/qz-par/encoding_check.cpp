#include "encoding_check.h"

#include <cstdio>
#include <string>

#include "config/par_reader.h"
#include "diag/cp1250.h"
#include "summary.h"

namespace qz::tool {

namespace {

// Length of a well-formed UTF-8 sequence of two to four bytes at pos, or 0.
std::size_t Utf8SequenceAt(std::string_view s, std::size_t pos) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[pos + i]); };
  const unsigned char lead = b(0);
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  if (length == 0 || pos + length > s.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((b(i) & 0xC0) != 0x80) return 0;
  }
  // Overlong and surrogate forms are no UTF-8 a text editor writes.
  if ((lead == 0xE0 && b(1) < 0xA0) || (lead == 0xED && b(1) >= 0xA0) || (lead == 0xF0 && b(1) < 0x90) ||
      (lead == 0xF4 && b(1) >= 0x90)) {
    return 0;
  }
  return length;
}

// Bytes without a character in Windows-1250.
bool UndefinedInCp1250(unsigned char c) { return c == 0x81 || c == 0x83 || c == 0x88 || c == 0x90 || c == 0x98; }

bool StrayControl(unsigned char c) { return (c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F; }

struct LineProblems {
  std::string FirstUtf8;  // the first UTF-8 sequence of the line
  int Utf8Count = 0;
  std::string Odd;        // first byte that is no Windows-1250 text
};

Finding Describe(int line, const LineProblems& p, bool bom) {
  std::string text;
  if (bom) {
    text = "the file starts with a UTF-8 byte order mark (EF BB BF), which becomes part of the first token";
  } else if (p.Utf8Count > 0) {
    text = "UTF-8 bytes " + HexBytes(p.FirstUtf8) + " (\"" + p.FirstUtf8 + "\")";
    if (p.Utf8Count > 1) text += " and " + std::to_string(p.Utf8Count - 1) + " more";
    text += ": the file must be Windows-1250 text; the driver reads them as \"" + Cp1250ToUtf8(p.FirstUtf8) +
            "\"";
  } else {
    text = "byte " + HexBytes(p.Odd) + " is no Windows-1250 text";
  }
  return {line, "encoding", text};
}

}  // namespace

std::vector<Finding> EncodingFindings(std::string_view bytes) {
  std::vector<Finding> out;
  ParSource source(bytes);  // counts lines as the reader does
  const bool bom = bytes.starts_with("\xEF\xBB\xBF");
  if (bom) out.push_back(Describe(1, {}, true));
  LineProblems problems;
  int line = 1;
  auto flush = [&] {
    if (problems.Utf8Count > 0 || !problems.Odd.empty()) out.push_back(Describe(line, problems, false));
    problems = LineProblems();
  };
  std::size_t pos = bom ? 3 : 0;
  for (std::size_t i = 0; i < pos; ++i) source.Get();
  while (pos < bytes.size()) {
    const auto c = static_cast<unsigned char>(bytes[pos]);
    const std::size_t length = c >= 0x80 ? Utf8SequenceAt(bytes, pos) : 0;
    const std::size_t step = length > 0 ? length : 1;
    if (length > 0) {
      if (problems.Utf8Count++ == 0) problems.FirstUtf8 = std::string(bytes.substr(pos, length));
    } else if (problems.Odd.empty() && (UndefinedInCp1250(c) || StrayControl(c))) {
      problems.Odd = std::string(1, static_cast<char>(c));
    }
    for (std::size_t i = 0; i < step; ++i) {
      source.Get();
      if (source.Line() != line) {
        flush();
        line = source.Line();
      }
    }
    pos += step;
  }
  flush();
  return out;
}

}  // namespace qz::tool
