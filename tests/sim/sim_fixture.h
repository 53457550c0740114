#pragma once
// A line of two simulated stations and hand-made frames for the tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "commands.h"
#include "responder.h"
#include "sim_config.h"

namespace qz::sim::test {

// Prefix 10 02, suffix 10 03, control centre 1. Station 5 has every kind of
// item; station 6 sits behind a modem.
inline constexpr std::string_view kTwoStations = R"(
[COM]
  IRQ 4
  BASE $3F8
  BAUD 9600
  BITS 8
  PARITY NONE
  STOP 1
  OPTIONS 0
  BUFFER_SIZE 4096
  DRIVER SYSTEM 1
END
[GLOBAL]
  PREFIX $10$02
  SUFFIX $10$03
  PRESUFFIX NONE
  ADDRESS 1
  ANSWER_TIME 1.0
  SILENCE_WAIT 20
  RTS_TIME_ON 0
  RTS_TIME_OFF 0
  DEF_ANALOG_IN_ADDR 256
  SLEEP_TIME 60.0
  SLEEP_COUNT 5
  IDLE_TIME 10
END
[STATION]
  ADDRESS 5
  RETRANSLATION 0
  NAME " Full"
  NUM_BINAR_IN 16
  NUM_BINAR_OUT 16
  NUM_ANALOG_IN 2
  NUM_COUNTER_IN 16
  NUM_MEMORY_IN 2
  NUM_MEMORY_OUT 2
  BINAR_IN_XOR NONE
  BINAR_OUT_XOR NONE
  DEF_ANALOG_IN_ADDR $0100
  DEF_MEMORY_IN
    ARRAY
    1 $0300 REAL
    2 $0303 WORD
  DEF_MEMORY_END
  DEF_MEMORY_OUT
    1 $0400 REAL
    2 $0403 BYTE
  DEF_MEMORY_END
  DEF_COUNTER_IN NONE
  ANALOG_LIMITS
    1 0.0 100.0 0.0
    2 0.0 10.0 0.0
  ANALOG_LIMITS_END
  QQ READ  7001 1 1 1 REAL
  QQ BIDIR 7002 1 1 2 WORD
  QQ READ  7003 1 2 1 STRING
  MEMORY_BLOCK
    ADDR $0500
    CHANNEL 7101
    CHANNEL_READ 7100
    TYPES
      WORD INPUT
      REAL BIDIR
    TYPES_END
  MEMORY_BLOCK_END
  ORIGINAL_CHANNELS
END
[STATION]
  ADDRESS 6
  RETRANSLATION 3
  NAME " Modem"
  NUM_BINAR_IN 8
  NUM_BINAR_OUT 0
  NUM_ANALOG_IN 0
  NUM_COUNTER_IN 0
  NUM_MEMORY_IN 0
  NUM_MEMORY_OUT 0
  BINAR_IN_XOR NONE
  BINAR_OUT_XOR NONE
  DEF_ANALOG_IN_ADDR FROM_GLOBAL
  DEF_MEMORY_IN NONE
  DEF_MEMORY_OUT NONE
  DEF_COUNTER_IN NONE
  PHONE D123
  ORIGINAL_CHANNELS
END
)";

// "10 02 0A" -> bytes.
inline std::string Bytes(std::string_view hex) {
  std::string out;
  std::istringstream in{std::string(hex)};
  std::string word;
  while (in >> word) out.push_back(static_cast<char>(std::stoul(word, nullptr, 16)));
  return out;
}

inline std::string HexOf(std::string_view bytes) {
  static const char* kDigits = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    const auto b = static_cast<std::uint8_t>(c);
    if (!out.empty()) out += ' ';
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

// Prefix 10 02 + header bytes with the length filled in + body + check + 10 03.
inline std::string FrameOf(std::string_view headerHex, std::string_view bodyHex) {
  std::string m = Bytes(headerHex) + Bytes(bodyHex);
  m[1] = static_cast<char>(m.size() - 1);
  std::uint8_t x = 0;
  for (char c : m) x ^= static_cast<std::uint8_t>(c);
  return "\x10\x02" + m + static_cast<char>(x) + "\x10\x03";
}

// A direct request from control centre 1 to a station.
inline std::string Request(int station, std::string_view bodyHex) {
  char header[32];
  std::snprintf(header, sizeof header, "00 00 59 01 %02X 01", station);
  return FrameOf(header, bodyHex);
}

// A Y answer of a station to control centre 1.
inline std::string Answer(int station, std::string_view bodyHex, int route = 0) {
  char header[32];
  std::snprintf(header, sizeof header, "01 00 59 %02X 01 %02X", route, station);
  return FrameOf(header, bodyHex);
}

inline SimSetup TwoStations() {
  SimSetup setup;
  std::string error;
  EXPECT_TRUE(LoadSetupText(kTwoStations, setup, error)) << error;
  return setup;
}

// The stations' clock at simulator time 0: 2024-02-29 13:45:30.
inline constexpr StationSeconds kWallBase = 762529530;

class ResponderFixture : public ::testing::Test {
 protected:
  ResponderFixture() : responder_(TwoStations(), Options()) {}
  static ResponderOptions Options() {
    ResponderOptions o;
    o.TurnaroundMs = 5;
    o.AckTimeoutMs = 1000;
    o.WallBase = kWallBase;
    return o;
  }
  // Sends one frame at time ms and returns the one answer frame (or "").
  std::string Ask(const std::string& frame, std::int64_t ms = 0) {
    auto out = responder_.Receive(frame, ms);
    if (out.empty()) return {};
    EXPECT_EQ(out.size(), 1u);
    lastDue_ = out.front().DueMs;
    return out.front().Bytes;
  }
  void Run(std::string_view command, std::int64_t ms = 0) {
    const CommandResult r = Execute(responder_, command, ms);
    ASSERT_TRUE(r.Ok) << command << ": " << r.Text;
  }

  Responder responder_;
  std::int64_t lastDue_ = -1;
};

}  // namespace qz::sim::test
