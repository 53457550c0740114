// The port set-up from the [COM] settings and the line operations.

#include "serial/port_setup.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "diag/texts.h"
#include "diag/window_model.h"
#include "engine/line_control.h"
#include "host/driver_state.h"
#include "serial/clock.h"
#include "serial/serial_port.h"
#include "support/fake_clock.h"
#include "support/memory_line.h"
#include "support/pty_pair.h"

namespace qz {
namespace {

using test::FakeClock;
using test::MemoryLine;
using test::PtyPair;
using test::WaitUntil;

TEST(ComMapping, DataBits) {
  for (std::uint16_t code : std::initializer_list<std::uint16_t>{7, 6, 0, 5, 9}) EXPECT_EQ(DataBitsFromCode(code), eDataBits::d7bit) << code;
  EXPECT_EQ(DataBitsFromCode(8), eDataBits::d8bit);
}

TEST(ComMapping, StopBits) {
  EXPECT_EQ(StopBitsFromCode(1), eStopBits::st1bit);
  for (std::uint16_t code : std::initializer_list<std::uint16_t>{0, 2, 3}) EXPECT_EQ(StopBitsFromCode(code), eStopBits::st2bit) << code;
}

TEST(ComMapping, ParityCodes) {
  struct Case {
    std::uint16_t Code;
    eParity Parity;
  };
  for (const Case& c : std::vector<Case>{{0, eParity::paNone},
                                         {1, eParity::paEven},
                                         {2, eParity::PaOdd},
                                         {3, eParity::paMark},
                                         {4, eParity::paSpace}}) {
    EXPECT_EQ(ParityFromCode(c.Code, eParity::paMark), c.Parity) << c.Code;
  }
  for (std::uint16_t code : std::initializer_list<std::uint16_t>{5, 255, 65535}) EXPECT_EQ(ParityFromCode(code, eParity::PaOdd), eParity::PaOdd);
}

TEST(ComMapping, OptionBitsHighestFlowBitWins) {
  struct Case {
    std::uint16_t Options;
    eFlowControl Flow;
  };
  for (const Case& c : std::vector<Case>{{0, eFlowControl::fcNone},
                                         {0xFF1F, eFlowControl::fcNone},
                                         {1u << 5, eFlowControl::fcRTS_CTS},
                                         {1u << 6, eFlowControl::fcDTR_DSR},
                                         {1u << 7, eFlowControl::fcXON_XOF},
                                         {(1u << 5) | (1u << 7), eFlowControl::fcXON_XOF},
                                         {(1u << 5) | (1u << 6), eFlowControl::fcDTR_DSR},
                                         {0xFFFF, eFlowControl::fcXON_XOF}}) {
    EXPECT_EQ(FlowModeFromOptions(c.Options), c.Flow) << std::hex << c.Options;
  }
}

class ConfigurePortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    InitDriverState(state_);
    state_.Config.PortNumber = 2;
    state_.Config.Baud = 2400;
    state_.Config.DataBits = 8;
    state_.Config.Parity = 1;
    state_.Config.StopBits = 1;
    state_.Config.ComOptions = 1u << 5;
    state_.Config.BufferSize = 4096;
    pty_.BindToPort(2);
  }
  void TearDown() override { ::unsetenv("QZ_COM2"); }

  // The lines added since the fixture started.
  std::vector<std::string> Events() const {
    const std::vector<std::string> all = window_.Snapshot().EventList;
    return {all.begin() + static_cast<std::ptrdiff_t>(initialLines_), all.end()};
  }

  PtyPair pty_;
  DriverState state_;
  WindowModel window_;
  TSerial port_;
  std::size_t initialLines_ = window_.Snapshot().EventList.size();
};

