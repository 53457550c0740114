// The soak: a host writes changing values of every kind to several
// simulated stations for a few minutes while the simulator injects a seeded
// random run of line faults (silence, wrong check bytes, garbage, truncated
// frames, answers to another master, reports, the adapter unplugged and
// plugged back). Afterwards the line is quiet, and the soak checks that
// the last value of every written item reached its station, that the
// history user position the driver wrote is the station's, and that the
// host process's memory, descriptors and threads stayed flat.
//
//   soak_host [--minutes M] [--seed S] [--stations N] [--baud B]
//             [--driver LIB] [--sim QZ-SIM] [--keep DIR]
//
// The driver is loaded with dlopen and reached only through its exports.
// Exit status 0 when every check holds, 1 otherwise, 2 for a usage error.

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "history/history_state.h"
#include "qzdrk485.h"
#include "soak/fault_script.h"
#include "soak/process_figures.h"
#include "soak/soak_items.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace {

using SteadyClock = std::chrono::steady_clock;
using qz::soak::ProcessFigures;
using qz::soak::SoakItem;

struct Options {
  double Minutes = 3;
  std::uint64_t Seed = 1;
  int Stations = 4;
  int Baud = 115200;
  std::string Driver = QZ_DRIVER_PATH;
  std::string Sim = QZ_SIM_PATH;
  std::string Keep;  // folder that keeps the script, the transcript and the parameter file
};

int Usage(const char* why) {
  if (why) std::fprintf(stderr, "soak_host: %s\n", why);
  std::fputs("usage: soak_host [--minutes M] [--seed S] [--stations N] [--baud B] [--driver LIB] [--sim QZ-SIM]"
             " [--keep DIR]\n",
             stderr);
  return 2;
}

bool ParseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) return false;
    const std::string v = argv[++i];
    try {
      if (a == "--minutes") o.Minutes = std::stod(v);
      else if (a == "--seed") o.Seed = std::stoull(v);
      else if (a == "--stations") o.Stations = std::stoi(v);
      else if (a == "--baud") o.Baud = std::stoi(v);
      else if (a == "--driver") o.Driver = v;
      else if (a == "--sim") o.Sim = v;
      else if (a == "--keep") o.Keep = v;
      else return false;
    } catch (...) {
      return false;
    }
  }
  return o.Minutes > 0 && o.Stations >= 1 && o.Stations <= 9;
}

// The exports the host calls.
struct Driver {
  explicit Driver(const std::string& path) : lib(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (!lib) return;
    makeDriver = reinterpret_cast<decltype(makeDriver)>(dlsym(lib, "MakeDriver"));
    init = reinterpret_cast<decltype(init)>(dlsym(lib, "Init"));
    done = reinterpret_cast<decltype(done)>(dlsym(lib, "Done"));
    disposeDriver = reinterpret_cast<decltype(disposeDriver)>(dlsym(lib, "DisposeDriver"));
    getInput = reinterpret_cast<decltype(getInput)>(dlsym(lib, "GetInput"));
    outputRequest = reinterpret_cast<decltype(outputRequest)>(dlsym(lib, "OutputRequest"));
    inputRequest = reinterpret_cast<decltype(inputRequest)>(dlsym(lib, "InputRequest"));
  }
  ~Driver() {
    if (lib) dlclose(lib);
  }
  bool Ok() const {
    return lib && makeDriver && init && done && disposeDriver && getInput && outputRequest && inputRequest;
  }

  void* lib;
  decltype(&::MakeDriver) makeDriver = nullptr;
  decltype(&::Init) init = nullptr;
  decltype(&::Done) done = nullptr;
  decltype(&::DisposeDriver) disposeDriver = nullptr;
  decltype(&::GetInput) getInput = nullptr;
  decltype(&::OutputRequest) outputRequest = nullptr;
  decltype(&::InputRequest) inputRequest = nullptr;
};

HostValue Encode(std::uint32_t type, double x) {
  HostValue v{};
  v.TypeCode = type;
  auto put = [&](std::uint64_t bits, int bytes) {
    for (int i = 0; i < bytes; ++i) v.ValueBytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
  };
  switch (type) {
    case 2: case 3: case 6: put(static_cast<std::uint64_t>(static_cast<std::int64_t>(x)), 1); break;
    case 4: case 7: put(static_cast<std::uint64_t>(static_cast<std::int64_t>(x)), 2); break;
    case 5: case 8: put(static_cast<std::uint64_t>(static_cast<std::int64_t>(x)), 4); break;
    case 10: {
      std::uint64_t bits = 0;
      std::memcpy(&bits, &x, sizeof bits);
      put(bits, 8);
      break;
    }
    default: break;
  }
  return v;
}

