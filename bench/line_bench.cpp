// The driver on a pty against qz-sim, loaded as a host loads it (dlopen, the
// exports only), with the simulator pacing its answers at the line's rate
// after a 5 ms turnaround; SILENCE_WAIT 2, RTS times 0.
//
// BM_LinePolling (3 stations): exchanges per second beside the line's limit,
// which is what the wire itself allows: the bytes of an average exchange
// (request and answer) times bits per character over the rate, plus the
// simulator's turnaround and SILENCE_WAIT. The ratio says how much of that
// the driver reaches. A pty does not pace the driver's requests, so the
// ratio can pass 1; the pty's own limit (answer bytes only) is shown beside. CPU is this process's (the driver's threads; the main
// thread sleeps), per second of polling and per second of full sleep.
//
// BM_HundredStationRound: one turn of the poll ring over 100 small stations,
// from the transcript's time stamps, beside the same limit summed over the
// round's exchanges.
//
// BM_AnswerToGetInput: the time from an answer's last byte on the line to
// its value in GetInput. The host sets station 21's binary input 1 through
// the simulator's control socket and spins on GetInput until it changes.
// The simulator's transcript stamps the first byte of every answer (ms since
// its start); its last byte follows (n - 1) character times later. The
// simulator's clock is tied to the host's by the "command:" lines of probe
// commands: each one happened between the host's send and reply, and its ms
// stamp narrows the offset further; the intersection of all of them leaves
// less than a round trip of doubt. An answer's stamp is taken at the middle
// of its millisecond, so one sample is good to +-0.5 ms and the mean of many
// much better. The driver decodes at the check byte, before the Suffix has
// crossed, so a latency from the frame's last byte may be below 0; the mean
// from the check byte is shown beside.
//
// Run by hand (the machine's load shows in every figure):
//   line_bench --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "line/line_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;
using qz::test::DriverLibrary;
using qz::test::DriverOnLine;
using qz::test::LineTiming;

constexpr double kPollSeconds = 4.0;
constexpr double kSleepSeconds = 3.0;
constexpr int kBitsPerChar = 10;        // 8N1
constexpr int kTurnaroundMs = 5;        // the simulator's pause before an answer
constexpr int kSilenceWaitMs = 2;       // SILENCE_WAIT of the files below
constexpr std::size_t kFrameMarks = 4;  // Prefix and Suffix the transcript leaves out of received messages
constexpr int kSuffixBytes = 2;         // SUFFIX $10$03

double CpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return s(u.ru_utime) + s(u.ru_stime);
}

std::int64_t HostUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
}

// One transcript line: "  12.345 TX 10 02 ... ; note".
struct Entry {
  std::int64_t Ms = 0;
  std::string Direction;
  std::vector<std::uint8_t> Bytes;
  std::string Note;
};

std::vector<Entry> ReadTranscript(const std::string& path) {
  std::ifstream in(path);
  std::vector<Entry> entries;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    double seconds = 0;
    Entry e;
    if (!(words >> seconds >> e.Direction)) continue;
    e.Ms = std::llround(seconds * 1000.0);
    std::string word;
    while (words >> word && word != ";") {
      if (word.size() == 2) e.Bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
    }
    std::getline(words, e.Note);
    if (!e.Note.empty() && e.Note.front() == ' ') e.Note.erase(0, 1);
    entries.push_back(std::move(e));
  }
  return entries;
}

// Request and answer bytes of a stretch of the transcript.
struct Traffic {
  std::size_t Answers = 0, AnswerBytes = 0, RequestBytes = 0;

  void Add(const Entry& e) {
    if (e.Direction == "TX") {
      ++Answers;
      AnswerBytes += e.Bytes.size();
    } else if (e.Direction == "RX") {
      RequestBytes += e.Bytes.size() + kFrameMarks;
    }
  }
  // What the wire allows for these exchanges, in ms.
  double LimitMs(int baud) const { return PacedMs(AnswerBytes + RequestBytes, baud); }
  // What the pty allows: only the simulator paces its bytes, the driver's
  // requests cross at once.
  double PtyLimitMs(int baud) const { return PacedMs(AnswerBytes, baud); }

