// The driver library as a host uses it, against the station simulator on a
// pty: reading every kind of item, writing outputs, QQ variables, the
// history and sample read-outs, the line reset and the modem commands.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "history/history_state.h"
#include "qzdrk485.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string kHead =
    "[COM]\r\n  IRQ 4\r\n  BASE $3F8\r\n  BAUD 9600\r\n  BITS 8\r\n  PARITY NONE\r\n  STOP 1\r\n  OPTIONS 0\r\n"
    "  BUFFER_SIZE 4096\r\n  DRIVER SYSTEM 1\r\nEND\r\n"
    "[GLOBAL]\r\n  PREFIX $10$02\r\n  SUFFIX $10$03\r\n  PRESUFFIX NONE\r\n  ADDRESS 1\r\n  ANSWER_TIME 1.0\r\n"
    "  SILENCE_WAIT 5\r\n  RTS_TIME_ON 0\r\n  RTS_TIME_OFF 0\r\n  DEF_ANALOG_IN_ADDR 256\r\n  IDLE_TIME 2\r\nEND\r\n";

std::string Station(const std::string& extra) {
  return "[STATION]\r\n  ADDRESS 5\r\n  RETRANSLATION 0\r\n  NAME \"Pump\"\r\n  NUM_BINAR_IN 16\r\n  NUM_BINAR_OUT 8\r\n"
         "  NUM_ANALOG_IN 4\r\n  NUM_COUNTER_IN 2\r\n  NUM_MEMORY_IN 2\r\n  NUM_MEMORY_OUT 3\r\n  BINAR_IN_XOR NONE\r\n"
         "  BINAR_OUT_XOR NONE\r\n  DEF_ANALOG_IN_ADDR $0100\r\n"
         "  DEF_MEMORY_IN 1 $0300 REAL 2 $0303 REAL DEF_MEMORY_END\r\n"
         "  DEF_MEMORY_OUT 1 $0400 REAL 2 $0403 REAL 3 $0406 REAL DEF_MEMORY_END\r\n  DEF_COUNTER_IN NONE\r\n"
         "  ORIGINAL_CHANNELS\r\n"
         "  MEMORY_BLOCK ADDR $0500 CHANNEL 1000 CHANNEL_READ 999 TYPES BYTE INPUT WORD BIDIR TYPES_END "
         "MEMORY_BLOCK_END\r\n" +
         extra + "END\r\n";
}

// The simulator as a child process with its control socket, fast and
// unpaced so that the tests take seconds.
class Simulator {
 public:
  Simulator(const ::qz::testing::TempDir& dir, const std::string& par)
      : process_(Options(dir, par)) {}

  bool Ready() const { return process_.Ready(); }
  const std::string& Link() const { return process_.Link(); }
  std::string Control(const std::string& command) const { return process_.Command(command); }
  double Number(const std::string& command) const { return std::atof(Control(command).c_str()); }

 private:
  static ::qz::test::SimOptions Options(const ::qz::testing::TempDir& dir, const std::string& par) {
    ::qz::test::SimOptions o;
    o.Program = QZ_SIM_PATH;
    o.ParFile = dir.file("line.par");
    ::qz::testing::WriteFile(o.ParFile, par);
    o.Link = dir.file("com1");
    o.Control = dir.file("control");
    o.Extra = {"--no-pace", "--turnaround-ms", "0"};
    return o;
  }

  ::qz::test::SimProcess process_;
};

struct Library {
  void* lib = dlopen(QZ_DRIVER_PATH, RTLD_NOW | RTLD_LOCAL);
  ~Library() {
    if (lib) dlclose(lib);
  }
  template <class F>
  F Get(const char* name) const {
    return lib ? reinterpret_cast<F>(dlsym(lib, name)) : nullptr;
  }
};