TEST_F(ConfigurePortTest, OpensWithTheComSettingsAndReportsThePort) {
  state_.Engine.ThreadPhase = Phase::RtsLag;
  state_.Engine.LineSilence = 12.5;
  state_.Engine.PrefixBuffer = "RK";
  state_.Engine.AnswerBuffer = "partial";
  pty_.Send("kept");  // bytes that arrived before the set-up stay readable

  OpenLine(&window_, port_, state_.Config, state_.Engine, state_.Log);

  ASSERT_TRUE(port_.Active());
  EXPECT_EQ(Events(), std::vector<std::string>{"Inicializace portu: COM2 2400Bd"});
  EXPECT_EQ(port_.Port(), 2);
  EXPECT_EQ(port_.Baudrate(), 2400);
  EXPECT_EQ(port_.DataBits(), eDataBits::d8bit);
  EXPECT_EQ(port_.Parity(), eParity::paEven);
  EXPECT_EQ(port_.StopBits(), eStopBits::st1bit);
  EXPECT_EQ(port_.FlowMode(), eFlowControl::fcRTS_CTS);
  EXPECT_EQ(port_.RxQueueSize(), 4096);
  EXPECT_EQ(port_.TxQueueSize(), 4096);
  EXPECT_TRUE(port_.CheckParity());
  EXPECT_EQ(port_.NotifyErrors(), eNotifyErr::neNone);

  termios t{};
  ASSERT_EQ(::tcgetattr(pty_.SlaveFd(), &t), 0);
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B2400));
  EXPECT_EQ(t.c_cflag & PARODD, 0u);  // a pty shows no more of the parity
  EXPECT_NE(t.c_iflag & INPCK, 0u);
  EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
  EXPECT_NE(t.c_cflag & CRTSCTS, 0u);

  EXPECT_EQ(state_.Engine.ThreadPhase, Phase::Idle);
  EXPECT_EQ(state_.Engine.LineSilence.value(), 0.0);
  EXPECT_TRUE(state_.Engine.PrefixBuffer.empty());
  EXPECT_TRUE(state_.Engine.AnswerBuffer.empty());
  EXPECT_TRUE(WaitUntil([&] { return port_.RxWaiting() == 4; }));
}

TEST_F(ConfigurePortTest, RateOutsideTheListKeepsThePreviousRate) {
  state_.Config.Baud = 1000;
  OpenLine(&window_, port_, state_.Config, state_.Engine, state_.Log);
  EXPECT_TRUE(port_.Active());
  EXPECT_EQ(Events(), std::vector<std::string>{"Inicializace portu: COM2 9600Bd"});
}

TEST_F(ConfigurePortTest, OnlyTheLowByteOfThePortNumberCounts) {
  state_.Config.PortNumber = 0x0102;
  OpenLine(&window_, port_, state_.Config, state_.Engine, state_.Log);
  EXPECT_TRUE(port_.Active());
  EXPECT_EQ(port_.Port(), 2);
}

TEST_F(ConfigurePortTest, MissingDeviceIsReportedAndLeavesThePortClosed) {
  ::setenv("QZ_COM2", "/nonexistent/ttyQZ", 1);
  state_.Engine.ThreadPhase = Phase::Silence;
  OpenLine(&window_, port_, state_.Config, state_.Engine, state_.Log);
  EXPECT_FALSE(port_.Active());
  EXPECT_NE(port_.ErrorCode(), 0);
  // The existing two lines, then the device and the system's reason.
  EXPECT_EQ(Events(), (std::vector<std::string>{
                          "Inicializace portu: COM2 2400Bd", std::string(text::kEvtPortOpenError),
                          "Port COM2 (/nonexistent/ttyQZ) nelze otev\xF8\xEDt: No such file or directory (2)"}));
  EXPECT_EQ(Events()[1], "Chyba p\xF8i otev\xF8" "en\xED portu !");
  EXPECT_EQ(state_.Engine.ThreadPhase, Phase::Idle);
}

TEST_F(ConfigurePortTest, ReconfiguringAnOpenPortReopensItOnce) {
  OpenLine(&window_, port_, state_.Config, state_.Engine, state_.Log);
  ASSERT_TRUE(port_.Active());
  state_.Config.Baud = 19200;
  OpenLine(&window_, port_, state_.Config, state_.Engine, state_.Log);
  ASSERT_TRUE(port_.Active());
  termios t{};
  ASSERT_EQ(::tcgetattr(pty_.SlaveFd(), &t), 0);
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
  port_.WriteText("ok");
  EXPECT_EQ(pty_.Receive(2), "ok");
}

