#include "events.h"

#include <algorithm>

#include "diag/cp1250.h"
#include "diag/texts.h"

namespace qzhost {

namespace {

bool StartsWith(const std::string& text, const std::string& head) { return text.compare(0, head.size(), head) == 0; }

std::string Utf8(std::string_view cp1250) { return qz::Cp1250ToUtf8(cp1250); }

}  // namespace

std::vector<std::string> EventTracker::Update(const std::vector<std::string>& shown) {
  std::size_t overlap = std::min(last_.size(), shown.size());
  for (; overlap > 0; --overlap) {
    if (std::equal(last_.end() - static_cast<long>(overlap), last_.end(), shown.begin())) break;
  }
  std::vector<std::string> added(shown.begin() + static_cast<long>(overlap), shown.end());
  last_ = shown;
  return added;
}

const char* LinkStateName(LinkState state) {
  switch (state) {
    case LinkState::Waiting: return "waiting";
    case LinkState::Answering: return "answering";
    case LinkState::NotAnswering: return "not answering";
    case LinkState::Asleep: return "asleep";
  }
  return "?";
}

void ActivityTracker::OnEvent(const std::string& utf8Text) {
  static const std::string kAnswer = Utf8(qz::text::kEvtAnswerMark);
  static const std::string kTimeout = Utf8(qz::text::kEvtTimeout);
  static const std::string kSleepStart = Utf8(qz::text::kEvtSleepStart);
  static const std::string kSleepEnd = Utf8(qz::text::kEvtSleepEnd);
  static const std::string kAllAwake = Utf8(qz::text::kEvtFullSleepEnd);
  const std::string text = utf8Text.substr(std::min(utf8Text.find_first_not_of(' '), utf8Text.size()));
  if (StartsWith(text, kAllAwake)) {
    for (auto& [name, a] : activity_) a.Asleep = false;
    return;
  }
  // The longest matching name, so that "Pump 2" is not taken for "Pump".
  const std::string* best = nullptr;
  bool answer = false;
  for (const std::string& name : names_) {
    const bool isAnswer = StartsWith(text, kAnswer + name + " - ");
    if ((isAnswer || StartsWith(text, name + " - ")) && (!best || name.size() > best->size())) {
      best = &name;
      answer = isAnswer;
    }
  }
  if (!best) return;
  StationActivity& a = activity_[*best];
  const std::string rest = text.substr(answer ? kAnswer.size() + best->size() : best->size());
  if (answer) {
    a.Answered = a.Exchanged = true;
  } else if (StartsWith(rest, kTimeout)) {
    a.Answered = false;
    a.Exchanged = true;
  } else if (StartsWith(rest, kSleepStart)) {
    a.Asleep = true;
  } else if (StartsWith(rest, kSleepEnd)) {
    a.Asleep = false;
  }
}

StationActivity ActivityTracker::Of(const std::string& name) const {
  const auto it = activity_.find(name);
  return it == activity_.end() ? StationActivity{} : it->second;
}

LinkState StationState(const StationActivity& events, const double* sleepTimer, const double* timeoutRun) {
  if (sleepTimer ? *sleepTimer > 0 : events.Asleep) return LinkState::Asleep;
  if (timeoutRun && *timeoutRun > 0) return LinkState::NotAnswering;
  if (!events.Exchanged) return LinkState::Waiting;
  if (timeoutRun) return LinkState::Answering;  // no time-out since the last answer
  return events.Answered ? LinkState::Answering : LinkState::NotAnswering;
}

}  // namespace qzhost
