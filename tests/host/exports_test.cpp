// The driver library as a host loads it: by path, through its exports only.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "qzdrk485.h"
#include "support/temp_dir.h"

namespace {

// The exports, looked up by name as the host does.
struct Driver {
  void* lib = nullptr;
  decltype(&::Version) version = nullptr;
  decltype(&::Check) check = nullptr;
  decltype(&::GetDriverInfo) getDriverInfo = nullptr;
  decltype(&::QueryProc) queryProc = nullptr;
  decltype(&::MakeDriver) makeDriver = nullptr;
  decltype(&::Init) init = nullptr;
  decltype(&::Done) done = nullptr;
  decltype(&::DisposeDriver) disposeDriver = nullptr;
  decltype(&::DriverProc) driverProc = nullptr;
  decltype(&::InputFinalized) inputFinalized = nullptr;
  decltype(&::OutputFinalized) outputFinalized = nullptr;

  Driver() {
    lib = dlopen(QZ_DRIVER_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!lib) return;
    Bind(version, "Version");
    Bind(check, "Check");
    Bind(getDriverInfo, "GetDriverInfo");
    Bind(queryProc, "QueryProc");
    Bind(makeDriver, "MakeDriver");
    Bind(init, "Init");
    Bind(done, "Done");
    Bind(disposeDriver, "DisposeDriver");
    Bind(driverProc, "DriverProc");
    Bind(inputFinalized, "InputFinalized");
    Bind(outputFinalized, "OutputFinalized");
  }
  ~Driver() {
    if (lib) dlclose(lib);
  }
  template <class F>
  void Bind(F& f, const char* name) {
    f = reinterpret_cast<F>(dlsym(lib, name));
  }
};

class Exports : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(d.lib, nullptr) << dlerror();
    ASSERT_NE(d.init, nullptr);
  }
  qz::testing::TempDir dir;
  qz::testing::ScopedEnv root{"QZ_ROOT", dir.path().string()};
  Driver d;
};

TEST_F(Exports, IdentifyTheDriver) {
  EXPECT_EQ(d.version(), 0x30000);
  EXPECT_EQ(d.check(), 1);
  char info[40];
  std::memset(info, 'x', sizeof info);
  EXPECT_EQ(d.getDriverInfo(0, info), 33);
  EXPECT_STREQ(info, "Vorlan-RK/VL2, RS232/485, v.5.017");
  char text[40] = {};
  QueryReply reply{11, text};
  d.queryProc(nullptr, 11, "GetVersion", nullptr, &reply);
  EXPECT_STREQ(text, "Vorlan-RK/VL2, RS232/485, v.5.017");
  uint32_t count = 7;
  EXPECT_EQ(d.inputFinalized(nullptr, nullptr, &count), 1);
  EXPECT_EQ(count, 0u);
  count = 7;
  EXPECT_EQ(d.outputFinalized(nullptr, nullptr, &count), 1);
  EXPECT_EQ(count, 0u);
}

TEST_F(Exports, ThreeInstancesLiveAndDieSideBySide) {
  DriverHandle* handles[3];
  for (auto& h : handles) {
    h = d.makeDriver();
    ASSERT_NE(h, nullptr);
  }
  EXPECT_EQ(std::set<DriverHandle*>(std::begin(handles), std::end(handles)).size(), 3u);
  int i = 0;
  for (auto* h : handles) {
    char message[256] = {};
    std::snprintf(message, sizeof message, "LINE%d", ++i);
    const std::string par = dir.file("line" + std::to_string(i) + ".par");
    EXPECT_EQ(d.init(h, static_cast<int32_t>(par.size()), par.c_str(), nullptr, message, 5, nullptr,
                     nullptr, nullptr),
              0)
        << "there is no parameter file";
    EXPECT_NE(message[0], 0);
    for (uint32_t code = 0; code <= 7; ++code) d.driverProc(h, code, 1, 2, 300, 200);
  }
  for (auto* h : handles) d.done(h);
  for (auto* h : handles) d.disposeDriver(h);
}

TEST_F(Exports, WindowQueryShowsTheStatusWindowWithinTheGivenCapacity) {
  DriverHandle* h = d.makeDriver();
  char message[256] = "PUMPS";
  d.init(h, 4, "x.pa", nullptr, message, 0, nullptr, nullptr, nullptr);
  d.driverProc(h, 1, 0, 0, 0, 0);
  std::string text(4096, '\x7F');
  QueryReply reply{static_cast<uint32_t>(text.size()), text.data()};
  d.queryProc(h, 12, "GetWindow", nullptr, &reply);
  text.resize(std::strlen(text.c_str()));
  EXPECT_NE(text.find("caption\tPUMPS: Vorlan-RK/VL2, RS232/485, v.5.017\n"), std::string::npos) << text;
  EXPECT_NE(text.find("visible\t1\n"), std::string::npos);
  EXPECT_NE(text.find("event\tN\xE1zev ovlada\xE8" "e v aplikaci: PUMPS\n"), std::string::npos);

  char small[12];
  std::memset(small, 'x', sizeof small);
  QueryReply tight{8, small};
  d.queryProc(h, 12, "GetWindow", nullptr, &tight);
  EXPECT_EQ(std::string(small), "caption");
  EXPECT_EQ(small[8], 'x') << "nothing beyond the capacity";
  d.queryProc(h, 12, "GetWindow", nullptr, nullptr);
  d.queryProc(nullptr, 12, "GetWindow", nullptr, &tight);
  d.done(h);
  d.disposeDriver(h);
}

TEST_F(Exports, NullHandlesAndTextsAreIgnored) {
  char message[256] = "HOST";
  EXPECT_EQ(d.init(nullptr, 3, "x.p", nullptr, message, 0, nullptr, nullptr, nullptr), 0);
  d.done(nullptr);
  d.driverProc(nullptr, 1, 0, 0, 0, 0);
  d.disposeDriver(nullptr);
  d.queryProc(nullptr, 11, nullptr, nullptr, nullptr);
  d.getDriverInfo(0, nullptr);
  d.inputFinalized(nullptr, nullptr, nullptr);
  DriverHandle* h = d.makeDriver();
  EXPECT_EQ(d.init(h, 5, nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr), 0);
  d.done(h);
  d.disposeDriver(h);
}

TEST(ExportTable, ListsExactlyTheHostInterface) {
  const std::string cmd = std::string("nm -D --defined-only ") + QZ_DRIVER_PATH + " 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> exported;
  char line[512];
  while (std::fgets(line, sizeof line, pipe.get())) {
    char type = 0;
    char name[400] = {};
    unsigned long long addr = 0;
    if (std::sscanf(line, "%llx %c %399s", &addr, &type, name) == 3 && (type == 'T' || type == 'D' ||
                                                                        type == 'B' || type == 'W')) {
      exported.insert(name);
    }
  }
  const std::set<std::string> expected = {
      "Version",      "Check",         "GetDriverInfo",  "QueryProc",      "MakeDriver",
      "Init",         "Done",          "DisposeDriver",  "DriverProc",     "BufferInfo",
      "SetBufferAddr", "InputRequest", "InputRequestCompleted", "InputFinalized", "GetInput",
      "OutputRequest", "OutputRequestCompleted", "OutputFinalized"};
  if (exported.empty()) GTEST_SKIP() << "nm is not available";
  EXPECT_EQ(exported, expected);
}

}  // namespace
