#pragma once
// A driver instance with a parameter file loaded the way Init loads it,
// without a line, for calling the host's data functions directly.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config/par_file.h"
#include "config/par_fixture.h"
#include "diag/window_model.h"
#include "host/channel_lookup.h"
#include "host/driver_handle.h"
#include "host/driver_state.h"
#include "host/host_value.h"
#include "host/input_requests.h"
#include "host/lifecycle.h"
#include "host/output_requests.h"
#include "support/temp_dir.h"

namespace qz::test {

struct Counts {
  int bi = 8, bo = 8, ai = 4, ct = 2, mi = 2, mo = 3;
};

// One [STATION] group with the required keywords; extra adds more lines.
inline std::string StationGroup(std::string_view name, int address, std::string_view extra, Counts c = {}) {
  auto line = [](std::string_view key, int value) { return "  " + std::string(key) + " " + std::to_string(value) + "\r\n"; };
  return "[STATION]\r\n" + line("ADDRESS", address) + "  RETRANSLATION 0\r\n  NAME \"" + std::string(name) + "\"\r\n" +
         line("NUM_BINAR_IN", c.bi) + line("NUM_BINAR_OUT", c.bo) + line("NUM_ANALOG_IN", c.ai) +
         line("NUM_COUNTER_IN", c.ct) + line("NUM_MEMORY_IN", c.mi) + line("NUM_MEMORY_OUT", c.mo) +
         "  BINAR_IN_XOR NONE\r\n  BINAR_OUT_XOR NONE\r\n  DEF_ANALOG_IN_ADDR FROM_GLOBAL\r\n"
         "  DEF_MEMORY_IN NONE\r\n  DEF_MEMORY_OUT NONE\r\n  DEF_COUNTER_IN NONE\r\n" +
         std::string(extra) + "END\r\n";
}

inline constexpr std::uint8_t kSentinel = 0xA5;

inline HostValue Sentinel(std::uint32_t type) {
  HostValue v{};
  v.TypeCode = type;
  std::memset(v.ValueBytes, kSentinel, sizeof v.ValueBytes);
  return v;
}

inline bool Untouched(const HostValue& v) {
  for (std::uint8_t b : v.ValueBytes) {
    if (b != kSentinel) return false;
  }
  return true;
}

// The record after a write of n bytes over the sentinel.
inline std::vector<std::uint8_t> Bytes(const HostValue& v) { return {v.ValueBytes, v.ValueBytes + 8}; }

inline HostValue Value(std::uint32_t type, double x) {
  HostValue v = Sentinel(type);
  std::memset(v.ValueBytes, 0, sizeof v.ValueBytes);
  switch (type) {
    case kTypeDouble: PutDouble(v, x); break;
    case kTypeSingle: PutSingle(v, static_cast<float>(x)); break;
    case kTypeWord:
    case kTypeSmallInt: PutU16(v, static_cast<std::uint16_t>(static_cast<std::int64_t>(x))); break;
    case kTypeCardinal:
    case kTypeLongInt: PutU32(v, static_cast<std::uint32_t>(static_cast<std::int64_t>(x))); break;
    default: PutU8(v, static_cast<std::uint8_t>(static_cast<std::int64_t>(x))); break;
  }
  return v;
}

class HostData : public ::testing::Test {
 protected:
  HostData()
      : root_("QZ_ROOT", dir.path().string()),
        hdb_("QZ_HDB_DIR", dir.path().string()),
        com_("QZ_COM1", (dir.path() / "no-such-port").string()) {
    h->Window = std::make_unique<WindowModel>();
  }
  ~HostData() override { DisposeInstance(h); }

  // Loads [COM], [GLOBAL] and the station groups.
  void Load(const std::string& stations, std::string_view globalExtra = "") {
    DriverState& s = *h->State;
    InitDriverState(s);
    s.Config.DriverName = "TEST";
    std::string global = kGlobalGroup;
    global.insert(global.rfind("END"), globalExtra);
    ASSERT_TRUE(LoadParameterText(s.Config, s.Log, h->Window.get(), kComGroup + global + stations)) << s.Config.ParseErrorText.str();
    ClearStationValues(s.Config);
    IndexChannels(*h);
  }

  DriverState& S() { return *h->State; }
  StationRecord& St(int n) { return S().Config.Station(n); }

  HostValue Get(std::uint32_t channel, std::uint32_t type) {
    HostValue v = Sentinel(type);
    GetInput(*h, channel, v);
    return v;
  }
  void Put(std::uint32_t channel, std::uint32_t type, double x) { OutputRequest(*h, channel, Value(type, x)); }

  // Event lines since the last ClearEvents.
  std::vector<std::string> Events() const {
    auto events = h->Window->Snapshot().EventList;
    const std::size_t skip = std::min(eventsBefore_, events.size());
    events.erase(events.begin(), events.begin() + static_cast<std::ptrdiff_t>(skip));
    return events;
  }
  std::string LastEvent() const {
    const auto events = Events();
    return events.empty() ? std::string() : events.back();
  }
  void ClearEvents() {
    h->Window = std::make_unique<WindowModel>();
    eventsBefore_ = h->Window->Snapshot().EventList.size();
  }

  ::qz::testing::TempDir dir;
  ::qz::testing::ScopedEnv root_, hdb_, com_;
  DriverHandle* h = MakeDriverInstance();
  std::size_t eventsBefore_ = 0;
};

}  // namespace qz::test
