// The readers on full-size files: a history file of 50000 written records
// (decoded, filtered, every time stamp as text) and a log of traffic lines
// (parsed and turned into frames). Targets: a whole HDB file in well under
// 100 ms, a log at more than 200000 lines a second.

#include <benchmark/benchmark.h>

#include <string>

#include "civil_time.h"
#include "hdb_file.h"
#include "log_lines.h"
#include "log_traffic.h"

namespace {

using namespace qz::readers;

std::string FullHistoryFile() {
  std::string bytes;
  bytes.reserve(500000);
  for (std::uint32_t i = 0; i < 50000; ++i) {
    const std::uint32_t seconds = 850000000 + 60 * i;  // a minute apart: 35 days
    const std::uint32_t value = 0x41480000;
    bytes += static_cast<char>(i % 8 + 1);
    bytes += '\0';
    for (int b = 0; b < 4; ++b) bytes += static_cast<char>((seconds >> (8 * b)) & 0xFF);
    for (int b = 0; b < 4; ++b) bytes += static_cast<char>((value >> (8 * b)) & 0xFF);
  }
  return bytes;
}

void BM_HdbWholeFile(benchmark::State& state) {
  const std::string bytes = FullHistoryFile();
  for (auto _ : state) {
    std::string error;
    const auto content = DecodeHdb(bytes, error);
    HistoryClock clock;
    std::size_t chars = 0;
    HdbFilter filter;
    for (const HdbRecord& r : content->Records) {
      if (filter.Matches(r)) chars += IsoText(clock.At(r.Seconds)).size() + ValueText(ValueOf(r.ValueBits).Number).size();
    }
    benchmark::DoNotOptimize(chars);
  }
  state.counters["records/s"] = benchmark::Counter(50000.0 * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_HdbWholeFile)->Unit(benchmark::kMillisecond);

std::string TrafficLog(int exchanges) {
  const std::string exchange =
      "10.12.2026 13:56:55 CodeMess : STadr:011 typ:001\r\n"
      "10.12.2026 13:56:55 prstynek : transmit now\r\n"
      "10.12.2026 13:56:55 Transmit Message : \r\n"
      "10.12.2026 13:56:55 Hex Dump : 10 02 00 09 59 01 0B 01 4E 00 02 0C 1B 10 03 \r\n"
      "10.12.2026 13:56:55 TRANSMIT : END\r\n"
      "10.12.2026 13:56:55 ReceiveDATA : Prefix\r\n"
      "10.12.2026 13:56:55 ReceiveDATA : Message\r\n"
      "10.12.2026 13:56:55 ReceiveDATA : XOR OK\r\n"
      "10.12.2026 13:56:55 ReceiveDATA : SaveIt\r\n"
      "10.12.2026 13:56:55 Decode Received Message : \r\n"
      "10.12.2026 13:56:55 Hex Dump : 01 15 59 00 01 0B 4E 00 02 0C 00 00 00 00 00 00 \r\n"
      "10.12.2026 13:56:55 Hex Dump : 00 00 00 00 00 00 07 \r\n"
      "10.12.2026 13:56:55 ExtractDATA : DecodeMess = 1\r\n";
  std::string log;
  for (int i = 0; i < exchanges; ++i) log += exchange;
  return log;
}

void BM_LogTraffic(benchmark::State& state) {
  const std::string log = TrafficLog(5000);  // 65000 lines
  std::size_t lines = 0;
  for (auto _ : state) {
    LineSplitter splitter;
    splitter.Feed(log);
    TrafficReader reader(nullptr);
    std::size_t n = 0;
    for (const std::string& text : splitter.Take()) {
      if (auto line = ParseLogLine(text, ++n)) reader.Take(*line);
    }
    reader.Finish();
    benchmark::DoNotOptimize(reader.Events().size());
    lines += n;
  }
  state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LogTraffic)->Unit(benchmark::kMillisecond);

}  // namespace
