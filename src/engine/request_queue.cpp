#include "engine/request_queue.h"

#include <algorithm>
#include <iterator>

namespace qz {

namespace {

bool ComparesData(std::uint32_t kind) { return kind == kKindQqWrite || kind == kKindQqRead; }

// A QQ address of 00 00 00 is never merged with its neighbours.
bool ZeroAddress(const ShortStr& data) { return data.byte(0) == 0 && data.byte(1) == 0 && data.byte(2) == 0; }

constexpr std::int32_t kMergeLimitLow = 59;
constexpr std::int32_t kMergeLimitHigh = 61;

}  // namespace

bool SameRequest(const Request& a, const Request& b) {
  if (a.Station != b.Station || a.Kind != b.Kind || a.Item != b.Item || a.Block != b.Block) return false;
  return !ComparesData(a.Kind) || a.Data == b.Data;
}

bool RequestQueue::Insert(const Request& request) {
  if (!items_.empty()) {
    const auto behindHead = std::next(items_.begin());
    const bool waiting = std::any_of(behindHead, items_.end(),
                                     [&](const Request& r) { return SameRequest(r, request); });
    if (waiting) return false;
  }
  items_.push_back(request);
  return true;
}

void RequestQueue::RemoveHead() {
  if (!items_.empty()) items_.pop_front();
}

void RequestQueue::Rotate() {
  if (items_.size() > 1) items_.splice(items_.end(), items_, items_.begin());
}

bool RequestQueue::HasHistoryRequests() const {
  return std::any_of(items_.begin(), items_.end(), [](const Request& r) {
    return r.Kind >= kKindHistoryFirst && r.Kind <= kKindHistoryLast;
  });
}

void RequestQueue::CompressQqReads(std::int32_t& mergeLimit) {
  if (items_.empty()) return;
  if (mergeLimit < kMergeLimitLow || mergeLimit > kMergeLimitHigh) mergeLimit = 60;
  auto it = items_.begin();
  for (;;) {
    while (it->Kind != kKindQqRead && std::next(it) != items_.end()) ++it;
    const auto target = it;
    std::int32_t count = static_cast<std::int32_t>(target->Data.size() / 3);
    while (count < mergeLimit) {
      const auto next = std::next(target);
      const bool mergeable = target->Kind == kKindQqRead && next != items_.end() &&
                             next->Station == target->Station && next->Kind == kKindQqRead &&
                             next->Data.size() == 3 && !ZeroAddress(target->Data) &&
                             !ZeroAddress(next->Data);
      if (!mergeable) break;
      target->Data += next->Data.view();
      items_.erase(next);
      ++count;
    }
    if (++mergeLimit > kMergeLimitHigh) mergeLimit = kMergeLimitLow;
    const auto next = std::next(target);
    if (next == items_.end() || std::next(next) == items_.end()) return;
    it = next;
  }
}

}  // namespace qz
