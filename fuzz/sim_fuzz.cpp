// Fuzz target: the station simulator's command language, its scenario
// loader and its timed-script parser, against a simulated line of two
// stations with every kind of item. The first byte picks the reader; the
// rest is the text. Afterwards the line runs on: the simulator answers a
// stream of requests and ticks, so that the faults, value changes and
// reports the commands set up come to work. Checked: the readers end with a
// result (an error names the line it is about), script lines come out in
// time order, and nothing crashes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "responder.h"
#include "sim_config.h"

namespace {

void Fail() { __builtin_trap(); }

const char* const kPar =
    "[COM] IRQ 4 BASE $3F8 BAUD 9600 BITS 8 PARITY NONE STOP 1 OPTIONS 0 BUFFER_SIZE 4096 DRIVER SYSTEM 1 END\r\n"
    "[GLOBAL] PREFIX $10$02 \r\n SUFFIX $10$03 \r\n PRESUFFIX NONE \r\n ADDRESS 1 ANSWER_TIME 1.0 SILENCE_WAIT 5"
    " RTS_TIME_ON 0 RTS_TIME_OFF 0 DEF_ANALOG_IN_ADDR 256 IDLE_TIME 2 END\r\n"
    "[STATION] ADDRESS 5 RETRANSLATION 0 NAME \" Pump\"\r\n NUM_BINAR_IN 16 NUM_BINAR_OUT 8 NUM_ANALOG_IN 4"
    " NUM_COUNTER_IN 2 NUM_MEMORY_IN 2 NUM_MEMORY_OUT 3 BINAR_IN_XOR NONE BINAR_OUT_XOR NONE"
    " DEF_ANALOG_IN_ADDR $0100 DEF_MEMORY_IN 1 $0300 REAL 2 $0303 WORD DEF_MEMORY_END"
    " DEF_MEMORY_OUT 1 $0400 REAL 2 $0403 BYTE 3 $0406 WORD DEF_MEMORY_END DEF_COUNTER_IN NONE"
    " QQ BIDIR 7001 1 1 1 BYTE\r\n QQ BIDIR 7002 1 1 2 REAL\r\n QQ BIDIR 7003 1 2 1 STRING\r\n"
    " MEMORY_BLOCK ADDR $0500 CHANNEL 7100 CHANNEL_READ 7099 TYPES BYTE OUTPUT WORD BIDIR LONGINT BIDIR"
    " REAL BIDIR TYPES_END MEMORY_BLOCK_END ORIGINAL_CHANNELS END\r\n"
    "[STATION] ADDRESS 6 RETRANSLATION 0 NAME \" Well\"\r\n NUM_BINAR_IN 96 NUM_BINAR_OUT 96 NUM_ANALOG_IN 64"
    " NUM_COUNTER_IN 48 NUM_MEMORY_IN 0 NUM_MEMORY_OUT 0 BINAR_IN_XOR NONE BINAR_OUT_XOR NONE"
    " DEF_ANALOG_IN_ADDR FROM_GLOBAL DEF_MEMORY_IN NONE DEF_MEMORY_OUT NONE DEF_COUNTER_IN NONE"
    " ORIGINAL_CHANNELS END\r\n";

const qz::sim::SimSetup& TheSetup() {
  static const qz::sim::SimSetup setup = [] {
    qz::sim::SimSetup s;
    std::string error;
    if (!qz::sim::LoadSetupText(kPar, s, error) || s.Stations.size() != 2) Fail();
    return s;
  }();
  return setup;
}

// Requests of the control centre that reach every answer path: reads and
// writes of every area, QQ variables, samples, history, and a report
// acknowledgement that nobody waits for.
const std::string_view kBodies[] = {
    "B",        "b\x01\xFF",      "A",          "C\x80",       "N\x00\x03\x06", "n\x00\x04\x03\x01\x02\x03",
    "K",        "k\x01\x02\x03",  "Qq\x01\x01\x01", "QQ\x01\x01\x01\x05\x00\x00\x00", "QN\x48\x00\x80",
    "\xF0\x00\x00\xC0", "X",      "H"};

std::string Frame(std::uint8_t station, std::string_view body) {
  std::string m{0, 0, 'Y', 1, static_cast<char>(station), 1};  // direct form from master 1
  m += body;
  m[1] = static_cast<char>(m.size() - 1);
  char check = 0;
  for (char c : m) check = static_cast<char>(check ^ c);
  return std::string("\x10\x02", 2) + m + check + std::string("\x10\x03", 2);
}

void RunLine(qz::sim::Responder& r, std::string_view noise, std::int64_t& now) {
  for (std::size_t i = 0; i < 24; ++i) {
    const std::uint8_t pick = i < noise.size() ? static_cast<std::uint8_t>(noise[i]) : static_cast<std::uint8_t>(i);
    now += 1 + pick % 700;
    r.Receive(Frame(pick & 1 ? 5 : 6, kBodies[pick % std::size(kBodies)]), now);
    if (pick % 5 == 0 && i < noise.size()) r.Receive(noise.substr(i, 7), now);
    r.Tick(now);
  }
  r.Tick(now + 10000);
  (void)r.Summary();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  qz::sim::ResponderOptions options;
  options.WallBase = 800000000;
  qz::sim::Responder responder(TheSetup(), options);
  std::int64_t now = 0;
  std::string error;
  switch (data[0] % 3) {
    case 0: {  // command lines as typed, a second apart
      std::size_t start = 0;
      while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const qz::sim::CommandResult r = qz::sim::Execute(responder, text.substr(start, end - start), now);
        if (!r.Ok && r.Text.empty()) Fail();  // a refusal says why
        now += 1000;
        start = end + 1;
      }
      break;
    }
    case 1:
      if (!qz::sim::LoadScenario(responder, text, "fuzz.scn", error) && !error.starts_with("fuzz.scn:")) Fail();
      break;
    case 2: {
      std::vector<qz::sim::ScriptLine> lines;
      if (!qz::sim::ParseScript(text, "fuzz.txt", lines, error)) {
        if (!error.starts_with("fuzz.txt:")) Fail();
        break;
      }
      for (std::size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].AtMs < lines[i - 1].AtMs) Fail();
      }
      for (const qz::sim::ScriptLine& line : lines) {
        if (line.Command.empty()) Fail();
        qz::sim::Execute(responder, line.Command, std::clamp<std::int64_t>(line.AtMs, 0, 100000000));
      }
      break;
    }
  }
  RunLine(responder, text, now);
  return 0;
}
