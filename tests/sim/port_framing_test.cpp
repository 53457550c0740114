// A real port carries the [COM] group's framing: the simulator reads BITS,
// PARITY and STOP as the driver does and opens the device with them.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <termios.h>

#include <cstdio>

#include <string>

#include "line_io.h"
#include "sim_fixture.h"
#include "support/line_speed.h"
#include "support/pty_pair.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

namespace qz::sim::test {
namespace {

// The two stations' file with the [COM] framing replaced.
std::string WithFraming(const std::string& baud, const std::string& bits, const std::string& parity,
                        const std::string& stop) {
  std::string text(kTwoStations);
  auto replace = [&](const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
  };
  replace("BAUD 9600", "BAUD " + baud);
  replace("BITS 8", "BITS " + bits);
  replace("PARITY NONE", "PARITY " + parity);
  replace("STOP 1", "STOP " + stop);
  return text;
}

struct FramingCase {
  const char* Bits;
  const char* Parity;
  const char* Stop;
  tcflag_t Size;
  tcflag_t ParityFlags;  // of PARENB, PARODD, CMSPAR
  bool TwoStopBits;
};

class DeviceFraming : public ::testing::TestWithParam<FramingCase> {};

TEST_P(DeviceFraming, FollowsTheParameterFile) {
  const FramingCase& c = GetParam();
  SimSetup setup;
  std::string error;
  ASSERT_TRUE(LoadSetupText(WithFraming("2400", c.Bits, c.Parity, c.Stop), setup, error)) << error;
  termios t{};
  ASSERT_TRUE(ComposeDeviceTermios(DeviceSettings(setup.Baud, setup.DataBits, setup.Parity, setup.StopBits), t));
  EXPECT_EQ(t.c_cflag & CSIZE, c.Size);
  EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), c.ParityFlags);
  EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.TwoStopBits);
  EXPECT_EQ((t.c_iflag & INPCK) != 0, c.ParityFlags != 0);  // parity is checked when there is one
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B2400));
  EXPECT_EQ(t.c_lflag & ICANON, 0u);
}

// BITS other than 8 give 7 data bits and STOP other than 1 two stop bits,
// as in the driver.
INSTANTIATE_TEST_SUITE_P(
    Framings, DeviceFraming,
    ::testing::Values(FramingCase{"8", "NONE", "1", CS8, 0, false},
                      FramingCase{"7", "EVEN", "1", CS7, PARENB, false},
                      FramingCase{"7", "ODD", "2", CS7, PARENB | PARODD, true},
                      FramingCase{"8", "MARK", "1", CS8, PARENB | PARODD | CMSPAR, false},
                      FramingCase{"8", "SPACE", "2", CS8, PARENB | CMSPAR, true},
                      FramingCase{"5", "NONE", "3", CS7, 0, true}));

// The program on a port: a pty slave stands in for the device. A pty keeps
// CS8 and clears PARENB whatever is set, but shows the parity check, odd
// parity, the stop bits and the speed.
TEST(SimOnDevice, OpensThePortWithTheFilesFraming) {
  struct Case {
    const char* Parity;
    const char* Stop;
    bool Odd;
    bool TwoStopBits;
  };
  for (const Case c : {Case{"EVEN", "1", false, false}, Case{"ODD", "2", true, true}}) {
    SCOPED_TRACE(c.Parity);
    qz::test::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    qz::testing::TempDir dir;
    const std::string par = dir.file("line.par");
    qz::testing::WriteFile(par, WithFraming("2400", "7", c.Parity, c.Stop));
    qz::test::SimOptions o;
    o.Program = QZ_SIM_PATH;
    o.ParFile = par;
    o.Device = pty.SlaveName();
    qz::test::SimProcess sim(o);
    ASSERT_TRUE(sim.Ready()) << sim.StartError();
    termios t{};
    ASSERT_EQ(::tcgetattr(pty.SlaveFd(), &t), 0);
    EXPECT_NE(t.c_iflag & INPCK, 0u);
    EXPECT_EQ((t.c_cflag & PARODD) != 0, c.Odd);
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.TwoStopBits);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B2400));
    sim.Stop();
  }
}

// The file's BAUD is held whole: rates above 65535 pace the answers and
// reach the device, with or without a termios speed code.
TEST(SimOnDevice, TakesTheFilesRateAboveSixteenBits) {
  for (const int rate : {57600, 115200, 128000, 256000}) {
    SCOPED_TRACE(rate);
    SimSetup setup;
    std::string error;
    ASSERT_TRUE(LoadSetupText(WithFraming(std::to_string(rate), "8", "NONE", "1"), setup, error)) << error;
    EXPECT_EQ(setup.Baud, rate);
    qz::test::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    qz::testing::TempDir dir;
    const std::string par = dir.file("line.par");
    qz::testing::WriteFile(par, WithFraming(std::to_string(rate), "8", "NONE", "1"));
    qz::test::SimOptions o;
    o.Program = QZ_SIM_PATH;
    o.ParFile = par;
    o.Device = pty.SlaveName();
    qz::test::SimProcess sim(o);
    ASSERT_TRUE(sim.Ready()) << sim.StartError();
    EXPECT_EQ(qz::test::LineSpeed(pty.SlaveFd()), rate);
    sim.Stop();
  }
}

TEST(SimCommandLine, HelpAndVersionExitZero) {
  struct Case {
    const char* Option;
    const char* Shows;
  };
  for (const Case c : {Case{"--help", "--device"}, Case{"--help", "--ack-timeout-ms"}, Case{"--version", QZ_PROJECT_VERSION}}) {
    SCOPED_TRACE(c.Option);
    const std::string command = std::string(QZ_SIM_PATH) + " " + c.Option + " 2>&1";
    FILE* p = ::popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
    const int status = ::pclose(p);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
    EXPECT_NE(out.find(c.Shows), std::string::npos) << out;
  }
}

}  // namespace
}  // namespace qz::sim::test
