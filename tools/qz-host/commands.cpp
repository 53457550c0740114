#include "commands.h"

#include <cstring>
#include <sstream>
#include <vector>

namespace qzhost {

namespace {

// Driver-level command channels.
constexpr uint32_t kSampleStation = 60000;
constexpr uint32_t kSamplePeriod = 60001;
constexpr uint32_t kSampleStart = 60003;
constexpr uint32_t kHistoryStation = 65400;
constexpr uint32_t kHistoryUser = 65401;
constexpr uint32_t kHistoryStart = 65407;
constexpr uint32_t kHistorySave = 65415;
constexpr uint32_t kLineReset = 65531;

HostValue Value(uint32_t type, double value) {
  HostValue v{};
  v.TypeCode = type;
  switch (type) {
    case 2:
    case 3:
    case 6: v.ValueBytes[0] = static_cast<uint8_t>(static_cast<long long>(value)); break;
    case 4:
    case 7: {
      const auto w = static_cast<uint16_t>(static_cast<long long>(value));
      std::memcpy(v.ValueBytes, &w, sizeof w);
      break;
    }
    case 5:
    case 8: {
      const auto d = static_cast<uint32_t>(static_cast<long long>(value));
      std::memcpy(v.ValueBytes, &d, sizeof d);
      break;
    }
    case 9: {
      const auto f = static_cast<float>(value);
      std::memcpy(v.ValueBytes, &f, sizeof f);
      break;
    }
    default: std::memcpy(v.ValueBytes, &value, sizeof value); break;
  }
  return v;
}

bool In(const Range& r, int channel) { return r.Count > 0 && channel >= r.Start && channel < r.Start + r.Count; }

// Binary outputs take a bit, everything else a double, unless told.
uint32_t TypeFor(const Layout& layout, int channel) {
  for (const auto& s : layout.Stations) {
    if (In(s.BO, channel) || In(s.BI, channel)) return 2;
  }
  return 10;
}

}  // namespace

CommandResult RunCommand(const DriverApi& api, DriverHandle* h, const Layout& layout, const std::string& line) {
  std::istringstream in(line);
  std::string verb;
  in >> verb;
  std::vector<double> args;
  for (double a; in >> a;) args.push_back(a);
  auto send = [&](uint32_t channel, uint32_t type, double value) {
    api.OutputRequest(h, channel, Value(type, value));
  };
  if (verb.empty()) return {};
  if (verb == "quit" || verb == "exit") return {true, "bye"};
  if (verb == "w" && args.size() >= 2) {
    const auto channel = static_cast<int>(args[0]);
    const uint32_t type = args.size() >= 3 ? static_cast<uint32_t>(args[2]) : TypeFor(layout, channel);
    send(static_cast<uint32_t>(channel), type, args[1]);
    return {false, "written to channel " + std::to_string(channel) + " (type " + std::to_string(type) + ")"};
  }
  if (verb == "q" && args.size() == 1) {
    api.InputRequest(h, static_cast<uint32_t>(args[0]));
    return {false, "read requested"};
  }
  if (verb == "hist" && args.size() == 2) {
    send(kHistoryStation, 7, args[0]);
    send(kHistoryUser, 7, args[1]);
    send(kHistoryStart, 2, 1);
    return {false, "history read-out started"};
  }
  if (verb == "samples" && args.size() == 2) {
    send(kSampleStation, 3, args[0]);
    send(kSamplePeriod, 3, args[1]);
    send(kSampleStart, 2, 1);
    return {false, "sample read-out started"};
  }
  if (verb == "save" && args.empty()) {
    send(kHistorySave, 2, 1);
    return {false, "histories saved"};
  }
  if (verb == "reset" && args.empty()) {
    send(kLineReset, 2, 1);
    return {false, "line reset"};
  }
  if (verb == "show" || verb == "hide") {
    api.DriverProc(h, verb == "show" ? 1 : 0, 0, 0, 0, 0);
    return {false, "window " + verb};
  }
  return {false, "unknown command: " + line};
}

}  // namespace qzhost
