// HDB files survive a crash during a save, a failing save and a link in the
// folder; a short file is kept aside before its station gets a cleared image.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "diag/cp1250.h"
#include "diag/window_model.h"
#include "history/file_replace.h"
#include "history/history_file.h"
#include "host/driver_state.h"
#include "support/temp_dir.h"

namespace qz {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::WriteFile;

// An image whose every byte says which one it is.
HistoryImage Image(std::uint8_t seed) {
  HistoryImage image;
  for (std::size_t i = 0; i < image.Bytes.size(); ++i) image.Bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
  return image;
}

std::string Bytes(const HistoryImage& image) { return std::string(image.Bytes.begin(), image.Bytes.end()); }

class HistorySave : public ::testing::Test {
 protected:
  HistorySave() {
    InitDriverState(state);
    state.Config.DriverName = "DRV";
    state.Config.StationCount = 3;
    state.Log.SetFileName(dir.file("driver.log"));
    state.Log.Enable(state.Config.DriverName.view());
  }

  std::string Name(int station = 1) const { return HistoryFileName(state.Config.DriverName.view(), station); }
  std::string Log() const { return ReadFile(dir.file("driver.log")); }

  testing::TempDir dir;
  testing::ScopedEnv hdb{"QZ_HDB_DIR", dir.path().string()};
  DriverState state;
  const HistoryImage oldImage = Image(1);
  const HistoryImage newImage = Image(2);
};

// The steps one save goes through, in order.
std::vector<ReplaceStep> StepsOfOneSave(DriverState& state, const HistoryImage& image) {
  std::vector<ReplaceStep> steps;
  EXPECT_TRUE(SaveHistory(HdbFilesOf(state), 1, image, [&](ReplaceStep s) {
    steps.push_back(s);
    return ProbeAction::Continue;
  }));
  return steps;
}

TEST_F(HistorySave, CrashAtAnyStepLeavesTheOldOrTheNewFileWhole) {
  ASSERT_TRUE(SaveHistory(HdbFilesOf(state), 1, oldImage));
  const std::vector<ReplaceStep> steps = StepsOfOneSave(state, oldImage);
  ASSERT_GT(steps.size(), 8u) << "the image is written in several chunks";
  for (std::size_t crashAt = 0; crashAt <= steps.size(); ++crashAt) {
    SCOPED_TRACE("crash before step " + std::to_string(crashAt));
    ASSERT_TRUE(SaveHistory(HdbFilesOf(state), 1, oldImage));
    std::size_t step = 0;
    SaveHistory(HdbFilesOf(state), 1, newImage, [&](ReplaceStep) { return step++ == crashAt ? ProbeAction::Crash : ProbeAction::Continue; });

    const std::string content = ReadFile(Name());
    ASSERT_EQ(content.size(), kHistoryImageSize);
    const bool renamed = crashAt > static_cast<std::size_t>(std::find(steps.begin(), steps.end(), ReplaceStep::Rename) - steps.begin());
    EXPECT_EQ(content, Bytes(renamed ? newImage : oldImage));
    // The next start reads what is there, and the next save works.
    auto loaded = LoadHistory(HdbFilesOf(state), 1);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->Bytes, renamed ? newImage.Bytes : oldImage.Bytes);
    ASSERT_TRUE(SaveHistory(HdbFilesOf(state), 1, newImage));
    EXPECT_EQ(ReadFile(Name()), Bytes(newImage));
    EXPECT_FALSE(fs::exists(TemporaryNameFor(Name())));
  }
  EXPECT_FALSE(fs::exists(Name() + ".bad")) << "no whole file was ever taken for a short one";
}

TEST_F(HistorySave, FailingStepLeavesTheOldFileAndSaysWhy) {
  ASSERT_TRUE(SaveHistory(HdbFilesOf(state), 1, oldImage));
  const std::vector<ReplaceStep> steps = StepsOfOneSave(state, oldImage);
  // Up to the rename a failure keeps the old file; afterwards the new one is in place.
  for (std::size_t failAt = 0; failAt < steps.size() && steps[failAt] != ReplaceStep::SyncFolder; ++failAt) {
    SCOPED_TRACE("failing step " + std::to_string(failAt));
    ASSERT_TRUE(SaveHistory(HdbFilesOf(state), 1, oldImage));
    fs::remove(dir.file("driver.log"));
    std::size_t step = 0;
    EXPECT_FALSE(SaveHistory(HdbFilesOf(state), 1, newImage, [&](ReplaceStep) {
      return step++ == failAt ? ProbeAction::Fail : ProbeAction::Continue;
    }));
    EXPECT_EQ(ReadFile(Name()), Bytes(oldImage));
    EXPECT_FALSE(fs::exists(TemporaryNameFor(Name())));
    const std::string log = Log();
    EXPECT_NE(log.find("save failed: " + Name()), std::string::npos) << log;
    EXPECT_NE(log.find("No space left on device"), std::string::npos) << log;
  }
}

