#pragma once
// A driver state with hand-made stations for the protocol tests, and hex
// strings as bytes.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "host/driver_state.h"

namespace qz::testing {

// "00 05 59" or "000559" -> the three bytes; blanks are ignored.
inline std::string Hex(std::string_view text) {
  std::string out;
  int high = -1;
  for (char c : text) {
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    if (v < 0) continue;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<char>(high * 16 + v));
      high = -1;
    }
  }
  return out;
}

inline std::string HexOf(std::string_view bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    const auto b = static_cast<std::uint8_t>(c);
    if (!out.empty()) out.push_back(' ');
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 15]);
  }
  return out;
}

class ProtocolFixture : public ::testing::Test {
 protected:
  ProtocolFixture() {
    InitDriverState(state);
    ClearStationValues(state.Config);
  }

  // Adds a station with that address; returns its record.
  StationRecord& AddStation(std::uint8_t address) {
    state.Config.StationCount = static_cast<std::uint8_t>(state.Config.StationCount + 1);
    StationRecord& s = state.Config.Station(state.Config.StationCount);
    s.Address = address;
    s.Retranslation = 0;
    s.Phone.clear();
    s.NumBinarIn = s.NumBinarOut = s.NumAnalogIn = s.NumCounterIn = s.NumMemoryIn = s.NumMemoryOut = 0;
    return s;
  }

  DriverState state;
};

}  // namespace qz::testing
