#include "engine/request_queue.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace qz {

namespace {

constexpr std::size_t kQqValueBytes = 4;

// The part of the data that names what a request reads or writes: all of a
// QQ read's addresses, a QQ write's address without its four value bytes,
// nothing for the other kinds.
std::string_view Target(const Request& r) {
  const std::string_view data = r.Data.view();
  if (r.Kind == RequestKind::QqRead) return data;
  if (r.Kind == RequestKind::QqWrite) return data.size() > kQqValueBytes ? data.substr(0, data.size() - kQqValueBytes) : data;
  return {};
}

// A QQ address of 00 00 00 is never merged with its neighbours.
bool ZeroAddress(const ShortStr& data) { return data.byte(0) == 0 && data.byte(1) == 0 && data.byte(2) == 0; }

constexpr std::int32_t kMergeLimitLow = 59;
constexpr std::int32_t kMergeLimitHigh = 61;

}  // namespace

bool SameRequest(const Request& a, const Request& b) {
  if (a.Station != b.Station || a.Kind != b.Kind || a.Item != b.Item || a.Block != b.Block) return false;
  return Target(a) == Target(b);
}

bool RequestQueue::Insert(const Request& request) {
  if (!items_.empty()) {
    const auto waiting = std::find_if(std::next(items_.begin()), items_.end(),
                                      [&](const Request& r) { return SameRequest(r, request); });
    if (waiting != items_.end()) {
      waiting->Data = request.Data;
      return false;
    }
  }
  items_.push_back(request);
  if (onInsert_) onInsert_();
  return true;
}

void RequestQueue::RemoveHead() {
  if (!items_.empty()) items_.pop_front();
}

void RequestQueue::Rotate() {
  if (items_.size() <= 1) return;
  const Request& head = items_.front();
  const bool superseded = std::any_of(std::next(items_.begin()), items_.end(),
                                      [&](const Request& r) { return SameRequest(r, head); });
  if (superseded) items_.pop_front();
  else items_.splice(items_.end(), items_, items_.begin());
}

bool RequestQueue::HasHistoryRequests() const {
  return std::any_of(items_.begin(), items_.end(), [](const Request& r) {
    return IsHistoryKind(r.Kind);
  });
}

void RequestQueue::CompressQqReads(std::int32_t& mergeLimit) {
  if (items_.empty()) return;
  if (mergeLimit < kMergeLimitLow || mergeLimit > kMergeLimitHigh) mergeLimit = 60;
  auto it = items_.begin();
  for (;;) {
    while (it->Kind != RequestKind::QqRead && std::next(it) != items_.end()) ++it;
    const auto target = it;
    std::int32_t count = static_cast<std::int32_t>(target->Data.size() / 3);
    while (count < mergeLimit) {
      const auto next = std::next(target);
      const bool mergeable = target->Kind == RequestKind::QqRead && next != items_.end() &&
                             next->Station == target->Station && next->Kind == RequestKind::QqRead &&
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
