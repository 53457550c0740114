#pragma once
// The event list the driver shows holds its last 12 lines. The harness looks
// at it often and keeps every line once, with the time it first saw it, and
// follows from the events which stations answer, time out or sleep.

#include <map>
#include <string>
#include <vector>

namespace qzhost {

struct StampedEvent {
  double Seconds = 0;  // since the start
  std::string Clock;   // local time of day, HH:MM:SS.mmm
  std::string Iso;     // local date and time, ISO 8601 with milliseconds
  std::string Text;    // UTF-8
};

class EventTracker {
 public:
  // The list as the window shows it now; returns the lines added since the
  // previous call. The new list continues the old one where the longest end
  // of the old list starts the new one.
  std::vector<std::string> Update(const std::vector<std::string>& shown);

 private:
  std::vector<std::string> last_;
};

enum class LinkState { Waiting, Answering, NotAnswering, Asleep };
const char* LinkStateName(LinkState state);

// What the events told about one station.
struct StationActivity {
  bool Answered = false;  // the last exchange was an answer (else a time-out)
  bool Exchanged = false; // any answer or time-out seen
  bool Asleep = false;
};

// Follows the answers, time-outs and sleep of the stations by name.
class ActivityTracker {
 public:
  explicit ActivityTracker(std::vector<std::string> stationNames) : names_(std::move(stationNames)) {}
  void OnEvent(const std::string& utf8Text);
  StationActivity Of(const std::string& name) const;

 private:
  std::vector<std::string> names_;
  std::map<std::string, StationActivity> activity_;
};

// The station's state from its status values (when the parameter file gives
// them channels) and, where those are missing, from its events.
// sleepTimer and timeoutRun are the SleepTime and ErrCount channels.
LinkState StationState(const StationActivity& events, const double* sleepTimer, const double* timeoutRun);

}  // namespace qzhost
