// The driver polling three simulated stations on a pty, with the simulator
// pacing its answers at the line's baud rate: exchanges per second, line
// utilisation, and the process's CPU time per second of polling and per
// second of full sleep (every station silent). Line utilisation counts both
// directions at the baud rate; the driver's requests cross the pty at once,
// so the paced answers alone are shown as well. Run by hand:
//   line_bench --benchmark_counters_tabular=true
// The simulator is a separate process, so the CPU time of this process is the
// driver's (its communication and port threads; the main thread sleeps).

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "line/line_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;
using qz::test::DriverLibrary;
using qz::test::DriverOnLine;
using qz::test::LineTiming;

constexpr double kPollSeconds = 4.0;
constexpr double kSleepSeconds = 3.0;
constexpr int kBitsPerChar = 10;        // 8N1
constexpr std::size_t kFrameMarks = 4;  // Prefix and Suffix the transcript leaves out of received messages

double CpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return s(u.ru_utime) + s(u.ru_stime);
}

struct LineCount {
  std::size_t answers = 0;   // the simulator's frames, paced at the baud rate
  std::size_t requests = 0;  // the driver's frames; a pty does not pace them
};

// Bytes on the line so far, from the simulator's transcript: its own frames
// as written ("TX"), the driver's as received messages ("RX").
LineCount LineBytes(const std::string& transcript) {
  std::ifstream in(transcript);
  LineCount bytes;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string time, direction, word;
    words >> time >> direction;
    if (direction != "TX" && direction != "RX") continue;
    std::size_t n = 0;
    while (words >> word && word != ";") {
      if (word.size() == 2) ++n;
    }
    if (direction == "RX") {
      bytes.requests += n + kFrameMarks;
    } else {
      bytes.answers += n;
    }
  }
  return bytes;
}

struct Sample {
  Clock::time_point at;
  double cpu, received;
  LineCount bytes;
};

Sample Take(const DriverOnLine& line, const std::string& transcript) {
  return {Clock::now(), CpuSeconds(), line.Real(qz::test::kReceivedCountChannel), LineBytes(transcript)};
}

double Seconds(const Sample& a, const Sample& b) { return std::chrono::duration<double>(b.at - a.at).count(); }

void BM_LinePolling(benchmark::State& state) {
  LineTiming timing;
  timing.Baud = static_cast<int>(state.range(0));
  timing.IdleTime = static_cast<int>(state.range(1));
  timing.AnswerTime = 0.3;
  timing.SleepCount = 2;
  timing.SleepTime = 600.0;

  ::qz::testing::TempDir dir;
  ::qz::testing::ScopedEnv root("QZ_ROOT", dir.path().string());
  ::qz::testing::ScopedEnv hdb("QZ_HDB_DIR", dir.path().string());
  DriverLibrary lib;
  if (!lib.Loaded()) {
    state.SkipWithError("driver library not loaded");
    return;
  }
  DriverOnLine line(dir, lib);
  const std::string transcript = dir.file("transcript.txt");
  const std::string error =
      line.Start(qz::test::ThreeStationFile(timing), {}, {"--baud", std::to_string(timing.Baud)}, transcript);
  if (!error.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  auto polled = [&] { return line.Real(qz::test::MsgCounterChannel(3)) >= 2; };
  if (!qz::test::WaitUntil(polled, 10000)) {
    state.SkipWithError("the line does not run");
    return;
  }

  double exchanges = 0, utilisation = 0, answerShare = 0, cpuPolling = 0, cpuSleeping = 0;
  for (auto _ : state) {
    const Sample a = Take(line, transcript);
    std::this_thread::sleep_for(std::chrono::duration<double>(kPollSeconds));
    const Sample b = Take(line, transcript);
    const double dt = Seconds(a, b);
    state.SetIterationTime(dt);
    exchanges = (b.received - a.received) / dt;
    const auto answers = static_cast<double>(b.bytes.answers - a.bytes.answers);
    const auto requests = static_cast<double>(b.bytes.requests - a.bytes.requests);
    utilisation = (answers + requests) * kBitsPerChar / timing.Baud / dt;
    answerShare = answers * kBitsPerChar / timing.Baud / dt;
    cpuPolling = (b.cpu - a.cpu) / dt;

    line.sim->Command("fault * silence");
    auto fullSleep = [&] { return line.Real(qz::test::kFullSleepChannel) > 0; };
    if (!qz::test::WaitUntil(fullSleep, 20000)) {
      state.SkipWithError("the line never went to full sleep");
      break;
    }
    const Sample c = Take(line, transcript);
    std::this_thread::sleep_for(std::chrono::duration<double>(kSleepSeconds));
    const Sample d = Take(line, transcript);
    cpuSleeping = (d.cpu - c.cpu) / Seconds(c, d);
  }
  line.Stop();
  state.counters["exch/s"] = exchanges;
  state.counters["line_util_%"] = utilisation * 100;
  state.counters["answers_util_%"] = answerShare * 100;
  state.counters["cpu_ms/s_polling"] = cpuPolling * 1000;
  state.counters["cpu_ms/s_sleeping"] = cpuSleeping * 1000;
}

// Arguments: baud rate, IDLE_TIME in ms.
BENCHMARK(BM_LinePolling)
    ->ArgNames({"baud", "idle_ms"})
    ->Args({9600, 10})
    ->Args({9600, 0})
    ->Args({115200, 10})
    ->Args({115200, 0})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
