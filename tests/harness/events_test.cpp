// The event list of the driver holds its last 12 lines: the harness reports
// each line once, and follows from the events which station answers, times
// out or sleeps.

#include <gtest/gtest.h>

#include "diag/cp1250.h"
#include "diag/texts.h"
#include "events.h"

namespace qzhost::test {
namespace {

using Lines = std::vector<std::string>;

struct Step {
  Lines Shown;
  Lines New;
};

struct TrackerCase {
  const char* Name;
  std::vector<Step> Steps;
};

Lines Numbered(int from, int to) {
  Lines out;
  for (int i = from; i <= to; ++i) out.push_back("e" + std::to_string(i));
  return out;
}

TEST(EventTrackerTest, EachLineIsReportedOnce) {
  const TrackerCase cases[] = {
      {"growing list", {{{"a"}, {"a"}}, {{"a", "b"}, {"b"}}, {{"a", "b", "c"}, {"c"}}}},
      {"nothing new", {{{"a", "b"}, {"a", "b"}}, {{"a", "b"}, {}}}},
      {"full list rolls on", {{Numbered(1, 12), Numbered(1, 12)}, {Numbered(4, 15), Numbered(13, 15)}}},
      {"repeated texts", {{{"x", "y", "x"}, {"x", "y", "x"}}, {{"x", "y", "x", "y"}, {"y"}}}},
      {"same text again", {{{"a"}, {"a"}}, {{"a", "a"}, {"a"}}}},
      {"more than a list between looks", {{Numbered(1, 12), Numbered(1, 12)}, {Numbered(20, 31), Numbered(20, 31)}}},
  };
  for (const TrackerCase& c : cases) {
    EventTracker tracker;
    for (std::size_t i = 0; i < c.Steps.size(); ++i) {
      EXPECT_EQ(tracker.Update(c.Steps[i].Shown), c.Steps[i].New) << c.Name << ", step " << i;
    }
  }
}

std::string Utf8(std::string_view cp1250) { return qz::Cp1250ToUtf8(cp1250); }

std::string Answer(const std::string& name) { return std::string(60, ' ') + Utf8(qz::text::kEvtAnswerMark) + name + " - BI "; }
std::string Timeout(const std::string& name) { return name + Utf8(qz::text::kEvtTimeout) + "12:00:00)"; }
std::string SleepStart(const std::string& name) { return name + Utf8(qz::text::kEvtSleepStart); }
std::string SleepEnd(const std::string& name) { return name + Utf8(qz::text::kEvtSleepEnd); }

struct StateCase {
  const char* Name;
  Lines Events;
  const char* Station;
  std::optional<double> SleepTimer, TimeoutRun;  // the status channels, when the file gives them
  LinkState Expected;
};

TEST(StationStateTest, FromStatusChannelsAndWhereTheyAreMissingFromEvents) {
  const StateCase cases[] = {
      {"nothing yet", {}, "Pump", {}, {}, LinkState::Waiting},
      {"answered", {Answer("Pump")}, "Pump", {}, {}, LinkState::Answering},
      {"timed out after an answer", {Answer("Pump"), Timeout("Pump")}, "Pump", {}, {}, LinkState::NotAnswering},
      {"answered again", {Timeout("Pump"), Answer("Pump")}, "Pump", {}, {}, LinkState::Answering},
      {"sleep started", {Timeout("Pump"), SleepStart("Pump")}, "Pump", {}, {}, LinkState::Asleep},
      {"sleep ended", {Timeout("Pump"), SleepStart("Pump"), SleepEnd("Pump")}, "Pump", {}, {}, LinkState::NotAnswering},
      {"all woken", {Timeout("Pump"), SleepStart("Pump"), Utf8(qz::text::kEvtFullSleepEnd)}, "Pump", {}, {}, LinkState::NotAnswering},
      {"the longer name is another station", {Timeout("Pump 2")}, "Pump", {}, {}, LinkState::Waiting},
      {"the longer name", {Answer("Pump"), Timeout("Pump 2")}, "Pump 2", {}, {}, LinkState::NotAnswering},
      {"sleep timer wins", {Answer("Pump")}, "Pump", 118.0, 0.0, LinkState::Asleep},
      {"time-outs counted", {Answer("Pump")}, "Pump", 0.0, 2.0, LinkState::NotAnswering},
      {"no time-out since the answer", {Timeout("Pump"), Answer("Pump")}, "Pump", 0.0, 0.0, LinkState::Answering},
  };
  for (const StateCase& c : cases) {
    ActivityTracker activity({"Pump", "Pump 2"});
    for (const std::string& e : c.Events) activity.OnEvent(e);
    const double* sleep = c.SleepTimer ? &*c.SleepTimer : nullptr;
    const double* timeouts = c.TimeoutRun ? &*c.TimeoutRun : nullptr;
    EXPECT_EQ(LinkStateName(StationState(activity.Of(c.Station), sleep, timeouts)), std::string(LinkStateName(c.Expected)))
        << c.Name;
  }
}

}  // namespace
}  // namespace qzhost::test
