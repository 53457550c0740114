#pragma once
// One reading of the whole line through GetInput: every station item, QQ
// variable and memory-block item, the status window, and the driver-level
// line values.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "events.h"
#include "host_calls.h"
#include "layout.h"
#include "statistics.h"

namespace qzhost {

struct QqReading {
  QqLayout Var;
  std::optional<double> Number;
  std::optional<std::string> Text;  // STRING variables
};

struct BlockReading {
  const BlockLayout* Block = nullptr;
  std::vector<std::optional<double>> Items;
};

struct StationValues {
  int Number = 0;
  std::string Name;
  int Address = 0;
  LinkState State = LinkState::Waiting;
  std::map<std::string, std::optional<double>> Status;
  std::string BI, BO;  // one character per item: 0, 1 or ? (not delivered)
  std::vector<std::optional<double>> AI, CT, MI, MO;
  std::vector<QqReading> Qq;
  std::vector<BlockReading> Blocks;
};

struct WindowLines {
  std::string Caption;
  bool Visible = false;
  std::vector<std::string> Events;  // UTF-8, as shown now
  std::vector<std::string> Status;  // UTF-8
};

// Driver-level values a host reads on the channels 486..499 and 65399 (only
// those that no station claims).
struct LineValues {
  std::map<std::string, std::optional<double>> Values;
};

struct Reading {
  double Seconds = 0;  // since the start
  std::string Iso;     // local date and time
  std::vector<StationValues> Stations;
  WindowLines Window;
  Statistics Stats;
  LineValues Line;
  std::vector<StampedEvent> NewEvents;  // events first seen since the previous reading
};

// The window's contents from the window query's text.
WindowLines ParseWindowText(const std::string& cp1250Text);

class Scanner {
 public:
  Scanner(HostCalls& host, const Layout& layout) : host_(host), layout_(layout) {}
  // Values of the stations; states from the activity the events showed.
  Reading Scan(const ActivityTracker& activity) const;

 private:
  std::optional<double> Number(int channel, std::uint32_t type) const;
  char Bit(int channel) const;
  StationValues Station(const StationLayout& s, const ActivityTracker& activity) const;
  LineValues Line() const;

  HostCalls& host_;
  const Layout& layout_;
};

}  // namespace qzhost
