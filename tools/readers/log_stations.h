#pragma once
// The stations of a parameter file, for reading a log back: names by
// address and address by name, the line's framing, and the answers decoded
// by the driver's own decoder into a scratch copy of the station records.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qz {
struct DriverState;
struct StationRecord;
}  // namespace qz

namespace qz::readers {

struct DecodedAnswer {
  bool Known = false;  // the decoder found the station and took the message
  std::string Text;    // what the event list shows after the station name, UTF-8
  std::string Values;  // the values the answer carried, UTF-8
};

class LogStations {
 public:
  // Reads the file as the driver does, without logging; nothing, with
  // error set, when the driver would not load it.
  static std::unique_ptr<LogStations> Load(const std::string& parFile, std::string& error);
  ~LogStations();

  const StationRecord* ByAddress(int address) const;
  // Name as UTF-8, empty for an unknown address.
  std::string NameOf(int address) const;
  // The station whose name (Windows-1250) begins the text, as in the
  // driver's time-out and sleep lines.
  std::optional<int> AddressByName(std::string_view cp1250Name) const;

  int PrefixLength() const;
  std::size_t PreSuffixLength() const;

  // The received message (check byte included) after the frame sent last.
  DecodedAnswer Decode(std::string_view received, std::string_view sent, int sentKind);

 private:
  explicit LogStations(std::unique_ptr<DriverState> state);
  std::unique_ptr<DriverState> state_;
};

}  // namespace qz::readers
