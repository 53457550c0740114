#pragma once
// The write queue, the read queue and the list of received answers.
//
// The queues hold their requests in order, head first. They are not locked
// themselves: every change runs under the instance lock, so no two changes
// of a queue interleave and no reader sees a half-done change.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>

#include "config/request.h"
#include "config/short_str.h"
#include "protocol/answer_decoding.h"

namespace qz {


// Requests are equal for the queue when they do the same thing to the same
// place: station, kind, item and block agree, a QQ read reads the same
// addresses and a QQ write writes the same variable (its value bytes, the
// last four, may differ). Other kinds carry their value, if any, in the data.
bool SameRequest(const Request& a, const Request& b);

class RequestQueue {
 public:
  // Appends the request unless an equal one waits behind the head; that one
  // then takes the new request's data, so a write that waits carries the
  // value written last. The head itself may already be on the line with its
  // data, so a copy of it is appended. Returns whether it was appended.
  bool Insert(const Request& request);

  const Request* Head() const { return items_.empty() ? nullptr : &items_.front(); }
  bool Empty() const { return items_.empty(); }
  std::size_t Count() const { return items_.size(); }

  void RemoveHead();
  void Clear() { items_.clear(); }
  // The head goes behind the tail when there is more than one request. A
  // head that an equal request waits behind is dropped instead: the later
  // one carries the newer value, and the older must not follow it.
  void Rotate();
  // Whether a history read request (kinds 240..247) is waiting.
  bool HasHistoryRequests() const;

  // Merges runs of QQ reads of one station into requests of up to
  // mergeLimit addresses; mergeLimit steps through 59, 60, 61 from run to
  // run and keeps its value between calls.
  void CompressQqReads(std::int32_t& mergeLimit);

  const std::list<Request>& Items() const { return items_; }

  // Called after each Insert: tells the communication thread that there is
  // something to send.
  void SetOnInsert(std::function<void()> onInsert) { onInsert_ = std::move(onInsert); }

 private:
  std::list<Request> items_;
  std::function<void()> onInsert_;
};

struct ReceivedEntry {
  ShortStr SentFrame;  // the frame sent before the answer; empty when it answers none
  ShortStr Answer;     // the accepted answer message
  AnswerValues Values = AnswerValues::Store;  // Skip: a late answer
};

class ReceivedList {
 public:
  void Add(const ShortStr& answer, const ShortStr& sentFrame, AnswerValues values = AnswerValues::Store) {
    entries_.push_back({sentFrame, answer, values});
  }
  const ReceivedEntry* Oldest() const { return entries_.empty() ? nullptr : &entries_.front(); }
  void DropOldest() {
    if (!entries_.empty()) entries_.pop_front();
  }
  void Clear() { entries_.clear(); }
  std::size_t Count() const { return entries_.size(); }

 private:
  std::deque<ReceivedEntry> entries_;
};

}  // namespace qz
