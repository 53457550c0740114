#include "diag/cp1250.h"

#include <array>
#include <cstdint>

namespace qz {

namespace {

// Unicode code points of the bytes 80h..FFh (FFFDh where the code page has
// no character).
constexpr std::array<std::uint16_t, 128> kHighHalf = {
    0x20AC, 0xFFFD, 0x201A, 0xFFFD, 0x201E, 0x2026, 0x2020, 0x2021,
    0xFFFD, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one UTF-8 sequence at text[i]; advances i. Malformed bytes give
// FFFDh and advance by one.
std::uint32_t NextCodePoint(std::string_view text, std::size_t& i) {
  const auto b0 = static_cast<std::uint8_t>(text[i]);
  int extra = 0;
  std::uint32_t cp = 0;
  if (b0 < 0x80) {
    ++i;
    return b0;
  } else if ((b0 & 0xE0) == 0xC0) {
    extra = 1;
    cp = b0 & 0x1Fu;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2;
    cp = b0 & 0x0Fu;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3;
    cp = b0 & 0x07u;
  } else {
    ++i;
    return 0xFFFD;
  }
  if (text.size() - i <= static_cast<std::size_t>(extra)) {  // sequence cut short
    ++i;
    return 0xFFFD;
  }
  for (int k = 1; k <= extra; ++k) {
    const auto b = static_cast<std::uint8_t>(text[i + static_cast<std::size_t>(k)]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (b & 0x3Fu);
  }
  i += static_cast<std::size_t>(extra) + 1;
  return cp;
}

}  // namespace

std::string Cp1250ToUtf8(std::string_view cp1250) {
  std::string out;
  out.reserve(cp1250.size() * 2);
  for (char c : cp1250) {
    const auto b = static_cast<std::uint8_t>(c);
    AppendUtf8(out, b < 0x80 ? b : kHighHalf[b - 0x80]);
  }
  return out;
}

std::string Utf8ToCp1250(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const std::uint32_t cp = NextCodePoint(utf8, i);
    if (cp < 0x80) {
      out += static_cast<char>(cp);
      continue;
    }
    char mapped = '?';
    for (std::size_t k = 0; k < kHighHalf.size(); ++k) {
      if (kHighHalf[k] == cp && cp != 0xFFFD) {
        mapped = static_cast<char>(0x80 + k);
        break;
      }
    }
    out += mapped;
  }
  return out;
}

}  // namespace qz
