#pragma once
// What the harness shows: the stations of the parameter file with the host
// channels of their items, and one reading of all of them through GetInput.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "driver_api.h"

namespace qzhost {

struct Range {
  int Start = 0;
  int Count = 0;
};

struct StationLayout {
  int Number = 0;
  std::string Name;  // UTF-8
  int Address = 0;
  Range BI, BO, AI, CT, MI, MO;
  std::vector<std::pair<std::string, int>> Status;  // shown status channels
};

struct Layout {
  std::vector<StationLayout> Stations;
  int PortNumber = 1;
  int Baud = 0;
};

// Reads the stations with the driver's own reader; error gets the reason.
std::optional<Layout> ReadLayout(const std::string& parFile, std::string& error);

struct StationValues {
  int Number = 0;
  std::string Name;
  int Address = 0;
  std::map<std::string, std::optional<double>> Status;
  std::string BI, BO;  // one character per item: 0, 1 or ? (not delivered)
  std::vector<std::optional<double>> AI, CT, MI, MO;
};

struct WindowLines {
  std::string Caption;
  std::vector<std::string> Events;  // UTF-8
  std::vector<std::string> Status;  // UTF-8
};

struct Reading {
  double Seconds = 0;  // since the start
  std::vector<StationValues> Stations;
  WindowLines Window;
};

class Scanner {
 public:
  Scanner(const DriverApi& api, DriverHandle* h, const Layout& layout) : api_(api), h_(h), layout_(layout) {}
  Reading Scan(double seconds) const;

 private:
  std::optional<double> Real(int channel) const;
  char Bit(int channel) const;
  WindowLines Window() const;

  const DriverApi& api_;
  DriverHandle* h_;
  const Layout& layout_;
};

}  // namespace qzhost
