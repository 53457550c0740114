// TSerial on pseudo-terminal pairs: settings on the device, traffic both
// ways, purges, reopening, closing and a device that goes away.

#include <gtest/gtest.h>
#include <termios.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "serial/port_device.h"
#include "serial/serial_port.h"
#include "serial/termios_settings_posix.h"
#include "support/pty_pair.h"

namespace qz {
namespace {

using test::PtyPair;
using test::WaitUntil;

constexpr int kPortNumber = 5;

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    pty_.BindToPort(kPortNumber);
    port_.SetPort(kPortNumber);
  }
  void TearDown() override { ::unsetenv("QZ_COM5"); }

  void OpenPort() {
    port_.SetActive(true);
    ASSERT_TRUE(port_.Active()) << "error " << port_.ErrorCode();
  }

  termios DeviceSettings() const {
    termios t{};
    EXPECT_EQ(::tcgetattr(pty_.SlaveFd(), &t), 0);
    return t;
  }

  // Handlers count into the fixture, which outlives the port's last event.
  void CountErrors() {
    port_.SetNotifyErrors(eNotifyErr::neEvent);
    port_.SetOnError([this](TSerial&) { ++errors_; });
  }
  void CountRxData() {
    port_.SetOnRxData([this](TSerial&) { ++rxEvents_; });
  }

  std::atomic<int> errors_{0};
  std::atomic<int> rxEvents_{0};
  PtyPair pty_;
  TSerial port_;
};

TEST(SerialPortDefaults, MatchTheComponentsDocumentedValues) {
  TSerial port;
  EXPECT_EQ(port.Port(), 1);
  EXPECT_EQ(port.Baudrate(), 9600);
  EXPECT_EQ(port.Parity(), eParity::paNone);
  EXPECT_EQ(port.DataBits(), eDataBits::d7bit);
  EXPECT_EQ(port.StopBits(), eStopBits::st1bit);
  EXPECT_EQ(port.RxQueueSize(), 1024);
  EXPECT_EQ(port.TxQueueSize(), 1024);
  EXPECT_EQ(port.FlowMode(), eFlowControl::fcNone);
  EXPECT_TRUE(port.CheckParity());
  EXPECT_EQ(port.RxEventMode(), eOpModes::rxNormal);
  EXPECT_EQ(port.MessageStartChar(), 2);
  EXPECT_EQ(port.MessageEndChar(), 3);
  EXPECT_EQ(port.MessageAppendCount(), 0);
  EXPECT_EQ(port.NotifyErrors(), eNotifyErr::neDialog);
  EXPECT_FALSE(port.Active());
  EXPECT_EQ(port.RxWaiting(), 0);
  EXPECT_EQ(port.TxWaiting(), 0);
}

TEST(SerialPortNames, ComNumberMapsToEnvironmentOrTtyS) {
  ::setenv("QZ_COM12", "/dev/ttyUSB0", 1);
  EXPECT_EQ(DeviceName(12), "/dev/ttyUSB0");
  ::unsetenv("QZ_COM12");
  EXPECT_EQ(DeviceName(12), "/dev/ttyS11");
  EXPECT_EQ(DeviceName(1), "/dev/ttyS0");
}

TEST(SerialPortRates, OnlyListedRatesAreTaken) {
  TSerial port;
  for (std::int32_t rate : {7200, 0, -9600, 1000, 230400}) {
    port.SetBaudrate(rate);
    EXPECT_EQ(port.Baudrate(), 9600) << rate;
  }
  for (std::int32_t rate : {110, 300, 600, 1200, 2400, 4800, 14400, 19200, 38400, 56000, 57600, 115200,
                            128000, 256000, 9600}) {
    port.SetBaudrate(rate);
    EXPECT_EQ(port.Baudrate(), rate);
  }
}

TEST(SerialPortWriteLimit, GrowsWithLengthAboveTheFloor) {
  struct Case {
    std::size_t Length;
    std::int32_t Baud;
    std::int32_t LimitMs;
  };
  for (const Case& c : std::vector<Case>{{10, 1200, 500},
                                         {100, 1200, 1600},
                                         {1000, 9600, 2000},
                                         {255, 38400, 500},
                                         {255, 110, 255 * 181},
                                         {0, 9600, 500}}) {
    EXPECT_EQ(TSerial::WriteTimeLimitMs(c.Length, c.Baud), c.LimitMs) << c.Length << " @ " << c.Baud;
  }
}

struct SettingsCase {
  const char* Name;
  std::int32_t Baud;
  eDataBits Data;
  eParity Parity;
  eStopBits Stop;
  eFlowControl Flow;
  speed_t Speed;
  tcflag_t Size;
  tcflag_t ParityFlags;  // of PARENB | PARODD | CMSPAR
  bool TwoStop;
};

