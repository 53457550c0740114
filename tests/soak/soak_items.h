#pragma once
// The soak line: its parameter file and every item the host writes, with
// the channel, the type code it writes with, the range of its values and
// the name the simulator knows it by.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace qz::soak {

enum class Area { BinaryOut, MemoryOut, BlockItem, Qq, Counter };

struct SoakItem {
  int Station = 0;  // 1-based station index
  int Address = 0;  // the station's address on the line
  Area Where = Area::BinaryOut;
  std::uint32_t Channel = 0;
  std::uint32_t TypeCode = 0;
  double Lo = 0, Hi = 1;
  bool Integral = true;
  double Tolerance = 0;  // absolute, plus a relative part for reals
  std::string SimItem;   // "bo 3", "mo 1", "blk 1.2", "qq 1.1.3"; empty: not kept by the station
  std::string Kind;      // for the figures: "bo", "mo", "blk", "qq", "ct"

  bool Written = false;
  double Last = 0;
  int Writes = 0;

  // A new value in the item's range that differs from the last one.
  double NextValue(std::mt19937_64& rng) const;
  bool Matches(double stationValue) const;
};

struct SoakLine {
  std::string ParText;
  std::vector<SoakItem> Items;
  std::vector<int> Addresses;
  std::vector<std::uint32_t> ReadChannels;  // inputs the host reads along
  // A line with QQ variables is not polled by the driver: the host asks for
  // readings, with a write to these channels (out_read_BI, out_read_AI,
  // out_read_CT, out_read_KI, a block's read channel) ...
  std::vector<std::uint32_t> ReadCommands;
  // ... and with InputRequest of these (QQ variables).
  std::vector<std::uint32_t> InputRequests;
};

// stations: how many stations on the line; baud: its rate.
SoakLine MakeSoakLine(int stations, int baud);

}  // namespace qz::soak
