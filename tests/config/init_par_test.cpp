// Init through the driver's exports, as the host calls it: the reader's
// message in the host's buffer, byte for byte, and the status lines of a
// loaded file.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fstream>

#include "host/driver_handle.h"
#include "host/lifecycle.h"
#include "par_fixture.h"
#include "qzdrk485.h"
#include "support/driver_library.h"

namespace qz::test {
namespace {

class InitThroughExports : public ParFileFixture {
 protected:
  // Init with the file name and the host's name "PUMPS"; the message buffer
  // as the driver leaves it.
  std::array<char, 256> Init(const std::string& parFile, bool* result) {
    auto makeDriver = lib_.Get<decltype(::MakeDriver)>("MakeDriver");
    auto init = lib_.Get<decltype(::Init)>("Init");
    auto done = lib_.Get<decltype(::Done)>("Done");
    auto dispose = lib_.Get<decltype(::DisposeDriver)>("DisposeDriver");
    std::array<char, 256> message{};
    std::memset(message.data(), 'x', message.size());
    std::strcpy(message.data(), "PUMPS");
    DriverHandle* h = makeDriver();
    *result = init(h, static_cast<std::int32_t>(parFile.size()), parFile.c_str(), nullptr, message.data(), 0,
                   nullptr, nullptr, nullptr) != 0;
    done(h);
    dispose(h);
    return message;
  }

  DriverLibrary lib_;
};

std::string MessageText(const std::array<char, 256>& m) { return std::string(m.data(), strnlen(m.data(), m.size())); }

bool ZeroAfterText(const std::array<char, 256>& m) {
  for (std::size_t i = strnlen(m.data(), m.size()); i < m.size(); ++i) {
    if (m[i] != 0) return false;
  }
  return true;
}

TEST_F(InitThroughExports, ReturnsTheReadersMessageInTheHostsBuffer) {
  ASSERT_TRUE(lib_.Loaded()) << dlerror();
  struct Case {
    std::string file;
    std::string message;
  } cases[] = {
      {With(ValidFile(), "  IRQ 4\r\n", ""), "Chybn\xE1 definice prom\xECnn\xE9 IRQ / [COM]"},
      {kGlobalGroup, "Chyb\xED definice skupiny [COM]"},
      {kComGroup + kGlobalGroup, "Chyb\xED END na konci skupiny [GLOBAL]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Cp1250ToUtf8(c.message));
    bool ok = true;
    const auto message = Init(WriteFile(c.file), &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(MessageText(message), c.message);
    EXPECT_TRUE(ZeroAfterText(message));
  }
}

TEST_F(InitThroughExports, AFileThatCannotBeOpenedGivesOurMessage) {
  ASSERT_TRUE(lib_.Loaded()) << dlerror();
  const std::string missing = (dir_ / "nothing-here.par").string();
  bool ok = true;
  const auto message = Init(missing, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(MessageText(message), ("Nelze otev\xF8\xEDt parametrick\xFD soubor " + missing).substr(0, 80));
  EXPECT_TRUE(ZeroAfterText(message));
}

TEST_F(InitThroughExports, AFailedLoadIsLoggedWithItsMessage) {
  ASSERT_TRUE(lib_.Loaded()) << dlerror();
  bool ok = true;
  Init(WriteFile("$DIAGS\r\n" + With(ValidFile(), "  BAUD 9600\r\n", "")), &ok);
  EXPECT_FALSE(ok);
  std::ifstream in(dir_ / "QZDRK485_PUMPS.LOG", std::ios::binary);
  const std::string log((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(log.find("PARfile ERROR : Chybn\xE1 definice prom\xECnn\xE9 BAUD / [COM]\r\n"), std::string::npos);
}

TEST_F(ParFileFixture, InitShowsTheLogAndPortSettingsOfTheLoadedFile) {
  // No port behind COM1 here: Init stops after the settings are shown.
  setenv("QZ_COM1", (dir_ / "no-such-port").c_str(), 1);
  const std::string logFile = (dir_ / "run.log").string();
  const std::string file = "$DIAGS\r\n" + With(With(ValidFile(), "PARITY NONE", "PARITY EVEN"), "  ADDRESS 1\r\n",
                                                "  ADDRESS 1\r\n  LOG_FILE \"" + logFile + "\"\r\n");
  DriverHandle* h = MakeDriverInstance();
  InitArgs args;
  const std::string path = WriteFile(file);
  args.ParFileName = path;
  args.HostName = "PUMPS";
  std::string failure;
  InitInstance(*h, args, failure);
  const WindowView view = h->Window->Snapshot();
  EXPECT_EQ(view.StatusLines[static_cast<std::size_t>(StatusLine::Prn)], "Log: " + logFile + " (ZAP)");
  EXPECT_EQ(view.StatusLines[static_cast<std::size_t>(StatusLine::Com)], "P\xF8ipojen\xED: COM1, 9600Bd, 8E1");
  DoneInstance(*h);
  DisposeInstance(h);
  unsetenv("QZ_COM1");
}

}  // namespace
}  // namespace qz::test
