// The readers on the files the driver itself writes: the library runs
// against the station simulator on a pty with the log switched on, reads
// out the history and the samples, sends every kind of request a host can
// cause, meets a bad check byte, time-outs and a sleep; then each reader
// reads what was written.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "history/history_state.h"
#include "qzdrk485.h"
#include "support/driver_library.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "tool_run.h"

namespace {

using Clock = std::chrono::steady_clock;
using ::qz::test::RunTool;
using ::qz::test::ToolResult;

const std::string kPar =
    "$DIAGS\r\n"
    "[COM]\r\n  IRQ 4\r\n  BASE $3F8\r\n  BAUD 9600\r\n  BITS 8\r\n  PARITY NONE\r\n  STOP 1\r\n  OPTIONS 0\r\n"
    "  BUFFER_SIZE 4096\r\n  DRIVER SYSTEM 1\r\nEND\r\n"
    "[GLOBAL]\r\n  PREFIX $10$02\r\n  SUFFIX $10$03\r\n  PRESUFFIX NONE\r\n  ADDRESS 1\r\n  ANSWER_TIME 0.3\r\n"
    "  SILENCE_WAIT 5\r\n  RTS_TIME_ON 0\r\n  RTS_TIME_OFF 0\r\n  DEF_ANALOG_IN_ADDR 256\r\n  IDLE_TIME 2\r\n"
    "  SLEEP_COUNT 2\r\n  SLEEP_TIME 0.5\r\nEND\r\n"
    "[STATION]\r\n  ADDRESS 5\r\n  RETRANSLATION 0\r\n  NAME \" \xC8" "erpadlo\"\r\n  NUM_BINAR_IN 16\r\n"
    "  NUM_BINAR_OUT 8\r\n  NUM_ANALOG_IN 4\r\n  NUM_COUNTER_IN 8\r\n  NUM_MEMORY_IN 2\r\n  NUM_MEMORY_OUT 3\r\n"
    "  BINAR_IN_XOR NONE\r\n  BINAR_OUT_XOR NONE\r\n  DEF_ANALOG_IN_ADDR $0100\r\n"
    "  DEF_MEMORY_IN 1 $0300 REAL 2 $0303 REAL DEF_MEMORY_END\r\n"
    "  DEF_MEMORY_OUT 1 $0400 REAL 2 $0403 REAL 3 $0406 REAL DEF_MEMORY_END\r\n  DEF_COUNTER_IN NONE\r\n"
    "  ORIGINAL_CHANNELS\r\n"
    "  MEMORY_BLOCK ADDR $0500 CHANNEL 1000 CHANNEL_READ 999 TYPES BYTE INPUT WORD BIDIR TYPES_END "
    "MEMORY_BLOCK_END\r\n"
    "END\r\n";

// Channels of station 1 in the default numbering.
constexpr uint32_t kBinaryOut1 = 97, kMemoryOut2 = 306, kReadAImorven = 460, kWriteKO = 474;
constexpr uint32_t kBlockRead = 999, kBlockItem2 = 1001;
constexpr uint32_t kSampleStation = 60000, kSamplePeriod = 60001, kSampleStart = 60003, kSampleRunning = 60018;
constexpr uint32_t kSampleFile = 60021, kHistoryStation = 65400, kHistoryUser = 65401, kHistoryState = 65404;
constexpr uint32_t kHistoryStart = 65407, kHistorySave = 65415;
constexpr uint32_t kHistoryFinished = static_cast<uint32_t>(qz::HistoryPhase::Finished);

bool WaitFor(const std::function<bool()>& condition, int seconds = 15) {
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  while (!condition()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// One driver session, shared by the tests: it writes the files they read.
class DriverSession {
 public:
  DriverSession() {
    ::qz::test::SimOptions o;
    o.Program = QZ_SIM_PATH;
    o.ParFile = dir.file("line.par");
    ::qz::testing::WriteFile(o.ParFile, kPar);
    o.Link = dir.file("com1");
    o.Control = dir.file("control");
    o.Extra = {"--no-pace", "--turnaround-ms", "0"};
    sim = std::make_unique<::qz::test::SimProcess>(o);
  }

  // Runs the session; an empty text when everything happened.
  std::string Run() {
    if (!lib.Loaded() || !sim->Ready()) return "driver library or simulator did not start";
    com = std::make_unique<::qz::testing::ScopedEnv>("QZ_COM1", sim->Link());
    const std::string par = dir.file("line.par");
    h = makeDriver();
    char message[256] = "HOST";
    if (init(h, static_cast<int32_t>(par.size()), par.c_str(), nullptr, message, 0, nullptr, nullptr, nullptr) != 1) {
      return std::string("Init failed: ") + message;
    }
    sim->Command("set 5 bi 3 1");
    sim->Command("set 5 ai 2 12.5");
    sim->Command("set 5 mi 1 7.5");
    // The poll ring has gone round once: BI, AI, CT, CT zero, MI.
    if (!WaitFor([&] { return Real(194) == 12.5 && Real(405) == 7.5; })) {
      const std::string log = ::qz::testing::ReadFile(LogFile());
      return "analog input 2 or memory input 1 never arrived; log ends: " + log.substr(log.size() > 1500 ? log.size() - 1500 : 0);
    }
    // One answer with a bad check byte, then silence until the station sleeps.
    sim->Command("fault 5 badcheck once");
    sim->Command("fault 5 silence times 3");
    if (!WaitFor([&] { return LogHas("start m\xF3" "du"); })) return "the station never went to sleep";
    if (!WaitFor([&] { return LogHas("konec m\xF3" "du"); })) return "the station never woke up";
    Write(kBinaryOut1, 2, 1);
    Write(kMemoryOut2, 10, 3.25);
    Write(kReadAImorven, 2, 1);
    Write(kWriteKO, 2, 1);
    Write(kBlockRead, 2, 0);
    Write(kBlockItem2, 4, 0x1234);
    if (!WaitFor([&] { return sim->Command("get 5 blk 1.2").find("4660") != std::string::npos; })) {
      return "block item never written: " + sim->Command("get 5 blk 1.2");
    }
    sim->Command("history 5 fill 40 every 1m");
    Write(kHistoryStation, 7, 1);
    Write(kHistoryUser, 7, 2);
    Write(kHistoryStart, 2, 1);
    if (!WaitFor([&] { return Word(kHistoryState, 7) == kHistoryFinished; })) return "history read-out did not end";
    Write(kHistorySave, 2, 1);
    Write(kSampleStation, 3, 1);
    Write(kSamplePeriod, 3, 1);
    Write(kSampleStart, 2, 1);
    if (!WaitFor([&] { return Word(kSampleRunning, 2) == 0; }, 30)) return "sample read-out did not end";
    Write(kSampleFile, 2, 1);
    done(h);
    disposeDriver(h);
    h = nullptr;
    return "";
  }

  ~DriverSession() {
    if (h) {
      done(h);
      disposeDriver(h);
    }
  }

  std::string LogFile() const { return dir.file("QZDRK485_HOST.LOG"); }
  std::string HdbFile() const { return dir.file("HOST1.hdb"); }
  std::string ParFile() const { return dir.file("line.par"); }
  std::string CucFile() const {
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      if (entry.path().extension() == ".CUC") return entry.path().string();
    }
    return "";
  }

  ::qz::testing::TempDir dir;

 private:
  bool LogHas(const std::string& text) const { return ::qz::testing::ReadFile(LogFile()).find(text) != std::string::npos; }
  double Real(uint32_t channel) {
    HostValue v{};
    v.TypeCode = 10;
    getInput(h, channel, &v);
    double x = 0;
    std::memcpy(&x, v.ValueBytes, sizeof x);
    return x;
  }
  uint32_t Word(uint32_t channel, uint32_t type) {
    HostValue v{};
    v.TypeCode = type;
    getInput(h, channel, &v);
    uint32_t x = 0;
    std::memcpy(&x, v.ValueBytes, type == 2 || type == 3 ? 1 : type == 4 || type == 7 ? 2 : 4);
    return x;
  }
  void Write(uint32_t channel, uint32_t type, double x) {
    HostValue v{};
    v.TypeCode = type;
    if (type == 10) {
      std::memcpy(v.ValueBytes, &x, sizeof x);
    } else {
      const auto n = static_cast<uint32_t>(static_cast<int64_t>(x));
      std::memcpy(v.ValueBytes, &n, sizeof n);
    }
    outputRequest(h, channel, v);
  }

  ::qz::testing::ScopedEnv root{"QZ_ROOT", dir.path().string()};
  ::qz::testing::ScopedEnv hdb{"QZ_HDB_DIR", dir.path().string()};
  std::unique_ptr<::qz::test::SimProcess> sim;
  std::unique_ptr<::qz::testing::ScopedEnv> com;
  ::qz::test::DriverLibrary lib;
  DriverHandle* h = nullptr;
  decltype(&::MakeDriver) makeDriver = lib.Get<decltype(::MakeDriver)>("MakeDriver");
  decltype(&::Init) init = lib.Get<decltype(::Init)>("Init");
  decltype(&::Done) done = lib.Get<decltype(::Done)>("Done");
  decltype(&::DisposeDriver) disposeDriver = lib.Get<decltype(::DisposeDriver)>("DisposeDriver");
  decltype(&::InputRequest) inputRequest = lib.Get<decltype(::InputRequest)>("InputRequest");
  decltype(&::GetInput) getInput = lib.Get<decltype(::GetInput)>("GetInput");
  decltype(&::OutputRequest) outputRequest = lib.Get<decltype(::OutputRequest)>("OutputRequest");
};

class ReadersOnDriverFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    session = new DriverSession();
    failure = new std::string(session->Run());
  }
  static void TearDownTestSuite() {
    delete session;
    delete failure;
  }
  void SetUp() override { ASSERT_EQ(*failure, ""); }

