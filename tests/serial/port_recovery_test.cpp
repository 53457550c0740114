// A port whose device goes away is closed once, tried again every two
// seconds of the clock and announced when it is back; the host's line reset
// opens it at once. The device side: a pty whose far end goes away is seen
// as lost without the driver doing any I/O.

#include "serial/port_recovery.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "serial/serial_port.h"
#include "support/fake_clock.h"
#include "support/pty_pair.h"

namespace qz {
namespace {

using test::FakeClock;
using test::PtyPair;
using test::WaitUntil;

// A port whose device can be pulled and put back; opens are logged with the
// clock's time.
class FakePort final : public RecoverablePort {
 public:
  explicit FakePort(const FakeClock& clock) : clock_(clock) {}

  int Port() const override { return 4; }
  bool Active() const override { return open_; }
  void SetActive(bool active) override {
    open_ = false;
    lost_ = false;
    if (!active) return;
    openedAtMs.push_back(MsOfDay());
    open_ = present;
  }
  bool DeviceLost() const override { return open_ && lost_; }
  std::int32_t LostErrorCode() const override { return EIO; }
  std::int32_t ErrorCode() const override { return open_ ? 0 : ENOENT; }

  void Pull() {
    lost_ = true;
    present = false;
  }

  bool present = true;
  std::vector<long> openedAtMs;

 private:
  long MsOfDay() const {
    const LocalDateTime t = clock_.Now();
    return ((t.Hour * 60L + t.Minute) * 60L + t.Second) * 1000L + t.Millisecond;
  }

  const FakeClock& clock_;
  bool open_ = true;
  bool lost_ = false;
};

class PortRecoveryTest : public ::testing::Test {
 protected:
  PortRecoveryTest() { clock.SetTimeOfDay(10, 0, 0, 0); }

  // Runs cycles of 10 ms for ms milliseconds.
  void RunCycles(int ms) {
    for (int t = 0; t < ms; t += 10) {
      clock.AdvanceMs(10);
      recovery.Supervise();
    }
  }

