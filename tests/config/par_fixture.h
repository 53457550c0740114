#pragma once
// A parameter file on disk, loaded the way Init loads it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "config/par_file.h"
#include "diag/cp1250.h"
#include "diag/window_model.h"
#include "host/driver_state.h"

namespace qz::test {

// A valid file: [COM], [GLOBAL] and one station with every required keyword.
inline const std::string kComGroup =
    "[COM]\r\n"
    "  IRQ 4\r\n  BASE $3F8\r\n  BAUD 9600\r\n  BITS 8\r\n  PARITY NONE\r\n"
    "  STOP 1\r\n  OPTIONS 0\r\n  BUFFER_SIZE 1024\r\n  DRIVER SYSTEM 1\r\n"
    "END\r\n";
inline const std::string kGlobalGroup =
    "[GLOBAL]\r\n"
    "  PREFIX $10$02\r\n  SUFFIX $10$03\r\n  PRESUFFIX NONE\r\n  ADDRESS 1\r\n"
    "  ANSWER_TIME 1.5\r\n  SILENCE_WAIT 20\r\n  RTS_TIME_ON 5\r\n  RTS_TIME_OFF 6\r\n"
    "  DEF_ANALOG_IN_ADDR 100\r\n"
    "END\r\n";
inline const std::string kStationBody =
    "  ADDRESS 5\r\n  RETRANSLATION 0\r\n  NAME \"Pump 1\"\r\n"
    "  NUM_BINAR_IN 16\r\n  NUM_BINAR_OUT 8\r\n  NUM_ANALOG_IN 4\r\n  NUM_COUNTER_IN 2\r\n"
    "  NUM_MEMORY_IN 0\r\n  NUM_MEMORY_OUT 0\r\n  BINAR_IN_XOR NONE\r\n  BINAR_OUT_XOR NONE\r\n"
    "  DEF_ANALOG_IN_ADDR FROM_GLOBAL\r\n  DEF_MEMORY_IN NONE\r\n  DEF_MEMORY_OUT NONE\r\n"
    "  DEF_COUNTER_IN NONE\r\n";

inline std::string Station(std::string_view extra = "", std::string_view body = kStationBody) {
  return "[STATION]\r\n" + std::string(body) + std::string(extra) + "END\r\n";
}

inline std::string ValidFile(std::string_view stationExtra = "") {
  return kComGroup + kGlobalGroup + Station(stationExtra);
}

// text with the first occurrence of from replaced; fails the test when
// from is not there.
inline std::string With(std::string text, std::string_view from, std::string_view to) {
  const auto pos = text.find(from);
  EXPECT_NE(pos, std::string::npos) << "no '" << from << "' to replace";
  if (pos != std::string::npos) text.replace(pos, from.size(), to);
  return text;
}

// Expected texts are written in UTF-8 here and compared as Windows-1250.
inline std::string Cp(std::string_view utf8) { return Utf8ToCp1250(utf8); }

class ParFileFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    dir_ = std::filesystem::path(::testing::TempDir()) / ("qzpar_" + name);
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    // The default log goes to the root folder: keep it in this test's folder.
    setenv("QZ_ROOT", dir_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("QZ_ROOT");
    std::filesystem::remove_all(dir_);
  }

  std::string WriteFile(std::string_view text, std::string_view name = "test.par") {
    const auto path = dir_ / std::string(name);
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  // Loads text through a file as Init does.
  bool Load(std::string_view text) { return LoadPath(WriteFile(text)); }

  bool LoadPath(const std::string& path) {
    window = std::make_unique<WindowModel>();
    eventsBefore_ = window->Snapshot().EventList.size();
    InitDriverState(state);
    state.Config.DriverName = "TEST";
    state.Config.ParFileName = path;
    return LoadParameterFile(state.Config, state.Log, window.get(), &report);
  }

  std::string Error() const { return state.Config.ParseErrorText.str(); }
  // Event lines the last load added.
  std::vector<std::string> Events() const {
    auto events = window->Snapshot().EventList;
    const std::size_t skip = std::min(eventsBefore_, events.size());
    events.erase(events.begin(), events.begin() + static_cast<std::ptrdiff_t>(skip));
    return events;
  }

  std::filesystem::path dir_;
  DriverState state;
  std::unique_ptr<WindowModel> window = std::make_unique<WindowModel>();
  ParLoadReport report;
  std::size_t eventsBefore_ = 0;
};

}  // namespace qz::test
