// The soak's own parts: the seeded fault script the simulator runs, the
// items the host writes, and the process figures it compares.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "commands.h"
#include "responder.h"
#include "sim_config.h"
#include "soak/fault_script.h"
#include "soak/process_figures.h"
#include "soak/soak_items.h"

namespace qz::soak {
namespace {

FaultScriptOptions Options(std::uint64_t seed) {
  FaultScriptOptions o;
  o.Seed = seed;
  o.Stations = {21, 22, 23};
  o.FaultsFromMs = 8000;
  o.FaultsUntilMs = 150000;
  return o;
}

TEST(FaultScript, SameSeedSameScriptOtherSeedOtherScript) {
  EXPECT_EQ(MakeFaultScript(Options(7)).Text, MakeFaultScript(Options(7)).Text);
  EXPECT_NE(MakeFaultScript(Options(7)).Text, MakeFaultScript(Options(8)).Text);
}

// Every line is a command the simulator takes, in time order within the
// faulty period; the quiet line starts with every fault cleared; unplugs
// keep their distance; the counts are those of the lines; every kind shows.
TEST(FaultScript, RunsInTheSimulatorAndEndsWithAQuietLine) {
  const FaultScriptOptions o = Options(3);
  const FaultScript script = MakeFaultScript(o);
  std::vector<sim::ScriptLine> lines;
  std::string error;
  ASSERT_TRUE(sim::ParseScript(script.Text, "faults.txt", lines, error)) << error;

  sim::SimSetup setup;
  ASSERT_TRUE(sim::LoadSetupText(MakeSoakLine(3, 115200).ParText, setup, error)) << error;
  sim::Responder responder(setup, {});
  std::map<std::string, int> seen;
  std::int64_t lastUnplug = -1;
  int faults = 0;
  for (const sim::ScriptLine& line : lines) {
    const sim::CommandResult r = sim::Execute(responder, line.Command, line.AtMs);
    EXPECT_TRUE(r.Ok) << line.Command << ": " << r.Text;
    std::istringstream words(line.Command);
    std::string verb, station, kind;
    words >> verb >> station >> kind;
    if (verb == "history") continue;
    if (verb == "clear") {
      EXPECT_EQ(line.AtMs, o.FaultsUntilMs);
      EXPECT_EQ(station, "*");
      continue;
    }
    EXPECT_GE(line.AtMs, o.FaultsFromMs) << line.Command;
    EXPECT_LT(line.AtMs, o.FaultsUntilMs - 5000 + 1) << line.Command;
    ++faults;
    if (verb == "unplug") {
      EXPECT_GE(r.UnplugMs, 1000);
      EXPECT_LE(r.UnplugMs, 4000);
      if (lastUnplug >= 0) {
        EXPECT_GE(line.AtMs - lastUnplug, o.MinUnplugGapMs);
      }
      lastUnplug = line.AtMs;
      ++seen["unplug"];
    } else if (verb == "report") {
      ++seen["report"];
    } else {
      ASSERT_EQ(verb, "fault");
      ++seen[kind];
    }
  }
  EXPECT_EQ(lines.back().Command, "clear *");
  EXPECT_EQ(seen, script.Counts);
  EXPECT_EQ(faults, script.Total());
  for (const char* kind : {"silence", "badcheck", "garbage", "truncate", "foreign", "report", "unplug"})
    EXPECT_GT(script.Counts.count(kind), 0u) << kind;
  for (int st : o.Stations) EXPECT_TRUE(responder.Faults(static_cast<std::uint8_t>(st)).empty());
}

// Every written item is one the simulated station has, under the name the
// soak asks it for, and a value change is always a change.
TEST(SoakLine, ItemsAreTheStationsAndValuesChange) {
  const SoakLine line = MakeSoakLine(2, 115200);
  sim::SimSetup setup;
  std::string error;
  ASSERT_TRUE(sim::LoadSetupText(line.ParText, setup, error)) << error;
  sim::Responder responder(setup, {});
  std::set<std::uint32_t> channels;
  std::mt19937_64 rng(1);
  for (SoakItem item : line.Items) {
    EXPECT_TRUE(channels.insert(item.Channel).second) << item.Channel;
    if (!item.SimItem.empty()) {
      // The station keeps the ends of the range and tells them in full.
      const std::string name = std::to_string(item.Address) + " " + item.SimItem;
      for (double end : {item.Lo, item.Hi}) {
        char value[32];
        std::snprintf(value, sizeof value, "%.2f", end);
        EXPECT_TRUE(sim::Execute(responder, "set " + name + " " + value, 0).Ok) << name;
        const sim::CommandResult r = sim::Execute(responder, "get " + name, 0);
        ASSERT_TRUE(r.Ok) << name << ": " << r.Text;
        SoakItem written = item;
        written.Written = true;
        written.Last = end;
        EXPECT_TRUE(written.Matches(std::atof(r.Text.c_str()))) << name << " = " << value << ": " << r.Text;
      }
    }
    for (int i = 0; i < 50; ++i) {
      const double v = item.NextValue(rng);
      EXPECT_GE(v, item.Lo);
      EXPECT_LE(v, item.Hi);
      if (item.Written) {
        EXPECT_NE(v, item.Last) << item.SimItem;
      }
      item.Written = true;
      item.Last = v;
      EXPECT_TRUE(item.Matches(v));
    }
  }
  std::set<std::string> kinds;
  for (const SoakItem& item : line.Items) kinds.insert(item.Kind);
  EXPECT_EQ(kinds, (std::set<std::string>{"blk", "bo", "ct", "mo", "qq"}));
}

TEST(ProcessFigures, CountDescriptorsAndThreads) {
  std::thread([] {}).join();  // a sanitizer starts its own thread with the first one
  const ProcessFigures before = ReadProcessFigures();
  EXPECT_GT(before.RssKb, 0);
  EXPECT_GE(before.Threads, 1);
  const int fd = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(fd, 0);
  std::mutex m;
  std::condition_variable cv;
  bool counted = false;
  std::thread t([&] {
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return counted; });
  });
  const ProcessFigures during = ReadProcessFigures();
  {
    std::lock_guard lock(m);
    counted = true;
  }
  cv.notify_one();
  t.join();
  ::close(fd);
  EXPECT_EQ(during.Descriptors, before.Descriptors + 1);
  EXPECT_EQ(during.Threads, before.Threads + 1);
  EXPECT_EQ(ReadProcessFigures().Descriptors, before.Descriptors);
  EXPECT_GE(ReadProcessFigures(::getpid()).CpuSeconds, 0.0);
}

}  // namespace
}  // namespace qz::soak