class Soak {
 public:
  Soak(const Options& o, Driver& d) : o_(o), d_(d), line_(qz::soak::MakeSoakLine(o.Stations, o.Baud)), rng_(o.Seed) {}

  int Run();

 private:
  double Elapsed() const { return std::chrono::duration<double>(SteadyClock::now() - start_).count(); }
  std::uint32_t Word(std::uint32_t channel, std::uint32_t type) {
    HostValue v{};
    v.TypeCode = type;
    d_.getInput(h_, channel, &v);
    std::uint32_t x = 0;
    std::memcpy(&x, v.ValueBytes, sizeof x);
    return type == 7 ? x & 0xFFFF : x;
  }
  void Write(std::uint32_t channel, std::uint32_t type, double x) { d_.outputRequest(h_, channel, Encode(type, x)); }
  void WriteSomething();
  void ReadSomething();
  void HistoryStep(bool final);
  bool CheckStations(std::vector<std::string>& mismatches);
  std::int64_t SimUserPosition(int address);
  void Report(bool delivered, const std::vector<std::string>& mismatches, const std::string& summary);

  const Options& o_;
  Driver& d_;
  qz::soak::SoakLine line_;
  std::mt19937_64 rng_;
  DriverHandle* h_ = nullptr;
  std::unique_ptr<qz::test::SimProcess> sim_;
  SteadyClock::time_point start_ = SteadyClock::now();
  qz::soak::FaultScript faults_;
  ProcessFigures first_, last_;
  std::int64_t peakRssKb_ = 0;
  std::map<std::string, int> writesByKind_;
  int writes_ = 0;
  int reads_ = 0;
  // History read-outs: the one running, and per station the user position
  // the driver wrote at the end of its last finished read-out.
  int historyStation_ = 0;
  double historyStarted_ = 0;
  int historyNext_ = 1;
  int readouts_ = 0, readoutsFinished_ = 0;
  std::map<int, std::int64_t> userPos_;
  std::vector<std::string> failures_;
};

void Soak::WriteSomething() {
  SoakItem& item = line_.Items[std::uniform_int_distribution<std::size_t>(0, line_.Items.size() - 1)(rng_)];
  const double x = item.NextValue(rng_);
  Write(item.Channel, item.TypeCode, x);
  item.Written = true;
  item.Last = x;
  ++item.Writes;
  ++writes_;
  ++writesByKind_[item.Kind];
}

// Readings of the stations the host asks for, and the values it shows.
void Soak::ReadSomething() {
  const int pick = std::uniform_int_distribution<int>(0, 99)(rng_);
  if (pick < 2) {
    Write(line_.ReadCommands[std::uniform_int_distribution<std::size_t>(0, line_.ReadCommands.size() - 1)(rng_)], 2, 1);
  } else if (pick < 3) {
    d_.inputRequest(h_, line_.InputRequests[std::uniform_int_distribution<std::size_t>(0, line_.InputRequests.size() - 1)(rng_)]);
  }
  const std::uint32_t c = line_.ReadChannels[std::uniform_int_distribution<std::size_t>(0, line_.ReadChannels.size() - 1)(rng_)];
  HostValue v{};
  v.TypeCode = (c % 1000) < 20 ? 2 : 10;
  d_.getInput(h_, c, &v);
  ++reads_;
}

// History: one read-out at a time, stations in turn; a finished one leaves
// the user position the driver wrote to the station.
// The history state as the host reads it on its channel.
constexpr std::uint32_t Code(qz::HistoryPhase phase) { return static_cast<std::uint32_t>(phase); }

void Soak::HistoryStep(bool final) {
  constexpr std::uint32_t kStation = 65400, kUser = 65401, kUserPos = 65402, kState = 65404, kTimeout = 65406,
                          kStart = 65407;
  if (historyStation_ != 0) {
    const std::uint32_t state = Word(kState, 7);
    if (state == Code(qz::HistoryPhase::Finished)) {
      userPos_[historyStation_] = Word(kUserPos, 5);
      ++readoutsFinished_;
      historyStation_ = 0;
    } else if (state == Code(qz::HistoryPhase::Failed) || state == Code(qz::HistoryPhase::TimedOut) ||
               state == Code(qz::HistoryPhase::Aborted) || Elapsed() - historyStarted_ > 60) {
      historyStation_ = 0;  // failed or timed out: the next one tries again
    }
    return;
  }
  if (!final && std::uniform_int_distribution<int>(0, 999)(rng_) != 0) return;
  const int st = historyNext_;
  historyNext_ = historyNext_ % o_.Stations + 1;
  Write(kTimeout, 10, 30.0);
  Write(kStation, 7, st);
  Write(kUser, 7, 1);
  Write(kStart, 2, 1);
  historyStation_ = st;
  historyStarted_ = Elapsed();
  ++readouts_;
}

