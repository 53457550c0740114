// The driver's port loses its device (the simulator and its pty go away)
// while polling runs: the driver says so once, tries the same port again by
// itself and polls on as soon as a device is back at the same name, with no
// call of the host; while the device stays away it costs next to nothing.

#include <gtest/gtest.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>
#include <string>
#include <thread>

#include "diag/cp1250.h"
#include "line/line_fixture.h"

namespace qz::test {
namespace {

using SteadyClock = std::chrono::steady_clock;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

double ProcessCpuSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

class PortLoss : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(lib.Loaded()) << ::dlerror(); }

  void Start(const LineTiming& timing, const std::string& prefix = {}) {
    ASSERT_EQ(line.Start(prefix + ThreeStationFile(timing), {}, {"--no-pace", "--turnaround-ms", "1"}), "");
  }

  double Msgs(int n) const { return line.Real(MsgCounterChannel(n)); }

  // Waits until every station has had `more` further answers.
  bool EveryStationPolled(double more, int timeoutMs) {
    double start[4] = {};
    for (int n = 1; n <= 3; ++n) start[n] = Msgs(n);
    return WaitUntil(
        [&] {
          for (int n = 1; n <= 3; ++n)
            if (Msgs(n) < start[n] + more) return false;
          return true;
        },
        timeoutMs);
  }

  // Event lines seen so far; the list shows only the last twelve.
  const std::multiset<std::string>& SeenEvents() {
    const std::vector<std::string> now = line.Events();
    // Lines are appended at the end: take those after the last one known.
    std::size_t from = 0;
    if (!lastSeen_.empty()) {
      const auto at = std::find(now.rbegin(), now.rend(), lastSeen_);
      from = at == now.rend() ? 0 : static_cast<std::size_t>(now.rend() - at);
    }
    for (std::size_t i = from; i < now.size(); ++i) seen_.insert(now[i]);
    if (!now.empty()) lastSeen_ = now.back();
    return seen_;
  }
  bool Saw(const std::string& event) { return SeenEvents().count(event) > 0; }

  std::string PortTitle() const { return "COM1 (" + dir.file("com1") + ")"; }
  std::string LostEvent() const { return "Port " + PortTitle() + " odpojen: Input/output error (5)"; }
  std::string BackEvent() const { return Utf8ToCp1250("Port " + PortTitle() + " znovu otevřen"); }

  ::qz::testing::TempDir dir;
  ::qz::testing::ScopedEnv root{"QZ_ROOT", dir.path().string()};
  ::qz::testing::ScopedEnv hdb{"QZ_HDB_DIR", dir.path().string()};
  DriverLibrary lib;
  DriverOnLine line{dir, lib};
  std::multiset<std::string> seen_;
  std::string lastSeen_;
};

TEST_F(PortLoss, PollingResumesByItselfWhenTheDeviceIsBack) {
  Start({}, "$DIAGS\r\n");
  ASSERT_TRUE(EveryStationPolled(3, 10000)) << "the line does not run";

  line.sim->Stop();  // the pty goes with the simulator
  const auto gone = SteadyClock::now();
  ASSERT_TRUE(WaitUntil([&] { return Saw(LostEvent()); }, 3000)) << "loss not reported";

  std::this_thread::sleep_until(gone + std::chrono::seconds(5));
  ASSERT_EQ(line.RestartSimulator(), "");
  const auto back = SteadyClock::now();
  ASSERT_TRUE(EveryStationPolled(3, 10000)) << "polling did not resume";
  std::printf("polling resumed %.1f s after the device came back\n",
              std::chrono::duration<double>(SteadyClock::now() - back).count());

  EXPECT_TRUE(Saw(BackEvent()));
  EXPECT_EQ(SeenEvents().count(LostEvent()), 1u) << "the loss is told once";
  EXPECT_EQ(SeenEvents().count(BackEvent()), 1u);
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(line.Real(SleepTimeChannel(n)), 0) << "station " << n << " asleep";
  EXPECT_EQ(line.Real(kFullSleepChannel), 0);

  line.StopDriver();
  const std::string log = ::qz::testing::ReadFile(dir.file("QZDRK485_LINE.LOG"));
  EXPECT_NE(log.find("AddToMemo : " + LostEvent()), std::string::npos);
  EXPECT_NE(log.find("AddToMemo : " + BackEvent()), std::string::npos);
}

TEST_F(PortLoss, DeviceAwayForAMinuteCostsUnderOnePercentOfACore) {
  LineTiming timing;
  timing.IdleTime = 10;  // the driver's default cycle
  Start(timing);
  ASSERT_TRUE(EveryStationPolled(3, 10000)) << "the line does not run";

  line.sim->Stop();
  ASSERT_TRUE(WaitUntil([&] { return Saw(LostEvent()); }, 3000)) << "loss not reported";
  const double cpuBefore = ProcessCpuSeconds();
  const auto wallBefore = SteadyClock::now();
  std::this_thread::sleep_for(std::chrono::seconds(60));
  const double cpu = ProcessCpuSeconds() - cpuBefore;
  const double wall = std::chrono::duration<double>(SteadyClock::now() - wallBefore).count();
  const double share = cpu / wall;
  std::printf("device away %.1f s: driver used %.3f s of CPU, %.3f %% of a core\n", wall, cpu, share * 100);
  RecordProperty("cpu_percent_device_away", std::to_string(share * 100));
  if (!kSanitized) {
    EXPECT_LT(share, 0.01);
  }
  EXPECT_EQ(SeenEvents().count(LostEvent()), 1u) << "the loss is told once, not at every attempt";

  ASSERT_EQ(line.RestartSimulator(), "");
  EXPECT_TRUE(EveryStationPolled(3, 10000)) << "polling did not resume";
  EXPECT_TRUE(Saw(BackEvent()));
}

}  // namespace
}  // namespace qz::test
