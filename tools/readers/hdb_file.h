#pragma once
// HDB files as the driver writes them: the station's history image byte
// for byte, 50000 records of 10 bytes (code, seconds since 2000-01-01, IEEE
// single value, least significant byte first), no header.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qz::readers {

struct HdbRecord {
  std::size_t Index = 0;
  std::uint16_t Code = 0;
  std::uint32_t Seconds = 0;    // since 2000-01-01 00:00:00, station time
  std::uint32_t ValueBits = 0;  // IEEE single pattern
  bool Empty = false;           // all ten bytes zero: never written
};

struct HdbContent {
  std::vector<HdbRecord> Records;  // every whole record the file holds
  std::vector<std::string> Warnings;
};

// The records of the file's bytes. A file of another size than 500000
// bytes gives a warning and the whole records it holds; an empty file or one
// without a whole record gives nothing, with error set.
std::optional<HdbContent> DecodeHdb(std::string_view bytes, std::string& error);

// The value as the host reads it, or the text of a pattern that is no number
// ("+infinity", "-infinity", "NaN/x87 err").
struct HdbValue {
  bool IsNumber = true;
  double Number = 0;
  std::string Special;
};
HdbValue ValueOf(std::uint32_t bits);

// Shortest text of a value that keeps its single precision: "12.5".
std::string ValueText(double v);

struct HdbFilter {
  std::optional<std::size_t> First, Last;  // record indices, both included
  std::optional<std::int64_t> Since, Until;  // seconds since 2000, both included
  std::set<std::uint16_t> Codes;             // empty: every code
  bool WithEmpty = false;

  bool Matches(const HdbRecord& r) const;
};

struct HdbGap {
  std::size_t BeforeIndex = 0, AfterIndex = 0;  // records on either side
  std::uint32_t From = 0, To = 0;               // their time stamps
};

struct HdbSummary {
  std::size_t Records = 0;  // records matching the filter
  std::size_t Empty = 0;    // of them never written
  std::optional<std::uint32_t> FirstTime, LastTime;
  std::map<std::uint16_t, std::size_t> Codes;
  std::uint32_t GapThreshold = 0;  // seconds; 0: too few records to tell
  std::vector<HdbGap> Gaps;        // in time order
  std::size_t StepsBack = 0;       // places where a record is older than the one before it (the ring's wrap)
};

// gapSeconds 0: a gap is a step in time of more than three times the
// median step between records.
HdbSummary Summarise(const std::vector<HdbRecord>& records, std::uint32_t gapSeconds);

}  // namespace qz::readers