std::int64_t Soak::SimUserPosition(int address) {
  const std::string dump = sim_->Command("dump " + std::to_string(address));
  const std::size_t at = dump.find("user positions");
  if (at == std::string::npos) return -1;
  return std::atoll(dump.c_str() + at + std::strlen("user positions"));
}

bool Soak::CheckStations(std::vector<std::string>& mismatches) {
  mismatches.clear();
  for (const SoakItem& item : line_.Items) {
    if (!item.Written || item.SimItem.empty()) continue;
    std::string reply = sim_->Command("get " + std::to_string(item.Address) + " " + item.SimItem);
    while (!reply.empty() && (reply.back() == '\n' || reply.back() == ' ')) reply.pop_back();
    const double value = std::atof(reply.c_str());
    if (reply.starts_with("error") || !item.Matches(value)) {
      char text[200];
      std::snprintf(text, sizeof text, "station %d %s: wrote %.9g last (%d writes), station has %s", item.Address,
                    item.SimItem.c_str(), item.Last, item.Writes, reply.c_str());
      mismatches.push_back(text);
    }
  }
  for (const auto& [station, pos] : userPos_) {
    const int address = line_.Addresses[static_cast<std::size_t>(station - 1)];
    const std::int64_t simPos = SimUserPosition(address);
    if (simPos != pos) {
      mismatches.push_back("station " + std::to_string(address) + " history user 1: the driver wrote " +
                           std::to_string(pos) + ", station has " + std::to_string(simPos));
    }
  }
  return mismatches.empty();
}

void Soak::Report(bool delivered, const std::vector<std::string>& mismatches, const std::string& summary) {
  int items = 0, kept = 0;
  for (const SoakItem& item : line_.Items) {
    if (item.Written && !item.SimItem.empty()) ++items;
  }
  kept = items - static_cast<int>(mismatches.size()) + static_cast<int>(userPos_.size());
  long long applied = 0;
  std::istringstream lines(summary);
  std::string l;
  while (std::getline(lines, l)) {
    const std::size_t at = l.find(" writes applied");
    if (at == std::string::npos) continue;
    const std::size_t from = l.rfind(' ', at - 1);
    applied += std::atoll(l.c_str() + from + 1);
  }
  const double seconds = Elapsed();
  std::printf("soak: %.1f min, seed %llu, %d stations at %d Bd\n", seconds / 60, static_cast<unsigned long long>(o_.Seed),
              o_.Stations, o_.Baud);
  std::printf("writes made: %d (", writes_);
  const char* sep = "";
  for (const auto& [kind, n] : writesByKind_) {
    std::printf("%s%s %d", sep, kind.c_str(), n);
    sep = ", ";
  }
  std::printf("), history read-outs %d (%d finished), %d reads\n", readouts_, readoutsFinished_, reads_);
  std::printf("writes applied by the stations: %lld\n", applied);
  std::printf("last values: %d of %d written station items and history positions reached their station%s\n", kept,
              items + static_cast<int>(userPos_.size()), delivered ? "" : " (FAILED)");
  for (const std::string& m : mismatches) std::printf("  %s\n", m.c_str());
  std::printf("faults injected: %d (", faults_.Total());
  sep = "";
  for (const auto& [kind, n] : faults_.Counts) {
    std::printf("%s%s %d", sep, kind.c_str(), n);
    sep = ", ";
  }
  std::printf(")\n");
  std::printf("memory (VmRSS): start %lld kB, end %lld kB, peak %lld kB\n", static_cast<long long>(first_.RssKb),
              static_cast<long long>(last_.RssKb), static_cast<long long>(peakRssKb_));
  std::printf("descriptors: start %d, end %d; threads: start %d, end %d\n", first_.Descriptors, last_.Descriptors,
              first_.Threads, last_.Threads);
  std::printf("CPU (host with driver): %.2f s in %.0f s (%.2f %%)\n", last_.CpuSeconds, seconds,
              100.0 * last_.CpuSeconds / seconds);
  std::printf("simulator:\n%s", summary.c_str());
  for (const std::string& f : failures_) std::printf("FAIL: %s\n", f.c_str());
  std::printf("soak %s\n", failures_.empty() ? "passed" : "FAILED");
}