 private:
  double PacedMs(std::size_t bytes, int baud) const {
    return static_cast<double>(bytes) * kBitsPerChar * 1000.0 / baud +
           static_cast<double>(Answers) * (kTurnaroundMs + kSilenceWaitMs);
  }
};

Traffic TrafficOf(const std::vector<Entry>& entries, std::size_t from, std::size_t to) {
  Traffic t;
  for (std::size_t i = from; i < to && i < entries.size(); ++i) t.Add(entries[i]);
  return t;
}

// A driver instance and its simulator on a fresh folder.
struct Rig {
  ::qz::testing::TempDir dir;
  ::qz::testing::ScopedEnv root{"QZ_ROOT", dir.path().string()};
  ::qz::testing::ScopedEnv hdb{"QZ_HDB_DIR", dir.path().string()};
  DriverLibrary lib;
  DriverOnLine line{dir, lib};
  std::string transcript = dir.file("transcript.txt");

  // Empty when the line runs, else why not.
  std::string Start(const std::string& par, int baud) {
    if (!lib.Loaded()) return "driver library not loaded";
    return line.Start(par, {}, {"--baud", std::to_string(baud), "--turnaround-ms", std::to_string(kTurnaroundMs)},
                      transcript);
  }
};

LineTiming Timing(int baud, int idle) {
  LineTiming t;
  t.Baud = baud;
  t.IdleTime = idle;
  t.AnswerTime = 0.3;
  t.SleepCount = 2;
  t.SleepTime = 600.0;
  return t;
}

void BM_LinePolling(benchmark::State& state) {
  const LineTiming timing = Timing(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  Rig rig;
  DriverOnLine& line = rig.line;
  if (const std::string error = rig.Start(qz::test::ThreeStationFile(timing), timing.Baud); !error.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  if (!qz::test::WaitUntil([&] { return line.Real(qz::test::MsgCounterChannel(3)) >= 2; }, 10000)) {
    state.SkipWithError("the line does not run");
    return;
  }

  double exchanges = 0, limit = 0, ptyLimit = 0, bytesPerExchange = 0, cpuPolling = 0, cpuAsleep = 0;
  for (auto _ : state) {
    const std::size_t from = ReadTranscript(rig.transcript).size();
    const auto a = Clock::now();
    const double cpuA = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(kPollSeconds));
    const double cpuB = CpuSeconds();
    const auto b = Clock::now();
    const std::vector<Entry> entries = ReadTranscript(rig.transcript);
    const double dt = std::chrono::duration<double>(b - a).count();
    state.SetIterationTime(dt);
    const Traffic t = TrafficOf(entries, from, entries.size());
    exchanges = static_cast<double>(t.Answers) / dt;
    limit = t.Answers ? 1000.0 * static_cast<double>(t.Answers) / t.LimitMs(timing.Baud) : 0;
    ptyLimit = t.Answers ? 1000.0 * static_cast<double>(t.Answers) / t.PtyLimitMs(timing.Baud) : 0;
    bytesPerExchange = t.Answers ? static_cast<double>(t.AnswerBytes + t.RequestBytes) / static_cast<double>(t.Answers) : 0;
    cpuPolling = (cpuB - cpuA) / dt;

    line.sim->Command("fault * silence");
    if (!qz::test::WaitUntil([&] { return line.Real(qz::test::kFullSleepChannel) > 0; }, 20000)) {
      state.SkipWithError("the line never went to full sleep");
      break;
    }
    const auto c = Clock::now();
    const double cpuC = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(kSleepSeconds));
    cpuAsleep = (CpuSeconds() - cpuC) / std::chrono::duration<double>(Clock::now() - c).count();
  }
  line.Stop();
  state.counters["exch/s"] = exchanges;
  state.counters["limit/s"] = limit;
  state.counters["ratio"] = limit > 0 ? exchanges / limit : 0;
  state.counters["pty_limit/s"] = ptyLimit;
  state.counters["pty_ratio"] = ptyLimit > 0 ? exchanges / ptyLimit : 0;
  state.counters["bytes/exch"] = bytesPerExchange;
  state.counters["cpu_ms/s_polling"] = cpuPolling * 1000;
  state.counters["cpu_ms/s_asleep"] = cpuAsleep * 1000;
}

