// The life cycle of an instance as the host drives it: identity exports,
// Init's argument handling and start-up events, the window commands, Done
// and DisposeDriver.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "diag/cp1250.h"
#include "host/driver_handle.h"
#include "host/identity.h"
#include "host/lifecycle.h"
#include "host/window_query.h"
#include "qzdrk485.h"
#include "support/temp_dir.h"

namespace qz {
namespace {

constexpr const char* kInfo = "Vorlan-RK/VL2, RS232/485, v.5.017";

TEST(Identity, DriverInfoWritesThirtyFourBytesWhateverTheSize) {
  for (int size : {0, 1, 33, 1000, -5}) {
    char buf[64];
    std::memset(buf, 'x', sizeof buf);
    (void)size;  // the size is not read
    EXPECT_EQ(WriteDriverInfo(buf), 33);
    EXPECT_STREQ(buf, kInfo);
    EXPECT_EQ(buf[34], 'x');
  }
}

struct QueryCase {
  const char* label;
  std::uint32_t code;
  const char* name;
  std::uint32_t kind;
  bool answered;
};

class QueryProcCases : public ::testing::TestWithParam<QueryCase> {};

TEST_P(QueryProcCases, AnswersOnlyTheVersionQuery) {
  const QueryCase& c = GetParam();
  char text[64] = "untouched";
  QueryReply reply{c.kind, text};
  AnswerQuery(c.code, c.name, &reply);
  EXPECT_STREQ(text, c.answered ? kInfo : "untouched");
  EXPECT_EQ(reply.Kind, c.kind);
}

INSTANTIATE_TEST_SUITE_P(
    Queries, QueryProcCases,
    ::testing::Values(QueryCase{"exact", 11, "GetVersion", 11, true},
                      QueryCase{"lower_case", 11, "getversion", 11, false},
                      QueryCase{"other_kind", 11, "GetVersion", 12, false},
                      QueryCase{"other_code", 10, "GetVersion", 11, false},
                      QueryCase{"longer_name", 11, "GetVersionX", 11, false},
                      QueryCase{"prefix_only", 11, "GetVers", 11, false},
                      QueryCase{"null_name", 11, nullptr, 11, false}),
    [](const auto& p) { return std::string(p.param.label); });

TEST(Identity, QueryWithoutReplyOrTextIsIgnored) {
  AnswerQuery(11, "GetVersion", nullptr);
  QueryReply reply{11, nullptr};
  AnswerQuery(11, "GetVersion", &reply);
}

// An instance driven through the same calls the exports make.
class Instance : public ::testing::Test {
 protected:
  void SetUp() override { std::memset(message, 0xCC, sizeof message); }
  void TearDown() override {
    DoneInstance(*h);
    DisposeInstance(h);
  }

  bool Start(const std::string& hostName, std::int32_t nameLength, const char* name,
             std::uint32_t level = 5) {
    std::memcpy(message, hostName.c_str(), hostName.size() + 1);
    return InitFromHost(*h, nameLength, name, message, level);
  }

  std::vector<std::string> Events() const {
    std::vector<std::string> out;
    for (const auto& e : h->Window->Snapshot().EventList) out.push_back(Cp1250ToUtf8(e));
    return out;
  }

