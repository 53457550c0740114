// The communication thread on a real pty: started by Init, polling the
// configured station, counting its silence, and stopped promptly by Done.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "config/par_fixture.h"
#include "diag/cp1250.h"
#include "host/driver_handle.h"
#include "host/lifecycle.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace qz {
namespace {

class LineThread : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.ok());
    pty.BindToPort(1);
  }
  void TearDown() override {
    if (h) {
      DoneInstance(*h);
      DisposeInstance(h);
    }
    ::unsetenv("QZ_COM1");
  }

  bool Start(const std::string& par) {
    const std::string path = dir.file("line.par");
    testing::WriteFile(path, par);
    char message[256] = "LINE";
    return InitFromHost(*h, static_cast<std::int32_t>(path.size()), path.c_str(), message, 1);
  }

  template <class F>
  auto Locked(F f) {
    std::lock_guard guard(h->Lock);
    return f(*h->State);
  }

  testing::TempDir dir;
  testing::ScopedEnv root{"QZ_ROOT", dir.path().string()};
  testing::ScopedEnv hdb{"QZ_HDB_DIR", dir.path().string()};
  test::PtyPair pty;
  DriverHandle* h = MakeDriverInstance();
};

std::string FastFile() {
  using test::With;
  std::string par = test::ValidFile();
  par = With(par, "ANSWER_TIME 1.5", "ANSWER_TIME 0.2");
  par = With(par, "RTS_TIME_ON 5", "RTS_TIME_ON 0");
  return With(par, "RTS_TIME_OFF 6", "RTS_TIME_OFF 0");
}

TEST_F(LineThread, InitStartsPollingTheStation) {
  ASSERT_TRUE(Start(FastFile()));
  EXPECT_EQ(h->Running, 1);
  const std::string frame = pty.Receive(9, 3000);
  ASSERT_GE(frame.size(), 9u);
  EXPECT_EQ(frame.substr(0, 2), "\x10\x02") << "the request starts with the prefix";
  EXPECT_EQ(static_cast<unsigned char>(frame[2]), 0) << "direct form: the retranslation byte first";
  EXPECT_EQ(frame[4], 'Y');
  EXPECT_EQ(static_cast<unsigned char>(frame[6]), 5) << "the station's address";
}

TEST_F(LineThread, SilentStationIsCountedAndShownInTheEventList) {
  ASSERT_TRUE(Start(FastFile()));
  ASSERT_TRUE(test::WaitUntil([&] { return Locked([](DriverState& s) { return s.Config.Station(1).TimeoutCount; }) >= 2; },
                              5000));
  const auto events = h->Window->Snapshot().EventList;
  bool seen = false;
  for (const auto& e : events) seen |= Cp1250ToUtf8(e).find(" - překročení času (") != std::string::npos;
  EXPECT_TRUE(seen);
  EXPECT_GE(Locked([](DriverState& s) { return s.Engine.ErrorCount.value(); }), 1.0);
}

TEST_F(LineThread, DoneReturnsPromptlyWhileTheLineIsBusy) {
  ASSERT_TRUE(Start(FastFile()));
  pty.Receive(9, 3000);
  const auto start = std::chrono::steady_clock::now();
  DoneInstance(*h);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(1));
  EXPECT_EQ(h->Running, 0);
  EXPECT_EQ(h->Thread, nullptr);
  EXPECT_FALSE(h->Port->Active());
}

TEST_F(LineThread, ASecondInitRestartsTheLine) {
  ASSERT_TRUE(Start(FastFile()));
  pty.Receive(9, 3000);
  ASSERT_TRUE(Start(FastFile()));
  EXPECT_EQ(h->Running, 1);
  EXPECT_NE(h->Thread, nullptr);
  EXPECT_GE(pty.Receive(9, 3000).size(), 9u) << "the new thread polls";
}

TEST_F(LineThread, StatisticsLinesAreRefreshed) {
  ASSERT_TRUE(Start(FastFile()));
  ASSERT_TRUE(test::WaitUntil(
      [&] {
        const auto v = h->Window->Snapshot();
        return Cp1250ToUtf8(v.StatusLines[static_cast<int>(StatusLine::Idle)]).rfind("Hlavní thread: ", 0) == 0;
      },
      3000));
  const auto v = h->Window->Snapshot();
  EXPECT_EQ(Cp1250ToUtf8(v.StatusLines[static_cast<int>(StatusLine::Transmit)]),
            "Nevyřízených požadavků: čtení: 0, zápis: 0");
  EXPECT_EQ(Cp1250ToUtf8(v.StatusLines[static_cast<int>(StatusLine::Packet)]).rfind("Kom.zpráv: Vysláno: ", 0), 0u);
  EXPECT_EQ(Cp1250ToUtf8(v.StatusLines[static_cast<int>(StatusLine::Mem)]).rfind("Alokovaná pamět: ", 0), 0u);
}

}  // namespace
}  // namespace qz