class SerialPortSettingsTest : public SerialPortTest, public ::testing::WithParamInterface<SettingsCase> {
 protected:
  void ExpectSettings(const termios& t, bool sizeAndParityKept) const {
    const SettingsCase& c = GetParam();
    EXPECT_EQ(cfgetospeed(&t), c.Speed);
    EXPECT_EQ(cfgetispeed(&t), c.Speed);
    if (sizeAndParityKept) {
      EXPECT_EQ(t.c_cflag & CSIZE, c.Size);
      EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), c.ParityFlags);
    } else {
      EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), c.ParityFlags & (PARODD | CMSPAR));
    }
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.TwoStop);
    EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, c.Flow == eFlowControl::fcRTS_CTS);
    const bool xonXoff = c.Flow == eFlowControl::fcXON_XOF;
    EXPECT_EQ((t.c_iflag & IXON) != 0, xonXoff);
    EXPECT_EQ((t.c_iflag & IXOFF) != 0, xonXoff);
    if (xonXoff) {
      EXPECT_EQ(t.c_cc[VSTART], 17);
      EXPECT_EQ(t.c_cc[VSTOP], 19);
    }
    EXPECT_EQ((t.c_iflag & INPCK) != 0, c.Parity != eParity::paNone);
    // Raw bytes: no echo, no line editing, no translation.
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | ISTRIP), 0u);
  }

  LineSettings Settings() const {
    const SettingsCase& c = GetParam();
    LineSettings s;
    s.Baudrate = c.Baud;
    s.DataBits = c.Data;
    s.Parity = c.Parity;
    s.StopBits = c.Stop;
    s.FlowMode = c.Flow;
    return s;
  }
};

TEST_P(SerialPortSettingsTest, ComposedTermiosCarriesEverySetting) {
  termios t{};
  t.c_cflag = CS5 | PARENB | PARODD | CSTOPB | CRTSCTS;
  t.c_lflag = ICANON | ECHO | ISIG;
  t.c_oflag = OPOST;
  t.c_iflag = ICRNL | IXON | IXOFF;
  EXPECT_EQ(ComposeTermios(Settings(), t), 0);
  ExpectSettings(t, true);
}

TEST_P(SerialPortSettingsTest, DeviceCarriesTheLineSettings) {
  const SettingsCase& c = GetParam();
  port_.SetBaudrate(c.Baud);
  port_.SetDataBits(c.Data);
  port_.SetParity(c.Parity);
  port_.SetStopBits(c.Stop);
  port_.SetFlowMode(c.Flow);
  OpenPort();
  // A pty always reports 8 data bits without parity; a real port keeps them.
  ExpectSettings(DeviceSettings(), false);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SerialPortSettingsTest,
    ::testing::Values(
        SettingsCase{"Default8N1", 9600, eDataBits::d8bit, eParity::paNone, eStopBits::st1bit,
                     eFlowControl::fcNone, B9600, CS8, 0, false},
        SettingsCase{"Even7E2Rts", 19200, eDataBits::d7bit, eParity::paEven, eStopBits::st2bit,
                     eFlowControl::fcRTS_CTS, B19200, CS7, PARENB, true},
        SettingsCase{"Odd8O1Xon", 2400, eDataBits::d8bit, eParity::PaOdd, eStopBits::st1bit,
                     eFlowControl::fcXON_XOF, B2400, CS8, PARENB | PARODD, false},
        SettingsCase{"Mark", 1200, eDataBits::d7bit, eParity::paMark, eStopBits::st1bit, eFlowControl::fcNone,
                     B1200, CS7, PARENB | PARODD | CMSPAR, false},
        SettingsCase{"Space", 115200, eDataBits::d8bit, eParity::paSpace, eStopBits::st2bit,
                     eFlowControl::fcNone, B115200, CS8, PARENB | CMSPAR, true}),
    [](const auto& p) { return std::string(p.param.Name); });

TEST_F(SerialPortTest, BytesPassBothWays) {
  OpenPort();
  const std::string frame("\x02" "AB\x00\xFF\x0D\x0A" "C\x03", 10);
  port_.WriteText(frame);
  EXPECT_EQ(pty_.Receive(frame.size()), frame);

  pty_.Send(frame);
  ASSERT_TRUE(WaitUntil([&] { return port_.RxWaiting() == static_cast<std::int32_t>(frame.size()); }));
  std::string read;
  std::uint8_t byte = 0;
  while (port_.ReadChar(byte) == 1) read.push_back(static_cast<char>(byte));
  EXPECT_EQ(read, frame);
  EXPECT_EQ(port_.RxWaiting(), 0);
}