  FakeClock clock;
  FakePort port{clock};
  std::vector<std::int32_t> lost;
  int back = 0;
  PortRecovery recovery{port, clock, {[this](std::int32_t code) { lost.push_back(code); }, [this] { ++back; }}};
};

constexpr long kTenOClockMs = 10L * 3600 * 1000;

TEST_F(PortRecoveryTest, LostDeviceIsClosedOnceAndTriedEveryTwoSecondsUntilItIsBack) {
  RunCycles(1000);
  EXPECT_TRUE(lost.empty());
  EXPECT_TRUE(port.openedAtMs.empty());

  port.Pull();  // at 10:00:01.000
  RunCycles(10);
  ASSERT_EQ(lost, std::vector<std::int32_t>{EIO});
  EXPECT_FALSE(port.Active());
  EXPECT_TRUE(recovery.Down());

  RunCycles(4990);  // to 10:00:06.000; the device returns after 10:00:05
  port.present = true;
  RunCycles(2000);
  const std::vector<long> expected = {kTenOClockMs + 3010, kTenOClockMs + 5010, kTenOClockMs + 7010};
  EXPECT_EQ(port.openedAtMs, expected) << "no attempt in between: one every two seconds";
  EXPECT_TRUE(port.Active());
  EXPECT_FALSE(recovery.Down());
  EXPECT_EQ(back, 1);
  EXPECT_EQ(lost.size(), 1u) << "the loss is told once";

  RunCycles(10000);
  EXPECT_EQ(port.openedAtMs.size(), 3u) << "an open port is left alone";
}

TEST_F(PortRecoveryTest, DeviceAwayForAMinuteIsTriedEveryTwoSecondsOnly) {
  port.Pull();
  RunCycles(60000);  // 6000 cycles; noticed in the first, tried at 2.01 s .. 58.01 s
  EXPECT_EQ(port.openedAtMs.size(), 29u);
  EXPECT_EQ(back, 0);
  EXPECT_EQ(lost.size(), 1u);
}

TEST_F(PortRecoveryTest, CadenceGoesOnAcrossMidnight) {
  clock.SetTimeOfDay(23, 59, 59, 0);
  recovery.Supervise();
  port.Pull();
  recovery.Supervise();  // lost at 23:59:59.000
  RunCycles(1990);
  EXPECT_TRUE(port.openedAtMs.empty());
  RunCycles(10);
  ASSERT_EQ(port.openedAtMs.size(), 1u);
  EXPECT_EQ(port.openedAtMs[0], 1000) << "00:00:01.000";
}

TEST_F(PortRecoveryTest, LineResetReopensAtOnce) {
  struct Case {
    const char* name;
    bool noticedFirst;  // the cycle saw the loss before the reset came
    bool present;
    bool openAfter;
  };
  for (const Case& c : {Case{"lost, noticed, device back", true, true, true},
                        Case{"lost, not yet noticed, device back", false, true, true},
                        Case{"lost, device still away", true, false, false}}) {
    SCOPED_TRACE(c.name);
    FakePort p{clock};
    std::vector<std::int32_t> losses;
    int backs = 0;
    PortRecovery r{p, clock, {[&](std::int32_t code) { losses.push_back(code); }, [&] { ++backs; }}};
    p.Pull();
    if (c.noticedFirst) r.Supervise();
    p.present = c.present;
    r.ReopenNow();
    EXPECT_EQ(p.Active(), c.openAfter);
    EXPECT_EQ(p.openedAtMs.size(), 1u) << "at once, without waiting for the period";
    EXPECT_EQ(losses.size(), 1u) << "the loss is told before the return";
    EXPECT_EQ(backs, c.openAfter ? 1 : 0);
    EXPECT_EQ(r.Down(), !c.openAfter);
  }
  // An open, healthy port is not touched.
  recovery.ReopenNow();
  EXPECT_TRUE(port.openedAtMs.empty());
}

TEST_F(PortRecoveryTest, PortOpenedByTheHostMeanwhileCountsAsBack) {
  port.Pull();
  RunCycles(10);
  port.present = true;
  port.SetActive(true);  // the host's modem connection set the port up again
  const std::size_t opens = port.openedAtMs.size();
  RunCycles(10);
  EXPECT_EQ(back, 1);
  EXPECT_FALSE(recovery.Down());
  EXPECT_EQ(port.openedAtMs.size(), opens);
}

// The real port on a pty: the far end going away is noticed by the port
// itself, while the engine does nothing on the line.
TEST(SerialPortLoss, FarEndGoneIsSeenAsLostDeviceUntilReopened) {
  constexpr int kPort = 6;
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  pty.BindToPort(kPort);
  TSerial port;
  port.SetNotifyErrors(eNotifyErr::neNone);
  port.SetPort(kPort);
  port.SetActive(true);
  ASSERT_TRUE(port.Active());
  // Traffic and the modem lines a pty does not have are no loss.
  port.WriteText("x");
  EXPECT_EQ(pty.Receive(1), "x");
  port.SetSignal(0, false);
  port.RxWaiting();
  EXPECT_FALSE(port.DeviceLost());

  pty.Unplug();
  ASSERT_TRUE(WaitUntil([&] { return port.DeviceLost(); })) << "hang-up not noticed";
  EXPECT_EQ(port.LostErrorCode(), EIO);
  EXPECT_TRUE(port.Active());
  port.SetActive(false);
  EXPECT_FALSE(port.DeviceLost());

  PtyPair replugged;
  ASSERT_TRUE(replugged.ok());
  replugged.BindToPort(kPort);
  port.SetActive(true);
  ASSERT_TRUE(port.Active());
  EXPECT_FALSE(port.DeviceLost());
  port.WriteText("back");
  EXPECT_EQ(replugged.Receive(4), "back");
  port.SetActive(false);
  ::unsetenv("QZ_COM6");
}

}  // namespace
}  // namespace qz
