// Init opens the line named by the parameter file, as the host starts a
// driver: the port comes up with the [COM] settings or Init fails with the
// port message while stations and log stay set up.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <termios.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string>

#include "config/par_fixture.h"
#include "host/driver_handle.h"
#include "host/lifecycle.h"
#include "host/output_requests.h"
#include "qzdrk485.h"
#include "support/driver_library.h"
#include "support/line_speed.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace qz::test {
namespace {

bool Contains(const std::vector<std::string>& lines, std::string_view line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class StartLineTest : public ParFileFixture {
 protected:
  void SetUp() override {
    ParFileFixture::SetUp();
    ASSERT_TRUE(pty_.ok());
    pty_.BindToPort(1);
  }
  void TearDown() override {
    ::unsetenv("QZ_COM1");
    if (h_) {
      DoneInstance(*h_);
      DisposeInstance(h_);
    }
    ParFileFixture::TearDown();
  }

  bool Start(const std::string& file, std::string& failure) {
    h_ = MakeDriverInstance();
    EXPECT_FALSE(h_->Port->Active());
    const std::string path = WriteFile(file);
    InitArgs args;
    args.ParFileName = path;
    args.HostName = "PUMPS";
    return InitInstance(*h_, args, failure);
  }

  std::vector<std::string> EventList() const { return h_->Window->Snapshot().EventList; }

  PtyPair pty_;
  DriverHandle* h_ = nullptr;
};

TEST_F(StartLineTest, OpensThePortWithTheComSettings) {
  std::string failure;
  const std::string file = With(With(ValidFile(), "BAUD 9600", "BAUD 19200"), "BITS 8", "BITS 7");
  ASSERT_TRUE(Start(file, failure)) << failure;
  EXPECT_TRUE(failure.empty());
  ASSERT_TRUE(h_->Port->Active());
  EXPECT_TRUE(Contains(EventList(), "Inicializace portu: COM1 19200Bd"));
  EXPECT_FALSE(Contains(EventList(), Cp("Chyba při otevření portu !")));
  EXPECT_EQ(h_->Port->DataBits(), eDataBits::d7bit);
  termios t{};
  ASSERT_EQ(::tcgetattr(pty_.SlaveFd(), &t), 0);
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));

  h_->Port->WriteText("ping");
  EXPECT_EQ(pty_.Receive(4), "ping");

  DoneInstance(*h_);
  EXPECT_FALSE(h_->Port->Active());
}

// [COM] BAUD through Init to the port: the setting is held whole, the port
// takes the rates of its list (above 65535 too) and keeps 9600 Bd for any
// other, and the event list names the rate the port has.
struct RateCase {
  const char* Written;
  std::int32_t Held;      // the driver's setting
  std::int32_t PortRate;  // the port's rate, as the tty reports it
  speed_t Code;           // its termios speed code; 0 where termios has none
};

void PrintTo(const RateCase& c, std::ostream* os) { *os << "BAUD " << c.Written; }

class StartLineRate : public StartLineTest, public ::testing::WithParamInterface<RateCase> {};

TEST_P(StartLineRate, ReachesThePortOrKeeps9600) {
  const RateCase& c = GetParam();
  std::string failure;
  ASSERT_TRUE(Start(With(ValidFile(), "BAUD 9600", std::string("BAUD ") + c.Written), failure)) << failure;
  ASSERT_TRUE(h_->Port->Active());
  EXPECT_EQ(h_->State->Config.Baud, c.Held);
  EXPECT_TRUE(Contains(EventList(), "COM1, " + std::to_string(c.Held) + " 8 N 1"));
  EXPECT_EQ(h_->Port->Baudrate(), c.PortRate);
  EXPECT_TRUE(Contains(EventList(), "Inicializace portu: COM1 " + std::to_string(c.PortRate) + "Bd"));
  EXPECT_EQ(LineSpeed(pty_.SlaveFd()), c.PortRate);
  if (c.Code != 0) {
    termios t{};
    ASSERT_EQ(::tcgetattr(pty_.SlaveFd(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), c.Code);
  }
}

INSTANTIATE_TEST_SUITE_P(
    ComBaud, StartLineRate,
    ::testing::Values(RateCase{"9600", 9600, 9600, B9600}, RateCase{"57600", 57600, 57600, B57600},
                      RateCase{"115200", 115200, 115200, B115200}, RateCase{"128000", 128000, 128000, 0},
                      RateCase{"256000", 256000, 256000, 0}, RateCase{"$1F400", 128000, 128000, 0},
                      // No port offers these: the port stays at 9600 Bd.
                      RateCase{"70000", 70000, 9600, B9600}, RateCase{"7200", 7200, 9600, B9600},
                      RateCase{"-9600", -9600, 9600, B9600}),
    [](const ::testing::TestParamInfo<RateCase>& row) {
      std::string name = row.param.Written;
      std::replace_if(name.begin(), name.end(), [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); },
                      '_');
      return "Baud_" + name;
    });