// Arguments: baud rate, IDLE_TIME in ms; each row runs once, timed by hand.
void LineRows(benchmark::internal::Benchmark* b) {
  b->ArgNames({"baud", "idle_ms"});
  for (const int baud : {9600, 115200}) {
    for (const int idle : {10, 0}) b->Args({baud, idle});
  }
  b->Iterations(1)->UseManualTime();
}

BENCHMARK(BM_LinePolling)
    ->Apply(LineRows)
    ->Unit(benchmark::kSecond);

// ---------------------------------------------------------------------------
// 100 stations.

constexpr int kHundred = 100;
int HundredAddress(int n) { return n + 1; }  // 2..101: the control centre is 1

std::string HundredStationFile(const LineTiming& t) {
  // The three-station file's [COM] and [GLOBAL] groups, then 100 stations.
  std::string head = qz::test::ThreeStationFile(t);
  head.resize(head.find("[STATION]"));
  for (int n = 1; n <= kHundred; ++n) {
    head += "[STATION]\r\n  ADDRESS " + std::to_string(HundredAddress(n)) + "\r\n  RETRANSLATION 0\r\n  NAME \" S" +
            std::to_string(n) +
            "\"\r\n  NUM_BINAR_IN 8\r\n  NUM_BINAR_OUT 0\r\n  NUM_ANALOG_IN 2\r\n  NUM_COUNTER_IN 0\r\n"
            "  NUM_MEMORY_IN 0\r\n  NUM_MEMORY_OUT 0\r\n  BINAR_IN_XOR NONE\r\n  BINAR_OUT_XOR NONE\r\n"
            "  DEF_ANALOG_IN_ADDR FROM_GLOBAL\r\n  DEF_MEMORY_IN NONE\r\n  DEF_MEMORY_OUT NONE\r\n"
            "  DEF_COUNTER_IN NONE\r\n  ORIGINAL_CHANNELS\r\nEND\r\n";
  }
  return head;
}

// The station an answer comes from: the last byte of its Y header.
int AnswerStation(const Entry& e) { return e.Direction == "TX" && e.Bytes.size() > 7 ? e.Bytes[7] : -1; }

// Indices of the answers with which station `address` starts a turn of the
// ring: its first answer after another station's.
std::vector<std::size_t> RoundStarts(const std::vector<Entry>& entries, int address) {
  std::vector<std::size_t> starts;
  int previous = -1;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const int station = AnswerStation(entries[i]);
    if (station < 0) continue;
    if (station == address && previous != address && previous != -1) starts.push_back(i);
    previous = station;
  }
  return starts;
}