  static DriverSession* session;
  static std::string* failure;
};

DriverSession* ReadersOnDriverFiles::session = nullptr;
std::string* ReadersOnDriverFiles::failure = nullptr;

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

TEST_F(ReadersOnDriverFiles, HdbRecordsOfTheReadOut) {
  const ToolResult csv = RunTool(QZ_HDB_TOOL, session->HdbFile());
  ASSERT_EQ(csv.Exit, 0) << csv.Err;
  const auto lines = csv.OutLines();
  ASSERT_GE(lines.size(), 41u);
  EXPECT_EQ(lines[0], "index,time,code,value");
  EXPECT_EQ(lines.size() - 1, 40u) << "the 40 records the station made, and only those";
  const ToolResult summary = RunTool(QZ_HDB_TOOL, "--summary --json " + session->HdbFile());
  ASSERT_EQ(summary.Exit, 0) << summary.Err;
  EXPECT_NE(summary.Out.find("\"records\":40"), std::string::npos) << summary.Out;
  EXPECT_NE(summary.Out.find("\"gaps\":[]"), std::string::npos) << "records a minute apart: " << summary.Out;
  const std::string svg = session->dir.file("history.svg");
  const ToolResult plot = RunTool(QZ_HDB_TOOL, "--svg " + svg + " " + session->HdbFile());
  EXPECT_EQ(plot.Exit, 0) << plot.Err;
  EXPECT_NE(::qz::testing::ReadFile(svg).find("<polyline"), std::string::npos);
}