int Soak::Run() {
  qz::testing::TempDir tmp;
  const std::string dir = o_.Keep.empty() ? tmp.path().string() : o_.Keep;
  std::filesystem::create_directories(dir);
  const double total = o_.Minutes * 60;
  const double quiet = std::max(30.0, 0.2 * total);  // faults end, the line settles
  const double faultsUntil = std::max(20.0, total - quiet);

  qz::soak::FaultScriptOptions fo;
  fo.Seed = o_.Seed;
  fo.Stations = line_.Addresses;
  // Faults begin after the warm-up, so that the first figures are those
  // of a line that runs.
  const double warmUp = 10;
  fo.FaultsFromMs = static_cast<std::int64_t>(warmUp * 1000) + 2000;
  fo.FaultsUntilMs = static_cast<std::int64_t>(faultsUntil * 1000);
  faults_ = qz::soak::MakeFaultScript(fo);

  qz::test::SimOptions so;
  so.Program = o_.Sim;
  so.ParFile = dir + "/soak.par";
  so.Link = dir + "/com1";
  so.Control = dir + "/control";
  so.Script = dir + "/faults.txt";
  so.Scenario = dir + "/start.scn";
  if (!o_.Keep.empty()) so.Transcript = dir + "/transcript.txt";
  so.Extra = {"--turnaround-ms", "3"};
  qz::testing::WriteFile(so.ParFile, line_.ParText);
  qz::testing::WriteFile(so.Script, faults_.Text);
  std::string scenario;
  for (int address : line_.Addresses) scenario += "history " + std::to_string(address) + " fill 50\n";
  qz::testing::WriteFile(so.Scenario, scenario);
  ::setenv("QZ_HDB_DIR", dir.c_str(), 1);
  ::setenv("QZ_ROOT", dir.c_str(), 1);
  sim_ = std::make_unique<qz::test::SimProcess>(so);
  start_ = SteadyClock::now();
  if (!sim_->Ready()) {
    std::fprintf(stderr, "soak_host: qz-sim did not start: %s\n", sim_->StartError().c_str());
    return 1;
  }
  ::setenv("QZ_COM1", sim_->Link().c_str(), 1);

  h_ = d_.makeDriver();
  char message[256] = "SOAK";
  if (!d_.init(h_, static_cast<std::int32_t>(so.ParFile.size()), so.ParFile.c_str(), nullptr, message, 0, nullptr,
               nullptr, nullptr)) {
    std::fprintf(stderr, "soak_host: Init failed: %s\n", message);
    return 1;
  }

  // The host's loop: a write every few milliseconds, reads along, history
  // read-outs now and then. The warm-up reads every station's history
  // once, so that the history images exist before the first figures.
  const double warmUntil = warmUp;
  bool sampled = false;
  // Writes go on into the quiet line, up to shortly before the end.
  const double writesUntil = std::max(faultsUntil + 5, total - 10);
  for (long loop = 0; Elapsed() < writesUntil; ++loop) {
    const bool warm = Elapsed() < warmUntil;
    if (!sampled && (!warm || readoutsFinished_ >= o_.Stations)) {
      first_ = qz::soak::ReadProcessFigures();
      sampled = true;
    }
    // About five writes a second: more than the stations need, less than
    // the line carries besides its polling.
    if (std::uniform_int_distribution<int>(0, 19)(rng_) == 0) WriteSomething();
    ReadSomething();
    HistoryStep(warm && readouts_ < o_.Stations);
    if (loop % 100 == 0) peakRssKb_ = std::max(peakRssKb_, qz::soak::ReadProcessFigures().RssKb);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // The quiet line: one more history read-out of every station, then the
  // stations must hold every last value.
  const double deadline = std::max(total, Elapsed() + 30) + 60;
  for (int round = 0; round < o_.Stations && Elapsed() < deadline; ++round) {
    HistoryStep(true);
    while (historyStation_ != 0 && Elapsed() < deadline) {
      HistoryStep(true);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  std::vector<std::string> mismatches;
  bool delivered = false;
  while (!(delivered = CheckStations(mismatches)) && Elapsed() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  last_ = qz::soak::ReadProcessFigures();
  peakRssKb_ = std::max({peakRssKb_, last_.RssKb, first_.RssKb});

  if (!delivered) failures_.push_back("last values missing at their stations");
  if (readoutsFinished_ == 0) failures_.push_back("no history read-out finished");
  if (last_.Descriptors != first_.Descriptors) failures_.push_back("open descriptors changed");
  if (last_.Threads != first_.Threads) failures_.push_back("thread count changed");
  const std::int64_t growthLimit = std::max<std::int64_t>(8192, first_.RssKb / 10);
  if (last_.RssKb - first_.RssKb > growthLimit)
    failures_.push_back("resident memory grew by more than " + std::to_string(growthLimit) + " kB");

  d_.done(h_);
  d_.disposeDriver(h_);
  h_ = nullptr;
  const std::string summary = sim_->Stop();
  Report(delivered, mismatches, summary);
  return failures_.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseOptions(argc, argv, o)) return Usage("bad arguments");
  Driver driver(o.Driver);
  if (!driver.Ok()) {
    std::fprintf(stderr, "soak_host: cannot load %s: %s\n", o.Driver.c_str(), dlerror());
    return 1;
  }
  Soak soak(o, driver);
  return soak.Run();
}
