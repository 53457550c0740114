// Loading a parameter file of 100 stations that uses every keyword (about
// 100 KB), as Init does: once without the log and once with "$DIAGS".
// Target: under 10 ms without the log. And qz-par's strict check of the
// same file, with its channel map: under 50 ms (a commissioning script runs
// it on every change).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "channel_map.h"
#include "check.h"
#include "config/par_file.h"
#include "host/driver_state.h"

namespace {

std::string StationGroup(int n) {
  const int a = (n - 1) * 500;
  auto ch = [a](int offset) { return std::to_string(a + offset); };
  std::string s = "{ station " + std::to_string(n) + " }\r\n[STATION]\r\n";
  s += "  ADDRESS " + std::to_string(n) + "\r\n  RETRANSLATION 0\r\n";
  s += "  NAME \" Station number " + std::to_string(n) + "\"\r\n";
  s += "  NUM_BINAR_IN 32\r\n  NUM_BINAR_OUT 16\r\n  NUM_ANALOG_IN 8\r\n  NUM_COUNTER_IN 4\r\n";
  s += "  NUM_MEMORY_IN 4\r\n  NUM_MEMORY_OUT 4\r\n";
  s += "  BINAR_IN_XOR 1 2 3 17 31\r\n  BINAR_OUT_XOR NONE\r\n  DEF_ANALOG_IN_ADDR FROM_GLOBAL\r\n";
  s += "  DEF_MEMORY_IN\r\n    ARRAY\r\n    1 $0300 REAL\r\n    2 $0303 WORD\r\n    3 $0305 BYTE\r\n    4 $0306\r\n"
       "  DEF_MEMORY_END\r\n";
  s += "  DEF_MEMORY_OUT\r\n    1 $0400 REAL\r\n    2 $0403 WORD\r\n    3 $0405 BYTE\r\n    4 $0406\r\n"
       "  DEF_MEMORY_END\r\n";
  s += "  DEF_COUNTER_IN\r\n    1 HOUR 0.01 0\r\n    2 DAY 0.01 0\r\n    3 MONTH 1.0 1250.5\r\n"
       "    4 YEAR 1e-3 -1.5\r\n  DEF_COUNTER_END\r\n";
  s += "  ANALOG_LIMITS\r\n";
  for (int i = 1; i <= 8; ++i) s += "    " + std::to_string(i) + " 0.0 100.0 0.5\r\n";
  s += "  ANALOG_LIMITS_END\r\n";
  if (n % 10 == 0) s += "  PHONE D06012345" + std::to_string(n) + "\r\n";
  s += "  QQ READ " + std::to_string(40000 + n * 4) + " 1 1 1 REAL\r\n";
  s += "  QQ WRITE " + std::to_string(40001 + n * 4) + " 1 1 2 WORD\r\n";
  s += "  QQ BIDIR " + std::to_string(40002 + n * 4) + " 1 2 1 STRING\r\n";
  s += "  MEMORY_BLOCK ADDR $0500 CHANNEL " + ch(490) + " CHANNEL_READ " + ch(489) +
       "\r\n    TYPES WORD INPUT REAL INPUT BYTE OUTPUT LONGINT BIDIR TYPES_END\r\n  MEMORY_BLOCK_END\r\n";
  s += "  ORIGINAL_CHANNELS\r\n";
  s += "  CHANNEL_BI " + ch(1) + "\r\n  CHANNEL_BO " + ch(97) + "\r\n  CHANNEL_AI " + ch(193) + "\r\n";
  s += "  CHANNEL_CT " + ch(257) + "\r\n  CHANNEL_MI " + ch(405) + "\r\n  CHANNEL_MO " + ch(305) + "\r\n";
  s += "  ErrorNoAnswer " + ch(450) + "\r\n  Video " + ch(456) + "\r\n  in_connected_modem " + ch(478) + "\r\n";
  s += "  MsgCounter " + ch(481) + "\r\n  name_channel " + ch(482) + "\r\n  CallCode " + ch(483) + "\r\n";
  s += "END\r\n";
  return s;
}

std::string ParameterFile(bool diags) {
  std::string s = diags ? "$DIAGS\r\n" : "";
  s += "{ generated: 100 stations }\r\n"
       "[COM]\r\n  IRQ 4\r\n  BASE $3F8\r\n  BAUD 19200\r\n  BITS 8\r\n  PARITY EVEN\r\n  STOP 1\r\n"
       "  OPTIONS 0\r\n  BUFFER_SIZE 4096\r\n  DRIVER SYSTEM 1\r\nEND\r\n"
       "[GLOBAL]\r\n  PREFIX $10$02\r\n  SUFFIX $10$03\r\n  PRESUFFIX \"\" $10\r\n  ADDRESS 1\r\n"
       "  ANSWER_TIME 1.5\r\n  SILENCE_WAIT 20\r\n  RTS_TIME_ON 5\r\n  RTS_TIME_OFF 5\r\n"
       "  DEF_ANALOG_IN_ADDR 256\r\n  NUM_MORVEN_ERROR 3\r\n  SLEEP_TIME 120.0\r\n  SLEEP_COUNT 5\r\n"
       "  IDLE_TIME 10\r\n  STOP_SELF_READING OFF\r\n  CUC_PATH \"/tmp\"\r\n  STAY_IN_QUEUE_ON_TIMEOUT OFF\r\n"
       "  BEEP OFF\r\nEND\r\n";
  for (int n = 1; n <= 100; ++n) s += StationGroup(n);
  return s;
}

class ParFileOnDisk {
 public:
  explicit ParFileOnDisk(bool diags) : dir_(std::filesystem::temp_directory_path() / "qz-par-bench") {
    std::filesystem::create_directories(dir_);
    text_ = ParameterFile(diags);
    path_ = (dir_ / (diags ? "diags.par" : "plain.par")).string();
    std::ofstream(path_, std::ios::binary) << text_;
    setenv("QZ_ROOT", dir_.c_str(), 1);  // the default log goes here
  }
  ~ParFileOnDisk() { std::filesystem::remove_all(dir_); }
  ParFileOnDisk(const ParFileOnDisk&) = delete;
  ParFileOnDisk& operator=(const ParFileOnDisk&) = delete;