TEST_F(SerialPortTest, PurgesKeepBufferedBytes) {
  OpenPort();
  pty_.Send("answer");
  ASSERT_TRUE(WaitUntil([&] { return port_.RxWaiting() == 6; }));
  port_.WriteText("request");
  port_.PurgeRx();
  port_.PurgeTx();
  EXPECT_EQ(port_.RxWaiting(), 6);
  EXPECT_EQ(pty_.Receive(7), "request");
  std::string read;
  std::uint8_t byte = 0;
  while (read.size() < 6 && port_.ReadChar(byte) == 1) read.push_back(static_cast<char>(byte));
  EXPECT_EQ(read, "answer");
}

TEST_F(SerialPortTest, ReadWaitsBoundedWhenNothingArrives) {
  OpenPort();
  CountErrors();
  std::uint8_t byte = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port_.ReadChar(byte), 0);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(90));
  EXPECT_LT(took, std::chrono::milliseconds(1000));
  EXPECT_EQ(errors_, 0) << "a read that times out is no error";
}

TEST_F(SerialPortTest, ChangedSettingReopensAnOpenPortOnly) {
  OpenPort();
  PtyPair other;
  ASSERT_TRUE(other.ok());
  other.BindToPort(kPortNumber);

  // Unchanged or refused values leave the port as it is.
  port_.SetParity(eParity::paNone);
  port_.SetBaudrate(7200);
  port_.WriteText("a");
  EXPECT_EQ(pty_.Receive(1), "a");

  // A changed setting closes and reopens: the port now opens the other device.
  port_.SetStopBits(eStopBits::st2bit);
  ASSERT_TRUE(port_.Active());
  port_.WriteText("b");
  EXPECT_EQ(other.Receive(1), "b");
  termios t{};
  ASSERT_EQ(::tcgetattr(other.SlaveFd(), &t), 0);
  EXPECT_NE(t.c_cflag & CSTOPB, 0u);

  // A queue size reopens even when unchanged.
  pty_.BindToPort(kPortNumber);
  port_.SetRxQueueSize(port_.RxQueueSize());
  port_.WriteText("c");
  EXPECT_EQ(pty_.Receive(1), "c");

  // A closed port stays closed.
  port_.SetActive(false);
  port_.SetParity(eParity::PaOdd);
  port_.SetTxQueueSize(2048);
  EXPECT_FALSE(port_.Active());
}

TEST_F(SerialPortTest, CloseReleasesTheEventThreadAtOnce) {
  CountRxData();
  for (int round = 0; round < 3; ++round) {
    OpenPort();
    pty_.Send("x");
    ASSERT_TRUE(WaitUntil([&] { return rxEvents_ > round; }));
    std::uint8_t byte = 0;
    port_.ReadChar(byte);
    const auto start = std::chrono::steady_clock::now();
    port_.SetActive(false);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_FALSE(port_.Active());
  }
}

TEST_F(SerialPortTest, ReceivedBytesAreAnnouncedOnceNotInALoop) {
  CountRxData();
  OpenPort();
  pty_.Send("abc");
  ASSERT_TRUE(WaitUntil([&] { return rxEvents_ > 0; }));
  // Nobody reads: the bytes stay and are not announced again and again.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_LE(rxEvents_.load(), 3);
  pty_.Send("d");
  const int before = rxEvents_;
  EXPECT_TRUE(WaitUntil([&] { return rxEvents_ > before; }));
}

TEST_F(SerialPortTest, MessageModeHandsOverWholeMessages) {
  std::vector<std::string> messages;
  std::mutex lock;
  port_.SetRxEventMode(eOpModes::rxMessage);
  port_.SetMessageAppendCount(1);
  port_.SetOnMessage([&](TSerial&, const std::string& m) {
    std::lock_guard guard(lock);
    messages.push_back(m);
  });
  OpenPort();
  pty_.Send("X\x02" "A\x03" "K\x03");
  ASSERT_TRUE(WaitUntil([&] {
    std::lock_guard guard(lock);
    return !messages.empty();
  }));
  port_.SetActive(false);
  std::lock_guard guard(lock);
  EXPECT_EQ(messages, std::vector<std::string>{"\x02" "A\x03" "K"});
}

TEST(SerialPortMissing, OpenFailsWithErrorCodeAndStaysClosed) {
  ::setenv("QZ_COM9", "/nonexistent/ttyQZ", 1);
  int errors = 0;
  TSerial port;
  port.SetPort(9);
  port.SetOnError([&](TSerial&) { ++errors; });
  port.SetNotifyErrors(eNotifyErr::neNone);
  port.SetActive(true);
  EXPECT_FALSE(port.Active());
  EXPECT_EQ(port.ErrorCode(), ENOENT);
  EXPECT_EQ(errors, 0);

  port.SetNotifyErrors(eNotifyErr::neEvent);
  port.SetActive(true);
  EXPECT_FALSE(port.Active());
  EXPECT_EQ(errors, 1);
  ::unsetenv("QZ_COM9");
}