void BM_HundredStationRound(benchmark::State& state) {
  const LineTiming timing = Timing(9600, static_cast<int>(state.range(0)));
  Rig rig;
  if (const std::string error = rig.Start(HundredStationFile(timing), timing.Baud); !error.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  const int first = HundredAddress(1);
  double roundS = 0, limitS = 0, ptyLimitS = 0, exchanges = 0;
  for (auto _ : state) {
    // Two starts of station 1 after the driver's first turn: one whole round.
    auto twoRounds = [&] { return RoundStarts(ReadTranscript(rig.transcript), first).size() >= 2; };
    if (!qz::test::WaitUntil(twoRounds, 90000)) {
      state.SkipWithError("no whole round of the ring within 90 s");
      break;
    }
    const std::vector<Entry> entries = ReadTranscript(rig.transcript);
    const std::vector<std::size_t> starts = RoundStarts(entries, first);
    const Traffic t = TrafficOf(entries, starts[0], starts[1]);
    roundS = static_cast<double>(entries[starts[1]].Ms - entries[starts[0]].Ms) / 1000.0;
    limitS = t.LimitMs(timing.Baud) / 1000.0;
    ptyLimitS = t.PtyLimitMs(timing.Baud) / 1000.0;
    exchanges = static_cast<double>(t.Answers);
    state.SetIterationTime(roundS);
  }
  rig.line.Stop();
  state.counters["round_s"] = roundS;
  state.counters["limit_s"] = limitS;
  state.counters["ratio"] = roundS > 0 ? limitS / roundS : 0;
  state.counters["pty_limit_s"] = ptyLimitS;
  state.counters["pty_ratio"] = roundS > 0 ? ptyLimitS / roundS : 0;
  state.counters["exch/round"] = exchanges;
}

// Argument: IDLE_TIME in ms.
BENCHMARK(BM_HundredStationRound)
    ->ArgNames({"idle_ms"})
    ->Arg(10)
    ->Arg(0)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// ---------------------------------------------------------------------------
// From the answer's last byte to GetInput.

constexpr int kProbes = 40;
constexpr int kLatencySamples = 25;
constexpr int kLatencyStation = 21;  // the first station of the three-station file
constexpr std::int64_t kSeenWithinUs = 2'000'000;  // a value not in GetInput by then counts as missed

// The simulator's start in host microseconds, from probe commands: each one
// was stamped (whole ms since that start) between the host's send and reply.
struct ClockTie {
  std::int64_t Low = std::numeric_limits<std::int64_t>::min();
  std::int64_t High = std::numeric_limits<std::int64_t>::max();
  void Add(std::int64_t sentUs, std::int64_t replyUs, std::int64_t stampMs) {
    Low = std::max(Low, sentUs - (stampMs + 1) * 1000);
    High = std::min(High, replyUs - stampMs * 1000);
  }
  bool Consistent() const { return Low <= High; }
  std::int64_t StartUs() const { return Low / 2 + High / 2; }
};

struct Timed {
  std::string Command;
  std::int64_t SentUs, ReplyUs;
  std::int64_t SeenUs = 0;  // set commands: when GetInput showed the value
  int Value = -1;
};

// The stamp of the transcript's "command:" line for the i-th command sent.
std::vector<std::int64_t> CommandStamps(const std::vector<Entry>& entries, std::vector<std::size_t>* where) {
  std::vector<std::int64_t> stamps;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].Direction == "--" && entries[i].Note.rfind("command: ", 0) == 0) {
      stamps.push_back(entries[i].Ms);
      if (where) where->push_back(i);
    }
  }
  return stamps;
}

// First answer of the station to a binary-input request, after entry
// `from`, whose binary input 1 is `value`: the frame is Prefix (2), the Y
// header (6), 'B', the group mask, then the groups.
std::size_t AnswerCarrying(const std::vector<Entry>& entries, std::size_t from, int value) {
  for (std::size_t i = from; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    if (AnswerStation(e) != kLatencyStation || e.Bytes.size() < 11 || e.Bytes[8] != 'B') continue;
    if ((e.Bytes[10] & 1) == value) return i;
  }
  return entries.size();
}