  const std::string& Path() const { return path_; }
  std::size_t Size() const { return text_.size(); }
  void RemoveLogs() const {
    for (const auto& e : std::filesystem::directory_iterator(dir_)) {
      if (e.path().extension() == ".LOG") std::filesystem::remove(e.path());
    }
  }

 private:
  std::filesystem::path dir_;
  std::string text_;
  std::string path_;
};

void Load(benchmark::State& bs, bool diags) {
  const ParFileOnDisk file(diags);
  qz::DriverState state;
  for (auto _ : bs) {
    bs.PauseTiming();
    qz::InitDriverState(state);
    state.Config.DriverName = "BENCH";
    state.Config.ParFileName = file.Path();
    if (diags) file.RemoveLogs();
    bs.ResumeTiming();
    const bool ok = qz::LoadParameterFile(state.Config, state.Log, nullptr);
    if (!ok || state.Config.StationCount != 100) {
      bs.SkipWithError("the generated file did not load");
      break;
    }
    benchmark::DoNotOptimize(state.Config.StationCount);
  }
  bs.SetBytesProcessed(static_cast<std::int64_t>(bs.iterations()) * static_cast<std::int64_t>(file.Size()));
  bs.counters["file_bytes"] = static_cast<double>(file.Size());
}

void BM_LoadParameterFile100Stations(benchmark::State& bs) { Load(bs, false); }
void BM_LoadParameterFile100StationsWithDiags(benchmark::State& bs) { Load(bs, true); }

void BM_StrictCheckAndChannelMap100Stations(benchmark::State& bs) {
  const std::string text = ParameterFile(false);
  std::size_t rows = 0;
  for (auto _ : bs) {
    qz::tool::CheckOutcome outcome = qz::tool::CheckText("bench.par", text);
    if (!outcome.Loaded || outcome.State->Config.StationCount != 100) {
      bs.SkipWithError("the generated file did not load");
      break;
    }
    rows = qz::tool::ChannelMap(*outcome.State).size();
    benchmark::DoNotOptimize(rows);
  }
  bs.SetBytesProcessed(static_cast<std::int64_t>(bs.iterations()) * static_cast<std::int64_t>(text.size()));
  bs.counters["channels"] = static_cast<double>(rows);
}

BENCHMARK(BM_LoadParameterFile100Stations)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StrictCheckAndChannelMap100Stations)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadParameterFile100StationsWithDiags)->Unit(benchmark::kMillisecond);

}  // namespace