TEST(SerialPortMissing, SecondUserOfAPortIsRefused) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  pty.BindToPort(kPortNumber);
  TSerial first;
  TSerial second;
  first.SetPort(kPortNumber);
  second.SetPort(kPortNumber);
  first.SetActive(true);
  second.SetActive(true);
  EXPECT_TRUE(first.Active());
  EXPECT_FALSE(second.Active());
  EXPECT_NE(second.ErrorCode(), 0);
  ::unsetenv("QZ_COM5");
}

double ProcessCpuMs() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

TEST_F(SerialPortTest, UnpluggedDeviceFailsQuietlyAndCanBeOpenedAgain) {
  CountErrors();
  CountRxData();
  OpenPort();
  errors_ = 0;
  pty_.Unplug();

  port_.WriteText("lost");
  std::uint8_t byte = 0;
  EXPECT_EQ(port_.ReadChar(byte), 0);
  EXPECT_GT(errors_.load(), 0);
  EXPECT_NE(port_.ErrorCode(), 0);
  port_.RxWaiting();
  port_.PurgeRx();

  // The event thread must not spin on the dead device.
  const double cpuBefore = ProcessCpuMs();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_LT(ProcessCpuMs() - cpuBefore, 100.0);
  const int errorsAfterIdle = errors_;
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(errors_.load(), errorsAfterIdle) << "failures are reported once, not in a loop";

  // The device comes back (under a new name, as a pty does).
  PtyPair replugged;
  ASSERT_TRUE(replugged.ok());
  replugged.BindToPort(kPortNumber);
  port_.SetActive(true);
  ASSERT_TRUE(port_.Active());
  port_.WriteText("back");
  EXPECT_EQ(replugged.Receive(4), "back");
  replugged.Send("ok");
  ASSERT_TRUE(WaitUntil([&] { return port_.RxWaiting() == 2; }));
}

TEST_F(SerialPortTest, DestroyingAnOpenPortEndsItsThread) {
  auto port = std::make_unique<TSerial>();
  port->SetPort(kPortNumber);
  port->SetOnRxData([](TSerial&) {});
  port->SetActive(true);
  ASSERT_TRUE(port->Active());
  const auto start = std::chrono::steady_clock::now();
  port.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  // The device is free again.
  port_.SetActive(true);
  EXPECT_TRUE(port_.Active());
}

// The engine's wait on the line ends on what it waits for, never spins on
// bytes it does not wait for, and ends at once on a wake, also on a
// closed port. A wait that runs into its limit of 10 s has missed its event.
struct LineWaitCase {
  const char* name;
  bool open;
  const char* before;  // bytes that wait already
  const char* during;  // bytes the far end sends while the port waits
  bool wakeBefore;
  bool wakeDuring;
  LineWait wait;
  bool endsEarly;  // well before the wait's limit
};

class LineWaitTest : public SerialPortTest, public ::testing::WithParamInterface<LineWaitCase> {};

TEST_P(LineWaitTest, EndsOnWhatItWaitsFor) {
  const LineWaitCase& c = GetParam();
  if (c.open) OpenPort();
  if (*c.before) {
    pty_.Send(c.before);
    ASSERT_TRUE(WaitUntil([&] { return port_.RxWaiting() == static_cast<std::int32_t>(std::string(c.before).size()); }));
  }
  if (c.wakeBefore) port_.WakeLine();
  std::thread far([&] {
    if (*c.during) pty_.Send(c.during);
    if (c.wakeDuring) port_.WakeLine();
  });
  const auto start = std::chrono::steady_clock::now();
  port_.AwaitLine(c.wait);
  const auto took = std::chrono::steady_clock::now() - start;
  far.join();
  if (c.endsEarly) {
    EXPECT_LT(took, std::chrono::seconds(5));
  } else {
    EXPECT_GE(took, std::chrono::milliseconds(c.wait.TimeoutMs)) << "returned before its time";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Waits, LineWaitTest,
    ::testing::Values(LineWaitCase{"BytesArrive", true, "", "x", false, false, {10000, 1, false}, true},
                      LineWaitCase{"BytesAlreadyThere", true, "xy", "", false, false, {10000, 2, false}, true},
                      // One of three bytes is there: the wait lasts about
                      // two characters' time.
                      LineWaitCase{"RestOfAFrame", true, "x", "", false, false, {10000, 3, false}, true},
                      LineWaitCase{"BytesNotAwaited", true, "x", "", false, false, {60, 0, false}, false},
                      LineWaitCase{"Wake", true, "", "", false, true, {10000, 1, false}, true},
                      LineWaitCase{"WakeBeforeTheWait", true, "", "", true, false, {10000, 1, false}, true},
                      LineWaitCase{"WakeOnAClosedPort", false, "", "", false, true, {10000, 1, false}, true},
                      LineWaitCase{"OutputDrained", true, "", "", false, false, {10000, 0, true}, true}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace qz