bool WaitFor(const std::function<bool()>& condition, int seconds = 15) {
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  while (!condition()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

class HostOnSimulator : public ::testing::Test {
 protected:
  void Start(const std::string& stationExtra) {
    ASSERT_NE(lib.lib, nullptr) << dlerror();
    sim = std::make_unique<Simulator>(dir, kHead + Station(stationExtra));
    ASSERT_TRUE(sim->Ready()) << "qz-sim did not start";
    com = std::make_unique<::qz::testing::ScopedEnv>("QZ_COM1", sim->Link());
    const std::string par = dir.file("line.par");
    h = makeDriver();
    char message[256] = "HOST";
    ASSERT_EQ(init(h, static_cast<int32_t>(par.size()), par.c_str(), nullptr, message, 0, nullptr, nullptr, nullptr), 1)
        << message;
  }
  void TearDown() override {
    if (h) {
      done(h);
      disposeDriver(h);
    }
  }

  HostValue Read(uint32_t channel, uint32_t type) {
    HostValue v{};
    v.TypeCode = type;
    getInput(h, channel, &v);
    return v;
  }
  double Real(uint32_t channel) {
    const HostValue v = Read(channel, 10);
    double x = 0;
    std::memcpy(&x, v.ValueBytes, sizeof x);
    return x;
  }
  uint32_t Word(uint32_t channel, uint32_t type) {
    const HostValue v = Read(channel, type);
    uint32_t x = 0;
    std::memcpy(&x, v.ValueBytes, type == 3 || type == 2 ? 1 : type == 4 || type == 7 ? 2 : 4);
    return x;
  }
  float Single(uint32_t channel) {
    const HostValue v = Read(channel, 9);
    float x = 0;
    std::memcpy(&x, v.ValueBytes, sizeof x);
    return x;
  }
  void Write(uint32_t channel, uint32_t type, double x) {
    HostValue v{};
    v.TypeCode = type;
    if (type == 10) std::memcpy(v.ValueBytes, &x, sizeof x);
    else {
      const auto n = static_cast<uint32_t>(static_cast<int64_t>(x));
      std::memcpy(v.ValueBytes, &n, sizeof n);
    }
    outputRequest(h, channel, v);
  }

  ::qz::testing::TempDir dir;
  ::qz::testing::ScopedEnv root{"QZ_ROOT", dir.path().string()};
  ::qz::testing::ScopedEnv hdb{"QZ_HDB_DIR", dir.path().string()};
  std::unique_ptr<::qz::testing::ScopedEnv> com;
  std::unique_ptr<Simulator> sim;
  Library lib;
  DriverHandle* h = nullptr;
  decltype(&::MakeDriver) makeDriver = lib.Get<decltype(&::MakeDriver)>("MakeDriver");
  decltype(&::Init) init = lib.Get<decltype(&::Init)>("Init");
  decltype(&::Done) done = lib.Get<decltype(&::Done)>("Done");
  decltype(&::DisposeDriver) disposeDriver = lib.Get<decltype(&::DisposeDriver)>("DisposeDriver");
  decltype(&::SetBufferAddr) setBufferAddr = lib.Get<decltype(&::SetBufferAddr)>("SetBufferAddr");
  decltype(&::InputRequest) inputRequest = lib.Get<decltype(&::InputRequest)>("InputRequest");
  decltype(&::GetInput) getInput = lib.Get<decltype(&::GetInput)>("GetInput");
  decltype(&::OutputRequest) outputRequest = lib.Get<decltype(&::OutputRequest)>("OutputRequest");
};

TEST_F(HostOnSimulator, ReadsEveryItemKindAndWritesOutputsWhilePolling) {
  Start("");
  EXPECT_EQ(sim->Control("set 5 bi 3 1"), "");
  sim->Control("set 5 ai 2 12.5");
  sim->Control("set 5 mi 1 7.5");
  sim->Control("set 5 blk 1.2 0x1234");
  EXPECT_TRUE(WaitFor([&] { return Word(3, 2) == 1; })) << "binary input 3";
  EXPECT_TRUE(WaitFor([&] { return Real(194) == 12.5; })) << "analog input 2: " << Real(194);
  EXPECT_TRUE(WaitFor([&] { return Real(405) == 7.5; })) << "memory input 1: " << Real(405);
  // The counter channel shows the committed count, which the host may set.
  Write(257, 10, 100);
  EXPECT_EQ(Real(257), 100.0);
  Write(999, 2, 0);  // block read
  EXPECT_TRUE(WaitFor([&] { return Word(1001, 4) == 0x1234; })) << "block item 2";
  EXPECT_GT(Real(481), 0.0) << "requests counted";

  Write(97, 2, 1);      // binary output 1
  Write(306, 10, 3.25);  // memory output 2
  EXPECT_TRUE(WaitFor([&] { return sim->Number("get 5 bo 1") == 1; }));
  EXPECT_TRUE(WaitFor([&] { return sim->Number("get 5 mo 2") == 3.25; }));
  EXPECT_EQ(Word(97, 2), 1u);
  EXPECT_EQ(Real(306), 3.25);

  // A line reset and a modem connection and disconnection; polling goes on.
  // The station keeps silent meanwhile: the line runs at its own speed, and
  // a good answer between two reads would clear in_last_com_err again.
  EXPECT_EQ(sim->Control("fault 5 silence"), "");
  Write(65531, 2, 1);
  Write(476, 2, 1);
  EXPECT_EQ(Word(477, 2), 1u) << "in_connecting_modem";
  Write(476, 2, 0);
  EXPECT_EQ(Word(477, 2), 0u);
  EXPECT_EQ(Word(465, 2), 1u) << "in_last_com_err";
  EXPECT_EQ(sim->Control("clear 5"), "");
  sim->Control("set 5 bi 4 1");
  EXPECT_TRUE(WaitFor([&] { return Word(4, 2) == 1; })) << "polling after the disconnection";
}

TEST_F(HostOnSimulator, QqVariablesHistoryAndSamples) {
  Start("  QQ BIDIR 4000 1 2 3 REAL\r\n");
  // A QQ variable read on demand and written.
  sim->Control("set 5 qq 1.2.3 12.5");
  inputRequest(h, 4000);
  EXPECT_TRUE(WaitFor([&] { return Single(4000) == 12.5f; })) << Single(4000);
  Write(4000, 10, 7.25);
  EXPECT_TRUE(WaitFor([&] { return sim->Number("get 5 qq 1.2.3") == 7.25; }));

  // History: from the user's position to the top, then the new position.
  sim->Control("history 5 fill 40");
  Write(65400, 7, 1);
  Write(65401, 7, 2);
  Write(65407, 2, 1);
  constexpr auto kFinished = static_cast<std::uint32_t>(qz::HistoryPhase::Finished);
  EXPECT_TRUE(WaitFor([&] { return Word(65404, 7) == kFinished; })) << "history state " << Word(65404, 7);
  EXPECT_EQ(Word(65402, 5), Word(65403, 5)) << "user position moved to the top";
  EXPECT_GE(Word(65403, 5), 40u);
  Write(65410, 4, 0);
  EXPECT_NE(Word(65412, 5), 0u) << "record 0 has a time stamp";
  Write(65415, 2, 1);
  EXPECT_EQ(std::filesystem::file_size(dir.path() / "HOST1.hdb"), 500000u);

  // Samples into the host's buffer and the sample file.
  std::vector<uint8_t> buffer(16862, 0);
  setBufferAddr(h, 65532, buffer.data());
  Write(60000, 3, 1);
  Write(60001, 3, 1);
  Write(60003, 2, 1);
  EXPECT_EQ(buffer[24], 1);
  // The communication thread fills the buffer; the host learns the end
  // through the running flag, which it reads under the driver's lock.
  EXPECT_TRUE(WaitFor([&] { return Word(60018, 2) == 0; }, 30)) << "sample read-out still running";
  EXPECT_EQ(buffer[24], 2);
  EXPECT_EQ(buffer[8] | buffer[9] << 8, 528);
  Write(60002, 4, 528);
  EXPECT_NE(Word(60005, 3), 0u) << "the newest sample has a month";
  Write(60021, 2, 1);
  EXPECT_EQ(Word(60022, 2), 1u);
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    if (entry.path().extension() == ".CUC") {
      ++files;
      EXPECT_EQ(entry.file_size(), 16368u);
      EXPECT_EQ(entry.path().filename().string().substr(0, 3), "051");
    }
  }
  EXPECT_EQ(files, 1);
}

}  // namespace