void BM_AnswerToGetInput(benchmark::State& state) {
  const LineTiming timing = Timing(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  Rig rig;
  DriverOnLine& line = rig.line;
  if (const std::string error = rig.Start(qz::test::ThreeStationFile(timing), timing.Baud); !error.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  const std::uint32_t channel = qz::test::BinaryInChannel(1, 1);
  if (!qz::test::WaitUntil([&] { return line.Real(qz::test::MsgCounterChannel(3)) >= 2; }, 10000)) {
    state.SkipWithError("the line does not run");
    return;
  }
  double mean = 0, low = 0, high = 0, doubtUs = 0;
  int samples = 0, missed = 0;
  for (auto _ : state) {
    std::vector<Timed> sent;
    auto command = [&](const std::string& text) {
      Timed t{text, HostUs(), 0};
      line.sim->Command(text);
      t.ReplyUs = HostUs();
      sent.push_back(t);
      return sent.size() - 1;
    };
    for (int i = 0; i < kProbes; ++i) {
      command("get " + std::to_string(kLatencyStation) + " bi 1");
      std::this_thread::sleep_for(std::chrono::microseconds(137 * (i % 7) + 50));  // spread over the ms
    }
    int value = 0;
    for (int k = 0; k < kLatencySamples; ++k) {
      value ^= 1;
      const std::size_t at = command("set " + std::to_string(kLatencyStation) + " bi 1 " + std::to_string(value));
      sent[at].Value = value;
      const std::int64_t deadline = HostUs() + kSeenWithinUs;
      bool seen = false;
      while (!(seen = line.Binary(channel) == value) && HostUs() < deadline) {
      }
      if (seen) sent[at].SeenUs = HostUs();
    }
    const auto started = Clock::now();
    const std::vector<Entry> entries = ReadTranscript(rig.transcript);
    std::vector<std::size_t> where;
    const std::vector<std::int64_t> stamps = CommandStamps(entries, &where);
    if (stamps.size() != sent.size()) {
      state.SkipWithError("the transcript lacks command lines");
      break;
    }
    ClockTie tie;
    for (std::size_t i = 0; i < sent.size(); ++i) tie.Add(sent[i].SentUs, sent[i].ReplyUs, stamps[i]);
    if (!tie.Consistent()) {
      state.SkipWithError("the simulator's clock does not agree with the host's");
      break;
    }
    const double charUs = kBitsPerChar * 1e6 / timing.Baud;
    std::vector<double> latencies;
    for (std::size_t i = 0; i < sent.size(); ++i) {
      if (sent[i].Value < 0) continue;
      if (sent[i].SeenUs == 0) {
        ++missed;
        continue;
      }
      const std::size_t answer = AnswerCarrying(entries, where[i], sent[i].Value);
      if (answer == entries.size()) continue;
      const double lastByteUs = static_cast<double>(tie.StartUs()) +
                                static_cast<double>(entries[answer].Ms) * 1000.0 + 500.0 +
                                static_cast<double>(entries[answer].Bytes.size() - 1) * charUs;
      latencies.push_back((static_cast<double>(sent[i].SeenUs) - lastByteUs) / 1000.0);
    }
    if (latencies.empty()) {
      state.SkipWithError("no answer carried a set value");
      break;
    }
    samples = static_cast<int>(latencies.size());
    mean = 0;
    for (double l : latencies) mean += l;
    mean /= samples;
    low = *std::min_element(latencies.begin(), latencies.end());
    high = *std::max_element(latencies.begin(), latencies.end());
    doubtUs = static_cast<double>(tie.High - tie.Low);
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count() + 1e-6);
  }
  line.Stop();
  state.counters["latency_ms_mean"] = mean;
  state.counters["latency_ms_min"] = low;
  // The driver takes the answer at its check byte, without waiting for the
  // Suffix behind it: the same mean counted from that byte.
  state.counters["from_check_ms_mean"] = samples ? mean + kSuffixBytes * kBitsPerChar * 1000.0 / timing.Baud : 0;
  state.counters["latency_ms_max"] = high;
  state.counters["samples"] = samples;
  state.counters["missed"] = missed;
  state.counters["clock_doubt_us"] = doubtUs;
}

// Arguments: baud rate, IDLE_TIME in ms.
BENCHMARK(BM_AnswerToGetInput)
    ->Apply(LineRows)
    ->Unit(benchmark::kMillisecond);

}  // namespace
