#pragma once
// The driver library loaded as a host loads it (dlopen, the exports only),
// polling a line of stations played by qz-sim on a pty.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "qzdrk485.h"
#include "support/pty_pair.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace qz::test {

// Timing of the line; short so that time-outs and sleep take seconds.
struct LineTiming {
  double AnswerTime = 0.25;  // s
  int SleepCount = 3;
  double SleepTime = 60.0;  // s
  int IdleTime = 2;         // ms
  int Baud = 9600;
};

inline constexpr int kStationAddress[] = {21, 22, 23};

// Three stations, 21..23, with binary and analog inputs on the default
// channel blocks: station n at (n - 1) * 500 + 1.
inline std::string ThreeStationFile(const LineTiming& t) {
  char global[512];
  std::snprintf(global, sizeof global,
                "[GLOBAL]\r\n  PREFIX $10$02\r\n  SUFFIX $10$03\r\n  PRESUFFIX NONE\r\n  ADDRESS 1\r\n"
                "  ANSWER_TIME %.3f\r\n  SILENCE_WAIT 2\r\n  RTS_TIME_ON 0\r\n  RTS_TIME_OFF 0\r\n"
                "  DEF_ANALOG_IN_ADDR 256\r\n  SLEEP_TIME %.1f\r\n  SLEEP_COUNT %d\r\n  IDLE_TIME %d\r\nEND\r\n",
                t.AnswerTime, t.SleepTime, t.SleepCount, t.IdleTime);
  std::string par = "[COM]\r\n  IRQ 4\r\n  BASE $3F8\r\n  BAUD " + std::to_string(t.Baud) +
                    "\r\n  BITS 8\r\n  PARITY NONE\r\n  STOP 1\r\n  OPTIONS 0\r\n  BUFFER_SIZE 4096\r\n"
                    "  DRIVER SYSTEM 1\r\nEND\r\n" +
                    global;
  const char* names[] = {"North", "Middle", "South"};
  for (int n = 0; n < 3; ++n) {
    par += "[STATION]\r\n  ADDRESS " + std::to_string(kStationAddress[n]) + "\r\n  RETRANSLATION 0\r\n  NAME \" " +
           names[n] +
           "\"\r\n  NUM_BINAR_IN 8\r\n  NUM_BINAR_OUT 0\r\n  NUM_ANALOG_IN 2\r\n  NUM_COUNTER_IN 0\r\n"
           "  NUM_MEMORY_IN 0\r\n  NUM_MEMORY_OUT 0\r\n  BINAR_IN_XOR NONE\r\n  BINAR_OUT_XOR NONE\r\n"
           "  DEF_ANALOG_IN_ADDR FROM_GLOBAL\r\n  DEF_MEMORY_IN NONE\r\n  DEF_MEMORY_OUT NONE\r\n"
           "  DEF_COUNTER_IN NONE\r\n  ORIGINAL_CHANNELS\r\nEND\r\n";
  }
  return par;
}

// Host channels of station n (1-based) under the default numbering.
inline std::uint32_t BinaryInChannel(int n, int i) { return static_cast<std::uint32_t>((n - 1) * 500 + i); }
inline std::uint32_t AnalogInChannel(int n, int i) { return static_cast<std::uint32_t>((n - 1) * 500 + 192 + i); }
inline std::uint32_t SleepTimeChannel(int n) { return static_cast<std::uint32_t>((n - 1) * 500 + 453); }
inline std::uint32_t ErrCountChannel(int n) { return static_cast<std::uint32_t>((n - 1) * 500 + 454); }
inline std::uint32_t MsgCounterChannel(int n) { return static_cast<std::uint32_t>((n - 1) * 500 + 481); }
inline constexpr std::uint32_t kSentCountChannel = 486;
inline constexpr std::uint32_t kFullSleepChannel = 492;
inline constexpr std::uint32_t kReceivedCountChannel = 493;

// The driver's exports, looked up by name.
class DriverLibrary {
 public:
  DriverLibrary() : lib_(::dlopen(QZ_DRIVER_PATH, RTLD_NOW | RTLD_LOCAL)) {}
  ~DriverLibrary() {
    if (lib_) ::dlclose(lib_);
  }
  DriverLibrary(const DriverLibrary&) = delete;
  DriverLibrary& operator=(const DriverLibrary&) = delete;

  bool Loaded() const { return lib_ && makeDriver && init && done && disposeDriver && getInput; }

  template <class F>
  F Get(const char* name) const {
    return lib_ ? reinterpret_cast<F>(::dlsym(lib_, name)) : nullptr;
  }

 private:
  void* lib_;

 public:
  decltype(&::MakeDriver) makeDriver = Get<decltype(&::MakeDriver)>("MakeDriver");
  decltype(&::Init) init = Get<decltype(&::Init)>("Init");
  decltype(&::Done) done = Get<decltype(&::Done)>("Done");
  decltype(&::DisposeDriver) disposeDriver = Get<decltype(&::DisposeDriver)>("DisposeDriver");
  decltype(&::GetInput) getInput = Get<decltype(&::GetInput)>("GetInput");
  decltype(&::QueryProc) queryProc = Get<decltype(&::QueryProc)>("QueryProc");
};

