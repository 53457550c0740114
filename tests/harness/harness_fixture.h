#pragma once
// A line of two stations (the second with QQ variables and a memory block)
// read with the driver's reader, and a recorder in place of the driver.

#include <map>
#include <string>
#include <vector>

#include "host_calls.h"
#include "layout.h"
#include "support/temp_dir.h"

namespace qzhost::test {

inline const char kTwoStations[] =
    "[COM]\r\n  IRQ 4\r\n  BASE $3F8\r\n  BAUD 9600\r\n  BITS 8\r\n  PARITY NONE\r\n  STOP 1\r\n  OPTIONS 0\r\n"
    "  BUFFER_SIZE 4096\r\n  DRIVER SYSTEM 1\r\nEND\r\n"
    "[GLOBAL]\r\n  PREFIX $10$02\r\n  SUFFIX $10$03\r\n  PRESUFFIX NONE\r\n  ADDRESS 1\r\n  ANSWER_TIME 1.0\r\n"
    "  SILENCE_WAIT 5\r\n  RTS_TIME_ON 0\r\n  RTS_TIME_OFF 0\r\n  DEF_ANALOG_IN_ADDR 256\r\n  IDLE_TIME 2\r\nEND\r\n"
    "[STATION]\r\n  ADDRESS 10\r\n  RETRANSLATION 0\r\n  NAME \" Pump\"\r\n  NUM_BINAR_IN 8\r\n  NUM_BINAR_OUT 4\r\n"
    "  NUM_ANALOG_IN 2\r\n  NUM_COUNTER_IN 0\r\n  NUM_MEMORY_IN 0\r\n  NUM_MEMORY_OUT 1\r\n  BINAR_IN_XOR NONE\r\n"
    "  BINAR_OUT_XOR NONE\r\n  DEF_ANALOG_IN_ADDR FROM_GLOBAL\r\n  DEF_MEMORY_IN NONE\r\n"
    "  DEF_MEMORY_OUT 1 $0400 REAL DEF_MEMORY_END\r\n  DEF_COUNTER_IN NONE\r\n  ORIGINAL_CHANNELS\r\nEND\r\n"
    "[STATION]\r\n  ADDRESS 11\r\n  RETRANSLATION 0\r\n  NAME \" Pump 2\"\r\n  NUM_BINAR_IN 0\r\n  NUM_BINAR_OUT 0\r\n"
    "  NUM_ANALOG_IN 0\r\n  NUM_COUNTER_IN 0\r\n  NUM_MEMORY_IN 0\r\n  NUM_MEMORY_OUT 0\r\n  BINAR_IN_XOR NONE\r\n"
    "  BINAR_OUT_XOR NONE\r\n  DEF_ANALOG_IN_ADDR FROM_GLOBAL\r\n  DEF_MEMORY_IN NONE\r\n  DEF_MEMORY_OUT NONE\r\n"
    "  DEF_COUNTER_IN NONE\r\n"
    "  QQ READ  7001 186 1 13 REAL\r\n  QQ WRITE 7002 1 1 2 WORD\r\n  QQ BIDIR 7003 1 2 1 STRING\r\n"
    "  MEMORY_BLOCK ADDR $0500 CHANNEL 1001 CHANNEL_READ 1000 TYPES WORD INPUT BYTE OUTPUT REAL BIDIR TYPES_END "
    "MEMORY_BLOCK_END\r\n"
    "  ErrorNoAnswer 1450\r\n  MsgCounter 1481\r\nEND\r\n";

struct Call {
  std::string Kind;  // "out", "in" (InputRequest), "proc"
  std::uint32_t Channel = 0;
  HostValue Value{};
};

// Records what reaches the driver; Input answers from a table.
class RecordingHost : public HostCalls {
 public:
  void Output(std::uint32_t channel, const HostValue& value) override { Calls.push_back({"out", channel, value}); }
  void RequestInput(std::uint32_t channel) override { Calls.push_back({"in", channel, {}}); }
  std::optional<HostValue> Input(std::uint32_t channel, std::uint32_t type) override {
    const auto it = Values.find(channel);
    if (it == Values.end()) return std::nullopt;
    return MakeValue(type, it->second);
  }
  std::optional<std::string> InputText(std::uint32_t) override { return std::nullopt; }
  void Window(std::uint32_t code) override { Calls.push_back({"proc", code, {}}); }
  std::string WindowText() override { return {}; }

  std::vector<Call> Calls;
  std::map<std::uint32_t, double> Values;
};

class LayoutFile {
 public:
  explicit LayoutFile(const std::string& par = kTwoStations) {
    path_ = dir_.file("line.par");
    ::qz::testing::WriteFile(path_, par);
    std::string error;
    if (auto l = ReadLayout(path_, "TEST", error)) layout_ = std::move(*l);
    error_ = error;
  }
  const Layout& layout() const { return layout_; }
  const std::string& error() const { return error_; }

 private:
  ::qz::testing::TempDir dir_;
  std::string path_;
  Layout layout_;
  std::string error_;
};

}  // namespace qzhost::test
