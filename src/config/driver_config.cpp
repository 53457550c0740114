#include "config/driver_config.h"

#include <string>

namespace qz {

namespace {

void ResetStationRecord(StationRecord& st, int n) {
  st.Name = "NAME_" + std::to_string(n);
  st.ChannelBI = st.ChannelBO = st.ChannelAI = st.ChannelCT = st.ChannelMI = st.ChannelMO = 0;
  st.StatusChannels.fill(0);
  st.ErrorRun = 0;
  st.PhoneDial = 0;
  st.MemoryInArray = 0;
  st.Flags = StationFlags{};
  FreeList(st.QqVariables);
  FreeList(st.MemoryBlocks);
  st.AnalogLimits.fill(AnalogLimit{});
}

const unsigned char kKeyCodeTable[27] = {0x8C, 0x41, 0x42, 0x43, 0x44, 0x45, 0xFE, 0x47, 0x37,
                                         0x38, 0x39, 0x0D, 0x34, 0x35, 0x36, 0x2B, 0x2D, 0x31,
                                         0x32, 0x33, 0x46, 0x8C, 0x2E, 0x30, 0x45, 0x0A, 0x09};

}  // namespace

DriverConfig::DriverConfig() = default;
DriverConfig::~DriverConfig() = default;

void InitDriverConfig(DriverConfig& c) {
  c.KeyCodeTable = std::string(reinterpret_cast<const char*>(kKeyCodeTable), sizeof kKeyCodeTable);
  c.StationCount = 0;
  c.NumMorvenError = 1;
  c.CucPath = "C:\\";
  c.StayInQueueOnTimeout = 0;
  c.Beep = 0;
  c.SelfReading = 1;
  c.SleepTime = 600.0;
  c.SleepCount = 10;
  c.IdleTime = 10;
  c.DriverName = "QZDRK485";
  for (int n = 1; n <= kMaxStations; ++n) {
    auto& slot = c.Stations[static_cast<std::size_t>(n)];
    if (!slot) slot = std::make_unique<StationRecord>();
    ResetStationRecord(*slot, n);
  }
}

void SetDefaultChannels(DriverConfig& config, int n) {
  StationRecord& st = config.Station(n);
  const int a = (n - 1) * 500;
  auto ch = [a](int offset) { return static_cast<std::uint16_t>(a + offset); };
  st.ChannelBI = ch(1);
  st.ChannelBO = ch(97);
  st.ChannelAI = ch(193);
  st.ChannelCT = ch(257);
  st.ChannelMO = ch(305);
  st.ChannelMI = ch(405);
  st.Status(StatusChannel::ErrorNoAnswer) = ch(450);
  st.Status(StatusChannel::ErrorInMess) = ch(451);
  st.Status(StatusChannel::SilenceTime) = ch(452);
  st.Status(StatusChannel::SleepTime) = ch(453);
  st.Status(StatusChannel::ErrCount) = ch(454);
  st.Status(StatusChannel::Video) = ch(456);
  for (int i = 0; i < 21; ++i) {
    st.Status(static_cast<StatusChannel>(static_cast<int>(StatusChannel::out_read_AImorven) + i)) = ch(460 + i);
  }
  st.Status(StatusChannel::MsgCounter) = ch(481);
  st.Status(StatusChannel::name_channel) = 0;
  st.Status(StatusChannel::CallCode) = 0;
}

void ClearStationValues(DriverConfig& config) {
  for (int n = 1; n <= kMaxStations; ++n) ClearStationValues(config.Station(n));
}

QqMatch FindQqByKey(DriverConfig& config, std::uint16_t key) {
  for (int n = 1; n <= config.StationCount && n <= kMaxStations; ++n) {
    for (QqVariable* v = config.Station(n).QqVariables.get(); v; v = v->Next.get()) {
      if (v->Key == key) return {v, n, 0};
    }
  }
  return {};
}

QqMatch FindQqByAddress(DriverConfig& config, int n, std::uint8_t block, std::uint8_t group,
                        std::uint8_t item) {
  if (n < 1 || n > kMaxStations) return {};
  for (QqVariable* v = config.Station(n).QqVariables.get(); v; v = v->Next.get()) {
    if (v->Block != block || v->Group != group) continue;
    const int offset = int{item} - int{v->Item};
    if (offset >= 0 && offset < v->ItemSpan()) return {v, n, offset};
  }
  return {};
}

}  // namespace qz
