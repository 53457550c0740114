#pragma once
// The line as the parameter file describes it: the stations with the host
// channels of their items, QQ variables and memory blocks, and where the
// driver keeps its files. Read with the driver's own reader, so the harness
// resolves a channel exactly as the driver does.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/driver_state.h"

namespace qzhost {

struct Range {
  int Start = 0;
  int Count = 0;
};

struct QqLayout {
  int Key = 0;  // the host channel of the variable
  int Block = 0, Group = 0, Item = 0;
  qz::QqType Type = qz::QqType::Byte;
  qz::QqDirection Direction = qz::QqDirection::Read;
};

struct BlockItemLayout {
  int Channel = 0;
  qz::BlockItemType Type = qz::BlockItemType::Byte;
  qz::BlockDirection Direction = qz::BlockDirection::Input;
};

struct BlockLayout {
  int Address = 0;      // station memory address
  int ChannelRead = 0;  // a write here reads the whole block
  std::vector<BlockItemLayout> Items;
};

struct StationLayout {
  int Number = 0;  // position in the file, 1..n: what hist and samples take
  std::string Name;  // UTF-8
  int Address = 0;
  Range BI, BO, AI, CT, MI, MO;
  std::vector<std::pair<std::string, int>> Status;  // shown status channels by name
  std::vector<QqLayout> Qq;
  std::vector<BlockLayout> Blocks;
};

// Where the driver writes its files for this host.
struct FileLocations {
  std::string HdbFolder;    // history files NAMEn.hdb
  std::string Log;          // the log file; empty when logging is off
  std::string SampleFolder; // .CUC sample files
};

struct Layout {
  std::vector<StationLayout> Stations;
  int PortNumber = 1;
  int Baud = 0;
  FileLocations Files;
  // The driver's own image of the configuration, for channel resolution.
  std::shared_ptr<qz::DriverState> Config;

  const StationLayout* Station(int number) const;
};

// Reads the parameter file as the driver would for a host that names it
// driverName; error gets the reason when it cannot be loaded.
std::optional<Layout> ReadLayout(const std::string& parFile, const std::string& driverName, std::string& error);

const char* QqTypeName(qz::QqType type);
const char* QqDirectionName(qz::QqDirection direction);
const char* BlockItemTypeName(qz::BlockItemType type);
const char* BlockDirectionName(qz::BlockDirection direction);
// "BA.01.0D": block, group and item in hexadecimal, as the event list writes them.
std::string QqAddressText(const QqLayout& q);

}  // namespace qzhost