TEST_F(HistorySave, SaveThatCannotWriteItsTemporaryFileKeepsTheOldOne) {
  ASSERT_TRUE(SaveHistory(HdbFilesOf(state), 1, oldImage));
  // Something that is no file sits where the temporary file goes.
  fs::create_directories(TemporaryNameFor(Name()) + "/in-the-way");
  EXPECT_FALSE(SaveHistory(HdbFilesOf(state), 1, newImage));
  EXPECT_EQ(ReadFile(Name()), Bytes(oldImage));
  const std::string log = Log();
  EXPECT_NE(log.find("save failed: " + Name() + ": remove " + TemporaryNameFor(Name())), std::string::npos) << log;
}

TEST_F(HistorySave, KilledSavingProcessLeavesAWholeFile) {
  ASSERT_TRUE(SaveHistory(HdbFilesOf(state), 1, oldImage));
  std::mt19937 random(12345);
  int interrupted = 0;
  for (int run = 0; run < 26; ++run) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Saves the two images in turn until it is killed.
      for (int i = 0;; ++i) SaveHistory(HdbFilesOf(state), 1, i % 2 ? oldImage : newImage);
    }
    ::usleep(static_cast<useconds_t>(2000 + random() % 20000));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (fs::exists(TemporaryNameFor(Name()))) ++interrupted;
    const std::string content = ReadFile(Name());
    ASSERT_EQ(content.size(), kHistoryImageSize) << "run " << run;
    EXPECT_TRUE(content == Bytes(oldImage) || content == Bytes(newImage)) << "run " << run;
  }
  EXPECT_GT(interrupted, 0) << "no kill landed inside a save";
  auto loaded = LoadHistory(HdbFilesOf(state), 1);
  ASSERT_TRUE(loaded);
  EXPECT_TRUE(loaded->Bytes == oldImage.Bytes || loaded->Bytes == newImage.Bytes);
}

TEST_F(HistorySave, ShortFileIsKeptAsideBeforeItsStationGetsAClearedImage) {
  WindowModel events;
  struct Case {
    std::size_t size;
    std::string keptAs;
  };
  // A second and third short file never take the place of the first one kept.
  const std::vector<Case> cases = {{499999, Name() + ".bad"}, {10, Name() + ".1.bad"}, {0, Name() + ".2.bad"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const std::string content(c.size, '\x5A');
    WriteFile(Name(), content);
    auto image = LoadHistory(HdbFilesOf(state), 1, &events);
    ASSERT_TRUE(image);
    EXPECT_EQ(std::count(image->Bytes.begin(), image->Bytes.end(), 0), static_cast<long>(kHistoryImageSize));
    EXPECT_FALSE(fs::exists(Name()));
    EXPECT_EQ(ReadFile(c.keptAs), content);
    const auto list = events.Snapshot().EventList;
    EXPECT_EQ(list.back(), Utf8ToCp1250("HDB: vadný soubor DRV1.hdb odložen jako " + fs::path(c.keptAs).filename().string()));
    EXPECT_NE(Log().find("short or unreadable file " + Name() + " (" + std::to_string(c.size) + " bytes) kept as " + c.keptAs),
              std::string::npos)
        << Log();
    // The cleared image saved at the end does not touch what was kept.
    ASSERT_TRUE(SaveHistory(HdbFilesOf(state), 1, *image));
    EXPECT_EQ(ReadFile(c.keptAs), content);
    fs::remove(Name());
  }
  // A whole file is read as it is and stays where it is.
  ASSERT_TRUE(SaveHistory(HdbFilesOf(state), 1, newImage));
  auto whole = LoadHistory(HdbFilesOf(state), 1, &events);
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->Bytes, newImage.Bytes);
  EXPECT_FALSE(fs::exists(Name() + ".3.bad"));
}

TEST_F(HistorySave, SaveThroughALinkReplacesTheLinkAndLeavesItsTarget) {
  // The link points at a big file that is not this station's history.
  const fs::path other = dir.path() / "elsewhere" / "archive.dat";
  fs::create_directories(other.parent_path());
  const std::string archive(3 * kHistoryImageSize + 17, '\x42');
  WriteFile(other.string(), archive);
  fs::create_symlink(other, Name(2));

  ASSERT_TRUE(SaveHistory(HdbFilesOf(state), 2, newImage));
  EXPECT_EQ(ReadFile(other.string()), archive) << "the link's target was changed";
  EXPECT_FALSE(fs::is_symlink(Name(2)));
  EXPECT_EQ(ReadFile(Name(2)), Bytes(newImage));
  EXPECT_NE(Log().find(Name(2) + " was a link to " + other.string()), std::string::npos) << Log();
  auto loaded = LoadHistory(HdbFilesOf(state), 2);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->Bytes, newImage.Bytes);
}

}  // namespace
}  // namespace qz