  testing::TempDir dir;
  testing::ScopedEnv root{"QZ_ROOT", dir.path().string()};
  DriverHandle* h = MakeDriverInstance();
  char message[300];
};

TEST_F(Instance, NewHandleHasNoWindowAndDoesNotRun) {
  EXPECT_EQ(h->Window, nullptr);
  EXPECT_EQ(h->Running, 0);
  ASSERT_NE(h->State, nullptr);
}

TEST_F(Instance, StartShowsTheDriverInTheWindowAndTheEventList) {
  const std::string par = dir.file("missing.par");
  EXPECT_FALSE(Start("PUMPS", static_cast<std::int32_t>(par.size()), par.c_str(), 7));
  const WindowView v = h->Window->Snapshot();
  EXPECT_EQ(v.Caption, std::string("PUMPS: ") + kInfo);
  EXPECT_EQ(Cp1250ToUtf8(v.LabelName), "Vorlan RK/RKm/VL2, RS232/RS485, max. 100 stanic");
  EXPECT_EQ(v.LabelVersion, "5.017 - 2007/08/20");
  EXPECT_FALSE(v.Visible) << "the host shows the window";
  EXPECT_TRUE(v.Enabled);
  const auto events = Events();
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ(events[0], "EventList");
  EXPECT_EQ(events[1], "Název ovladače v aplikaci: PUMPS");
  EXPECT_EQ(events[2], "Parametrický soubor: " + par);
  EXPECT_EQ(events[3], "Úroveň pro přihlášení: 7");
  EXPECT_EQ(h->State->Config.DriverName, "PUMPS");
  EXPECT_EQ(h->Running, 0);
}

TEST_F(Instance, FailureMessageFillsTheWholeBufferAndNothingBeyond) {
  EXPECT_FALSE(Start("PUMPS", 11, "missing.par"));
  const std::size_t len = std::strlen(message);
  EXPECT_GT(len, 0u);
  EXPECT_LE(len, 80u);
  for (std::size_t i = len; i < 256; ++i) ASSERT_EQ(message[i], 0) << "byte " << i;
  for (std::size_t i = 256; i < sizeof message; ++i) ASSERT_EQ(static_cast<unsigned char>(message[i]), 0xCC);
}

struct NameCase {
  const char* label;
  std::int32_t length;
  const char* chars;
  const char* expected;
};

class ParFileNames : public Instance, public ::testing::WithParamInterface<NameCase> {};

TEST_P(ParFileNames, NameIsCutAtTheLengthOrANul) {
  const NameCase& c = GetParam();
  Start("A", c.length, c.chars);
  EXPECT_EQ(h->State->Config.ParFileName, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ParFileNames,
                         ::testing::Values(NameCase{"shorter", 3, "ABCDEF", "ABC"},
                                           NameCase{"nul_inside", 6, "AB\0DEF", "AB"},
                                           NameCase{"longer_than_text", 1000, "ABC", "ABC"},
                                           NameCase{"zero", 0, "ABC", ""},
                                           NameCase{"negative", -4, "ABC", ""},
                                           NameCase{"null_text", 10, nullptr, ""}),
                         [](const auto& p) { return std::string(p.param.label); });

TEST_F(Instance, HostNameIsKeptTo255Characters) {
  char big[400];
  std::memset(big, 'N', 300);
  big[300] = '\0';
  InitFromHost(*h, 3, "x.p", big, 0);
  EXPECT_EQ(h->State->Config.DriverName.size(), 255u);
  EXPECT_EQ(big[300], '\0') << "the buffer is written only within its 256 bytes";
}

TEST_F(Instance, MissingMessageBufferIsSafe) {
  EXPECT_FALSE(InitFromHost(*h, 3, "x.p", nullptr, 0));
  EXPECT_EQ(h->State->Config.DriverName, "");
}

TEST_F(Instance, WindowCommandsReachTheModel) {
  Start("A", 1, "x", 10);
  DriverProcInstance(*h, 1, 0, 0, 0, 0);
  EXPECT_TRUE(h->Window->Snapshot().Visible);
  DriverProcInstance(*h, 2, 0, 0, 0, 0);
  EXPECT_EQ(h->Window->Snapshot().State, WindowState::Minimized);
  DriverProcInstance(*h, 3, 0, 0, 0, 0);
  EXPECT_EQ(h->Window->Snapshot().State, WindowState::Normal);
  DriverProcInstance(*h, 4, 0, 0, 0, 0);
  EXPECT_TRUE(h->Window->Snapshot().Focused);
  DriverProcInstance(*h, 5, 10, 20, 300, 200);
  const WindowView v = h->Window->Snapshot();
  EXPECT_EQ(std::vector<int>({v.Left, v.Top, v.Width, v.Height}), std::vector<int>({10, 20, 300, 200}));
  DriverProcInstance(*h, 0, 0, 0, 0, 0);
  EXPECT_FALSE(h->Window->Snapshot().Visible);
}

TEST_F(Instance, EnableFollowsTheAccessLevel) {
  Start("A", 1, "x", 10);
  DriverProcInstance(*h, 6, 10, 0, 0, 0);
  EXPECT_TRUE(h->Window->Snapshot().Enabled);
  DriverProcInstance(*h, 6, 11, 0, 0, 0);
  EXPECT_FALSE(h->Window->Snapshot().Enabled);
  DriverProcInstance(*h, 6, -1, 0, 0, 0);
  EXPECT_FALSE(h->Window->Snapshot().Enabled) << "the comparison is unsigned: -1 is the highest level";
  DriverProcInstance(*h, 7, 0, 0, 0, 0);
  EXPECT_FALSE(h->Window->Snapshot().Enabled) << "unknown codes do nothing";
}

TEST_F(Instance, WindowCommandsBeforeInitAndAfterDoneAreIgnored) {
  DriverProcInstance(*h, 1, 0, 0, 0, 0);
  Start("A", 1, "x");
  DoneInstance(*h);
  EXPECT_EQ(h->Window, nullptr);
  DriverProcInstance(*h, 1, 0, 0, 0, 0);
}

TEST_F(Instance, UnknownCodesWithAnyArgumentsLeaveTheWindowAlone) {
  Start("A", 1, "x", 10);
  const std::string before = WindowText(h->Window->Snapshot());
  const std::uint32_t codes[] = {7, 8, 12, 255, 0x80000000u, 0xFFFFFFFFu};
  const std::int32_t extremes[] = {0, -1, INT32_MIN, INT32_MAX};
  for (std::uint32_t code : codes) {
    for (std::int32_t v : extremes) DriverProcInstance(*h, code, v, v, v, v);
  }
  EXPECT_EQ(WindowText(h->Window->Snapshot()), before);
}

TEST_F(Instance, DoneAfterAFailedStartReleasesTheWindow) {
  EXPECT_FALSE(Start("A", 1, "x"));
  DoneInstance(*h);
  EXPECT_EQ(h->Window, nullptr);
  DoneInstance(*h);  // a second Done is harmless
}

TEST(Dispose, WithoutInitOrDoneIsSafe) {
  DisposeInstance(MakeDriverInstance());
  DisposeInstance(nullptr);
}

}  // namespace
}  // namespace qz