TEST_F(ReadersOnDriverFiles, CucSamplesOfTheReadOut) {
  ASSERT_NE(session->CucFile(), "");
  const ToolResult csv = RunTool(QZ_CUC_TOOL, session->CucFile());
  ASSERT_EQ(csv.Exit, 0) << csv.Err;
  const auto lines = csv.OutLines();
  ASSERT_EQ(lines.size(), 529u) << "a header and every sample";
  EXPECT_EQ(lines[0], "sample,time,status,v1,v2,v3,v4,v5,v6,v7,v8");
  // Analog input 2 was 12.5 during the read-out: value 2 of the newest sample.
  EXPECT_NE(lines[528].find(",12.5,"), std::string::npos) << lines[528];
  const ToolResult json = RunTool(QZ_CUC_TOOL, "--json " + session->CucFile());
  EXPECT_EQ(Count(json.Out, "\"time\":\"20"), 528u) << "every time stamp is a date";
}

TEST_F(ReadersOnDriverFiles, LogShowsEveryRequestKindAndTheFaults) {
  const ToolResult log = RunTool(QZ_LOG_TOOL, "--json --par " + session->ParFile() + " " + session->LogFile());
  ASSERT_EQ(log.Exit, 0) << log.Err;
  std::set<std::string> kinds;
  for (const std::string& line : log.OutLines()) {
    const auto p = line.find("\"event\":\"sent\"");
    const auto k = line.find("\"kind\":");
    if (p != std::string::npos && k != std::string::npos) kinds.insert(line.substr(k + 7, line.find(',', k) - k - 7));
  }
  // Polling (0, 1, 2, 3, 6), the host's writes and reads (4, 5, 7, 9, 15,
  // 16, 17, 18), the samples (72) and the history (240).
  for (const char* kind : {"0", "1", "2", "3", "4", "5", "6", "7", "9", "15", "16", "17", "18", "72", "240"}) {
    EXPECT_TRUE(kinds.contains(kind)) << "no request of kind " << kind;
  }
  EXPECT_NE(log.Out.find("\"event\":\"bad-check\",\"station\":5"), std::string::npos);
  EXPECT_GE(Count(log.Out, "\"event\":\"timeout\",\"station\":5"), 2u);
  EXPECT_NE(log.Out.find("\"event\":\"sleep\",\"station\":5"), std::string::npos);
  EXPECT_NE(log.Out.find("\"event\":\"awake\",\"station\":5"), std::string::npos);
  // Names come as UTF-8 from the Windows-1250 parameter file.
  EXPECT_NE(log.Out.find("\"name\":\"\xC4\x8C" "erpadlo\""), std::string::npos);
  // Decoded values: the analog inputs.
  EXPECT_NE(log.Out.find("AI=0 12.5 "), std::string::npos);
  // The history positions: four QQ variables read, the user's new position written.
  EXPECT_NE(log.Out.find("\"item\":\"00.00.01 BA.01.0D BA.01.0E BA.01.06\""), std::string::npos);
  EXPECT_NE(log.Out.find("\"text\":\"QQ/\xC4\x8Dten\xC3\xAD (4x)\""), std::string::npos);
  EXPECT_NE(log.Out.find("\"item\":\"BA.01.06 = "), std::string::npos) << "the user position's write";
}

TEST_F(ReadersOnDriverFiles, LogSummaryCountsTheStation) {
  const ToolResult summary =
      RunTool(QZ_LOG_TOOL, "--summary --json --station 5 --par " + session->ParFile() + " " + session->LogFile());
  ASSERT_EQ(summary.Exit, 0) << summary.Err;
  const auto lines = summary.OutLines();
  ASSERT_EQ(lines.size(), 1u) << summary.Out;
  const std::string& s = lines[0];
  EXPECT_NE(s.find("\"station\":5"), std::string::npos);
  EXPECT_NE(s.find("\"bad_checks\":1"), std::string::npos) << s;
  EXPECT_NE(s.find("\"timeouts\":4,\"bad_checks\":1,\"sleeps\":2"), std::string::npos)
      << "one bad check byte and three silent requests, two time-outs a sleep: " << s;
  EXPECT_NE(s.find("\"answer_s\":{\"min\":0"), std::string::npos) << s;
  // Without the parameter file the same traffic is found, only unnamed.
  const ToolResult bare = RunTool(QZ_LOG_TOOL, "--summary --json " + session->LogFile());
  EXPECT_NE(bare.Out.find("\"bad_checks\":1"), std::string::npos) << bare.Out;
}

}  // namespace