TEST_F(StartLineTest, MissingPortFailsInitButKeepsTheStations) {
  ::setenv("QZ_COM1", (dir_ / "no-such-port").c_str(), 1);
  std::string failure;
  EXPECT_FALSE(Start(ValidFile(), failure));
  EXPECT_EQ(failure, Cp("Chyba instalace COM-portu !"));
  EXPECT_FALSE(h_->Port->Active());
  EXPECT_EQ(h_->Running, 0);
  EXPECT_EQ(h_->State->Config.StationCount, 1);
  EXPECT_TRUE(Contains(EventList(), "Inicializace portu: COM1 9600Bd"));
  EXPECT_TRUE(Contains(EventList(), Cp("Chyba při otevření portu !")));
}

TEST_F(StartLineTest, MissingPortIsNamedWithTheSystemsErrorInTheEventListAndTheLog) {
  const std::string device = (dir_ / "no-such-port").string();
  ::setenv("QZ_COM1", device.c_str(), 1);
  std::string failure;
  EXPECT_FALSE(Start("$DIAGS\r\n" + ValidFile(), failure));
  EXPECT_EQ(failure, Cp("Chyba instalace COM-portu !"));
  const std::string why = Cp("Port COM1 (" + device + ") nelze otevřít: No such file or directory (2)");
  EXPECT_TRUE(Contains(EventList(), why));
  const std::string log = ::qz::testing::ReadFile((dir_ / "QZDRK485_PUMPS.LOG").string());
  EXPECT_NE(log.find("ConfigurePort : " + why), std::string::npos) << log;
}

// The host's line reset opens a port whose device went away at once,
// without waiting for the thread's next attempt.
TEST_F(StartLineTest, LineResetReopensALostPortAtOnce) {
  std::string failure;
  ASSERT_TRUE(Start(ValidFile(), failure)) << failure;
  ASSERT_FALSE(pty_.Receive(1).empty()) << "the line does not poll";
  pty_.Unplug();
  const std::string lost = "Port COM1 (" + pty_.SlaveName() + ") odpojen: Input/output error (5)";
  ASSERT_TRUE(WaitUntil([&] { return Contains(EventList(), lost); })) << "loss not reported";

  PtyPair replugged;
  ASSERT_TRUE(replugged.ok());
  replugged.BindToPort(1);
  {
    std::lock_guard guard(h_->Lock);  // no cycle of the thread in between
    ASSERT_FALSE(h_->Port->Active());
    HostValue reset{};
    reset.TypeCode = 2;
    reset.ValueBytes[0] = 1;
    OutputRequest(*h_, 65531, reset);
    EXPECT_TRUE(h_->Port->Active());
  }
  EXPECT_TRUE(Contains(EventList(), Cp("Port COM1 (" + replugged.SlaveName() + ") znovu otevřen")));
  EXPECT_FALSE(replugged.Receive(1).empty()) << "polling did not resume";
}

TEST_F(ParFileFixture, InitThroughTheExportsOpensThePtyNamedForTheComPort) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  pty.BindToPort(3);
  DriverLibrary lib;
  ASSERT_TRUE(lib.Loaded()) << dlerror();
  auto makeDriver = lib.Get<decltype(::MakeDriver)>("MakeDriver");
  auto init = lib.Get<decltype(::Init)>("Init");
  auto done = lib.Get<decltype(::Done)>("Done");
  auto dispose = lib.Get<decltype(::DisposeDriver)>("DisposeDriver");

  const std::string path = WriteFile(With(ValidFile(), "DRIVER SYSTEM 1", "DRIVER SYSTEM 3"));
  std::array<char, 256> message{};
  std::strcpy(message.data(), "PUMPS");
  DriverHandle* h = makeDriver();
  const bool started = init(h, static_cast<std::int32_t>(path.size()), path.c_str(), nullptr, message.data(), 0,
                            nullptr, nullptr, nullptr) != 0;
  EXPECT_TRUE(started) << message.data();
  EXPECT_STREQ(message.data(), "PUMPS") << "a successful start leaves the host's buffer alone";
  // The port is held: a second user of the device is refused.
  TSerial other;
  other.SetPort(3);
  other.SetActive(true);
  EXPECT_FALSE(other.Active());
  done(h);
  dispose(h);
  other.SetActive(true);
  EXPECT_TRUE(other.Active()) << "Done closed the port";
  ::unsetenv("QZ_COM3");
}

}  // namespace
}  // namespace qz::test