TEST_F(ConfigurePortTest, ReadBytesReturnsWhatIsBuffered) {
  OpenLine(&window_, port_, state_.Config, state_.Engine, state_.Log);
  ASSERT_TRUE(port_.Active());
  pty_.Send("abc");
  ASSERT_TRUE(WaitUntil([&] { return RxCount(port_) == 3; }));
  EXPECT_EQ(ReadBytes(port_, 5).str(), "abc");
  EXPECT_EQ(RxCount(port_), 0);
}

TEST_F(ConfigurePortTest, AnswerArrivingWhileTheRequestLeavesSurvivesThePurge) {
  OpenLine(&window_, port_, state_.Config, state_.Engine, state_.Log);
  ASSERT_TRUE(port_.Active());
  SendText(port_, "request");
  pty_.Send("answer");  // a quick station answers at once
  EXPECT_EQ(pty_.Receive(7), "request");
  ASSERT_TRUE(WaitUntil([&] { return RxCount(port_) == 6; }));
  ResetLine(port_, state_.Engine);
  EXPECT_EQ(ReadBytes(port_, 6).str(), "answer");
}

TEST(LineOperations, SendTextWritesTheBytesInOrder) {
  DriverState state;
  MemoryLine line;
  state.Engine.TxMessage = "frame";
  SendText(line, "\x0D");
  SendText(line, state.Engine.TxMessage.view());
  EXPECT_EQ(line.Written(), "\x0D" "frame");
}

TEST(LineOperations, TxDoneWaitsForTheOutputOnlyWhileTransmitting) {
  MemoryLine line;
  line.SetTxWaiting(5);
  EXPECT_TRUE(TxDone(line, false));
  EXPECT_FALSE(TxDone(line, true));
  line.SetTxWaiting(0);
  EXPECT_TRUE(TxDone(line, true));
}

TEST(LineOperations, ReadBytesSkipsEmptyReads) {
  MemoryLine line;
  line.Receive("xyz");
  EXPECT_EQ(ReadBytes(line, 5).str(), "xyz");
  EXPECT_EQ(line.ReadCalls(), 5);
  EXPECT_EQ(ReadBytes(line, 0).str(), "");
}

TEST(LineOperations, ResetLinePurgesAndEmptiesTheReceiveBuffers) {
  DriverState state;
  MemoryLine line;
  line.Receive("late");
  state.Engine.PrefixBuffer = "RK";
  state.Engine.AnswerBuffer = "half";
  state.Engine.ThreadPhase = Phase::AwaitAnswer;
  ResetLine(line, state.Engine);
  EXPECT_EQ(line.PurgeRxCount(), 1);
  EXPECT_EQ(line.PurgeTxCount(), 1);
  EXPECT_TRUE(state.Engine.PrefixBuffer.empty());
  EXPECT_TRUE(state.Engine.AnswerBuffer.empty());
  EXPECT_EQ(state.Engine.ThreadPhase, Phase::AwaitAnswer);
  EXPECT_EQ(line.RxWaiting(), 4);
}

TEST(TimeOfDay, HundredthsOfASecondSinceMidnight) {
  struct Case {
    int H, M, S, Ms;
    std::int32_t Cs;
  };
  FakeClock clock;
  for (const Case& c : std::vector<Case>{{13, 45, 7, 893, 4950789},
                                         {0, 0, 0, 0, 0},
                                         {0, 0, 0, 9, 0},
                                         {23, 59, 59, 999, 8639999},
                                         {12, 0, 0, 10, 4320001}}) {
    clock.SetTimeOfDay(c.H, c.M, c.S, c.Ms);
    EXPECT_EQ(TimeOfDayCs(clock), c.Cs) << c.H << ":" << c.M << ":" << c.S << "." << c.Ms;
  }
}

TEST(TimeOfDay, RestartsAtMidnight) {
  FakeClock clock({2026, 12, 31, 23, 59, 59, 990});
  EXPECT_EQ(TimeOfDayCs(clock), 8639999);
  clock.AdvanceMs(20);
  EXPECT_EQ(TimeOfDayCs(clock), 1);
  EXPECT_EQ(clock.Now().Year, 2027);
  EXPECT_EQ(clock.Now().Day, 1);
}

TEST(TimeOfDay, SystemClockIsWithinTheDay) {
  const std::int32_t cs = TimeOfDayCs(DefaultClock());
  EXPECT_GE(cs, 0);
  EXPECT_LE(cs, 8639999);
}

}  // namespace
}  // namespace qz