// One driver instance on COM1 against one simulator. Values are read
// through GetInput only.
class DriverOnLine {
 public:
  DriverOnLine(const ::qz::testing::TempDir& dir, const DriverLibrary& lib) : dir_(dir), lib_(lib) {}
  ~DriverOnLine() { Stop(); }

  // Starts the simulator on the file, then the driver; empty when both run,
  // else what failed.
  std::string Start(const std::string& par, const std::string& scenario = {}, std::vector<std::string> simExtra = {},
                    const std::string& transcript = {}) {
    const std::string parFile = dir_.file("line.par");
    ::qz::testing::WriteFile(parFile, par);
    SimOptions o;
    o.Program = QZ_SIM_PATH;
    o.ParFile = parFile;
    o.Link = dir_.file("com1");
    o.Control = dir_.file("control");
    o.Transcript = transcript;
    o.Extra = std::move(simExtra);
    if (!scenario.empty()) {
      o.Scenario = dir_.file("line.scn");
      ::qz::testing::WriteFile(o.Scenario, scenario);
    }
    simOptions_ = o;
    sim = std::make_unique<SimProcess>(o);
    if (!sim->Ready()) return sim->StartError();
    com_ = std::make_unique<::qz::testing::ScopedEnv>("QZ_COM1", sim->Link());
    h = lib_.makeDriver();
    char message[256] = "LINE";
    if (lib_.init(h, static_cast<int32_t>(parFile.size()), parFile.c_str(), nullptr, message, 0, nullptr, nullptr,
                  nullptr) != 1) {
      return std::string("Init failed: ") + message;
    }
    return {};
  }

  void StopDriver() {
    if (!h) return;
    lib_.done(h);
    lib_.disposeDriver(h);
    h = nullptr;
  }
  // Stops the driver and then the simulator; returns the simulator's summary.
  std::string Stop() {
    StopDriver();
    return sim ? sim->Stop() : std::string();
  }

  // A new simulator on the same pty link, as a device plugged in again;
  // empty when it runs, else why not.
  std::string RestartSimulator() {
    if (sim) sim->Stop();
    sim = std::make_unique<SimProcess>(simOptions_);
    return sim->Ready() ? std::string() : sim->StartError();
  }

  // The lines of the driver's event list, as the host's window shows them.
  std::vector<std::string> Events() const {
    std::vector<char> text(16384);
    QueryReply reply{static_cast<std::uint32_t>(text.size()), text.data()};
    lib_.queryProc(h, 12, "GetWindow", nullptr, &reply);
    std::vector<std::string> events;
    const std::string all(text.data());
    for (std::size_t at = 0; at < all.size();) {
      const std::size_t end = std::min(all.find('\n', at), all.size());
      const std::string line = all.substr(at, end - at);
      if (line.rfind("event\t", 0) == 0) events.push_back(line.substr(6));
      at = end + 1;
    }
    return events;
  }

  double Real(std::uint32_t channel) const {
    HostValue v{};
    v.TypeCode = 10;
    lib_.getInput(h, channel, &v);
    double x = 0;
    std::memcpy(&x, v.ValueBytes, sizeof x);
    return x;
  }
  int Binary(std::uint32_t channel) const {
    HostValue v{};
    v.TypeCode = 2;
    v.ValueBytes[0] = 0xEE;
    lib_.getInput(h, channel, &v);
    return v.ValueBytes[0];
  }

  std::unique_ptr<SimProcess> sim;
  DriverHandle* h = nullptr;

 private:
  const ::qz::testing::TempDir& dir_;
  const DriverLibrary& lib_;
  std::unique_ptr<::qz::testing::ScopedEnv> com_;
  SimOptions simOptions_;
};

// The simulator's summary figures of one station ("station 22 (...): ...").
struct SimStationStats {
  int Requests = -1, Answers = -1, Silent = -1, Faulted = -1, Reports = -1, Acked = -1, Wrong = -1, Missing = -1;
};
inline SimStationStats ParseStationStats(const std::string& summary, int address) {
  SimStationStats s;
  const std::string key = "station " + std::to_string(address) + " (";
  const std::size_t at = summary.find(key);
  if (at == std::string::npos) return s;
  const std::size_t colon = summary.find("): ", at);
  if (colon == std::string::npos) return s;
  int errors = 0;
  std::sscanf(summary.c_str() + colon + 3,
              "%d requests, %d answers, %d silent, %d faulted, %d error answers, %d reports (%d acknowledged, %d "
              "wrong, %d missing)",
              &s.Requests, &s.Answers, &s.Silent, &s.Faulted, &errors, &s.Reports, &s.Acked, &s.Wrong, &s.Missing);
  return s;
}

}  // namespace qz::test
