#include "command_reader.h"

namespace qzhost {

std::vector<std::string> LineSplitter::Feed(std::string_view bytes) {
  std::vector<std::string> lines;
  for (char c : bytes) {
    if (c == '\n' && afterCr_) {  // the LF of a CR LF
      afterCr_ = false;
      continue;
    }
    afterCr_ = c == '\r';
    if (c == '\n' || c == '\r') {
      lines.push_back(std::move(partial_));
      partial_.clear();
    } else {
      partial_ += c;
    }
  }
  return lines;
}

std::vector<std::string> LineSplitter::Finish() {
  std::vector<std::string> lines;
  if (!partial_.empty()) lines.push_back(std::move(partial_));
  partial_.clear();
  afterCr_ = false;
  return lines;
}

}  // namespace qzhost
