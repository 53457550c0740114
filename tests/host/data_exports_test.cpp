// The data exports as a host calls them: through the loaded library, with
// the communication thread polling a line that never answers.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "config/par_fixture.h"
#include "qzdrk485.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace {

struct Library {
  void* lib = dlopen(QZ_DRIVER_PATH, RTLD_NOW | RTLD_LOCAL);
  template <class F>
  F Get(const char* name) const {
    return lib ? reinterpret_cast<F>(dlsym(lib, name)) : nullptr;
  }
  ~Library() {
    if (lib) dlclose(lib);
  }
};

class DataExports : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(lib.lib, nullptr) << dlerror();
    ASSERT_TRUE(pty.ok());
    pty.BindToPort(1);
  }

  DriverHandle* Start() {
    const std::string par = dir.file("host.par");
    qz::testing::WriteFile(par, qz::test::kComGroup + qz::test::kGlobalGroup +
                                    qz::test::Station("  ORIGINAL_CHANNELS\r\n  QQ BIDIR 4000 186 1 13 REAL\r\n") +
                                    qz::test::Station("  ORIGINAL_CHANNELS\r\n  PHONE 123\r\n"));
    DriverHandle* h = makeDriver();
    char message[256] = "HOST";
    EXPECT_EQ(init(h, static_cast<int32_t>(par.size()), par.c_str(), nullptr, message, 0, nullptr, nullptr, nullptr), 1)
        << message;
    return h;
  }
  void Stop(DriverHandle* h) {
    done(h);
    disposeDriver(h);
  }

  static HostValue Value(uint32_t type, double x) {
    HostValue v{};
    v.TypeCode = type;
    if (type == 10) std::memcpy(v.ValueBytes, &x, sizeof x);
    else v.ValueBytes[0] = static_cast<uint8_t>(x);
    return v;
  }
  double Double(DriverHandle* h, uint32_t channel) {
    HostValue v{};
    v.TypeCode = 10;
    getInput(h, channel, &v);
    double x = 0;
    std::memcpy(&x, v.ValueBytes, sizeof x);
    return x;
  }

  qz::testing::TempDir dir;
  qz::testing::ScopedEnv root{"QZ_ROOT", dir.path().string()};
  qz::testing::ScopedEnv hdb{"QZ_HDB_DIR", dir.path().string()};
  qz::test::PtyPair pty;
  Library lib;
  decltype(&::MakeDriver) makeDriver = lib.Get<decltype(&::MakeDriver)>("MakeDriver");
  decltype(&::Init) init = lib.Get<decltype(&::Init)>("Init");
  decltype(&::Done) done = lib.Get<decltype(&::Done)>("Done");
  decltype(&::DisposeDriver) disposeDriver = lib.Get<decltype(&::DisposeDriver)>("DisposeDriver");
  decltype(&::BufferInfo) bufferInfo = lib.Get<decltype(&::BufferInfo)>("BufferInfo");
  decltype(&::SetBufferAddr) setBufferAddr = lib.Get<decltype(&::SetBufferAddr)>("SetBufferAddr");
  decltype(&::InputRequest) inputRequest = lib.Get<decltype(&::InputRequest)>("InputRequest");
  decltype(&::InputRequestCompleted) inputRequestCompleted =
      lib.Get<decltype(&::InputRequestCompleted)>("InputRequestCompleted");
  decltype(&::GetInput) getInput = lib.Get<decltype(&::GetInput)>("GetInput");
  decltype(&::OutputRequest) outputRequest = lib.Get<decltype(&::OutputRequest)>("OutputRequest");
  decltype(&::OutputRequestCompleted) outputRequestCompleted =
      lib.Get<decltype(&::OutputRequestCompleted)>("OutputRequestCompleted");
};

TEST_F(DataExports, NullHandlesAndRecordsAreIgnored) {
  HostValue v{};
  v.TypeCode = 10;
  getInput(nullptr, 1, &v);
  outputRequest(nullptr, 1, v);
  inputRequest(nullptr, 1);
  setBufferAddr(nullptr, 65532, nullptr);
  inputRequestCompleted();
  outputRequestCompleted();
  DriverHandle* h = makeDriver();
  getInput(h, 1, nullptr);   // before Init: no stations
  getInput(h, 486, &v);
  Stop(h);
  EXPECT_EQ(bufferInfo(nullptr, 65532, 9, 16862), 1);
  EXPECT_EQ(bufferInfo(nullptr, 65532, 9, 16930), 0);
}

TEST_F(DataExports, HostScansAndWritesWhileTheLinePolls) {
  DriverHandle* h = Start();
  std::vector<uint8_t> buffer(16862, 0xEE);
  setBufferAddr(h, 65532, buffer.data());
  EXPECT_EQ(buffer[2], 8);

  std::atomic<bool> stop{false};
  std::thread farEnd([&] {
    while (!stop) pty.Receive(4096, 20);  // the stations stay silent
  });
  std::array<char, 256> text{};
  for (int round = 0; round < 20; ++round) {
    for (uint32_t channel = 1; channel <= 1000; ++channel) {
      HostValue v{};
      v.TypeCode = channel % 2 == 0 ? 10 : 2;
      getInput(h, channel, &v);
    }
    HostValue t{};
    t.TypeCode = 11;
    char* p = text.data();
    std::memcpy(t.ValueBytes, &p, sizeof p);
    getInput(h, 456, &t);
    outputRequest(h, 97, Value(2, round % 2));     // a binary output
    outputRequest(h, 305, Value(10, round));        // a memory output
    outputRequest(h, 4000, Value(10, round * 0.5));  // a QQ write
    inputRequest(h, 4000);
    outputRequest(h, 472, Value(2, 1));  // out_read_BI
    if (round == 10) outputRequest(h, 65531, Value(2, 1));           // line reset
    if (round == 12) outputRequest(h, 500 + 476, Value(2, 1));       // modem connect
    if (round == 15) outputRequest(h, 500 + 476, Value(2, 0));       // and disconnect
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  stop = true;
  farEnd.join();
  EXPECT_STREQ(text.data(), "<line 1>");
  EXPECT_GE(Double(h, 481), 1.0) << "the thread sent requests to station 1";
  Stop(h);
}

}  // namespace
