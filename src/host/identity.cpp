#include "host/identity.h"

#include <cstring>
#include <string_view>

#include "diag/texts.h"
#include "qzdrk485.h"

namespace qz {

namespace {
constexpr std::uint32_t kQueryVersion = 11;

bool NameIs(const char* name, std::string_view expected) {
  // Reads at most one byte past the expected length, so a host text without
  // a NUL is never read far.
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (name[i] != expected[i]) return false;
  }
  return name[expected.size()] == '\0';
}
}  // namespace

std::int32_t WriteDriverInfo(char* text) {
  const auto info = text::kDriverInfo;
  if (text) {
    std::memcpy(text, info.data(), info.size());
    text[info.size()] = '\0';
  }
  return static_cast<std::int32_t>(info.size());
}

void AnswerQuery(std::uint32_t code, const char* name, QueryReply* reply) {
  if (code != kQueryVersion || !name || !reply || reply->Kind != kQueryVersion || !reply->Text) return;
  if (!NameIs(name, text::kQueryVersionName)) return;
  WriteDriverInfo(reply->Text);
}

}  // namespace qz
