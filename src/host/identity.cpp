#include "host/identity.h"

#include <cstring>
#include <string_view>

#include "diag/texts.h"
#include "host/lifecycle.h"
#include "qzdrk485.h"

namespace qz {

namespace {
constexpr std::uint32_t kQueryVersion = 11;

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
  if (!HostTextIs(name, text::kQueryVersionName)) return;
  WriteDriverInfo(reply->Text);
}

}  // namespace qz
