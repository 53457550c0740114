#include "config/driver_state.h"

#include <chrono>
#include <string>

#include "history/history_image.h"

namespace qz {

namespace {

const char* const kStatusChannelNames[kStatusChannelCount] = {
    "MsgCounter",        "ErrorNoAnswer",      "ErrorInMess",        "SilenceTime",
    "SleepTime",         "ErrCount",           "Video",              "out_read_AImorven",
    "out_read_CT",       "out_write_BO",       "out_write_MO",       "in_now_comm",
    "in_last_com_err",   "bi_new_BI",          "bi_new_AI",          "bi_new_CT",
    "bi_new_MI",         "bi_new_err_control", "out_write_restart",  "out_read_BI",
    "out_read_KI",       "out_write_KO",       "out_read_AI",        "out_connect_modem",
    "in_connecting_modem", "in_connected_modem", "in_active_message", "out_write_all_BO_MO",
    "name_channel",      "CallCode",
};

const unsigned char kKeyCodeTable[27] = {0x8C, 0x41, 0x42, 0x43, 0x44, 0x45, 0xFE, 0x47, 0x37,
                                         0x38, 0x39, 0x0D, 0x34, 0x35, 0x36, 0x2B, 0x2D, 0x31,
                                         0x32, 0x33, 0x46, 0x8C, 0x2E, 0x30, 0x45, 0x0A, 0x09};

// Now as a date-time value: days since 1899-12-30 with the time as fraction.
double NowAsDateTime() {
  using namespace std::chrono;
  const double unixDays = duration<double, std::ratio<86400>>(system_clock::now().time_since_epoch()).count();
  return unixDays + 25569.0;
}

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
  st.HistoryData.reset();
  st.AnalogLimits.fill(AnalogLimit{});
}

template <class Node>
void AppendNode(std::unique_ptr<Node>& head, std::unique_ptr<Node> node) {
  std::unique_ptr<Node>* tail = &head;
  while (*tail) tail = &(*tail)->Next;
  *tail = std::move(node);
}

}  // namespace

int BlockItemSize(BlockItemType type) {
  switch (type) {
    case BlockItemType::Byte: return 1;
    case BlockItemType::Word:
    case BlockItemType::Integer: return 2;
    case BlockItemType::Cardinal:
    case BlockItemType::Longint: return 4;
    case BlockItemType::Real: return 3;
  }
  return 0;
}

const char* StatusChannelName(StatusChannel channel) {
  const int i = static_cast<int>(channel);
  return i >= 1 && i <= kStatusChannelCount ? kStatusChannelNames[i - 1] : "";
}

StationRecord::StationRecord() = default;
StationRecord::~StationRecord() {
  FreeList(QqVariables);
  FreeList(MemoryBlocks);
}

DriverState::DriverState() = default;
DriverState::~DriverState() = default;

void ClearHistorySample(HistorySample& sample) {
  sample.Time.fill(0);
  sample.Status = 0;
  for (auto& v : sample.Values) v = std::string(3, '\0');
}

bool InitDriverState(DriverState& s) {
  s.KeyCodeTable = std::string(reinterpret_cast<const char*>(kKeyCodeTable), sizeof kKeyCodeTable);
  s.FullSleepTimer = 0.0;
  s.HistorySamples = std::make_unique<Array1<HistorySample, kHistorySampleCount>>();
  for (auto& sample : *s.HistorySamples) ClearHistorySample(sample);
  s.HistorySampleIndex = 1;
  ClearHistorySample(s.HistoryCurrentSample);
  s.HostRequestFlag = 1;
  s.Query = HistoryQuery{};
  s.StatisticsTimes = {0, 0, NowAsDateTime(), 0, 0};
  s.HostWriteChannel = 1;
  s.HostWriteValue = 0.0;
  s.HostWritePending = 0;
  // The host's sample read-out settings; a registered sample buffer stays.
  s.HistoryPeriod = 1;
  s.HistorySamplesActive = 0;
  s.OnDemandBlock = 0;
  s.SampleStation = 0;
  s.SampleReadoutStation = 0;
  s.SampleFileFlag = 0;
  s.StationCount = 0;
  s.NumMorvenError = 1;
  s.CucPath = "C:\\";
  s.StayInQueueOnTimeout = 0;
  s.Beep = 0;
  s.LogEnabled = 0;
  s.LogFileName.clear();
  s.SelfReading = 1;
  s.SleepTime = 600.0;
  s.SleepCount = 10;
  s.IdleTime = 10;
  s.DriverName = "QZDRK485";
  for (int n = 1; n <= kMaxStations; ++n) {
    auto& slot = s.Stations[static_cast<std::size_t>(n)];
    if (!slot) slot = std::make_unique<StationRecord>();
    ResetStationRecord(*slot, n);
  }
  return true;
}

void SetDefaultChannels(DriverState& state, int n) {
  StationRecord& st = state.Station(n);
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

void ClearStationValues(DriverState& state) {
  for (int n = 1; n <= kMaxStations; ++n) {
    StationRecord& st = state.Station(n);
    st.BinarInValue.fill(0);
    st.BinarOutValue.fill(0);
    st.AnalogInValue.fill(Real6{});
    for (std::size_t i = 1; i <= kMaxMemoryIn; ++i) st.MemoryIn[i].Value = 0.0;
    for (auto& m : st.MemoryOut) m.Value = 0.0;
    for (auto& c : st.Counters) {
      c.PrevValue = c.Value;
      c.Work = 0;
    }
    st.RequestCount = 0;
    st.TimeoutCount = 0;
    st.ErrorAnswerCount = 0;
    st.SilenceSeconds = 0.0;
    st.TimeoutRun = 0;
    st.SleepTimer = 0.0;
    st.WorkReal = 0.0;
    for (std::size_t i = 1; i <= 4; ++i) st.DisplayLines[i] = "<line " + std::to_string(i) + ">";
  }
}

void AppendQqVariable(StationRecord& station, const QqVariable& definition) {
  auto node = std::make_unique<QqVariable>();
  node->Key = definition.Key;
  node->Direction = definition.Direction;
  node->Block = definition.Block;
  node->Group = definition.Group;
  node->Item = definition.Item;
  node->Type = definition.Type;
  node->FloatValue = definition.FloatValue;
  node->IntValue = definition.IntValue;
  node->Text = definition.Text;
  node->Work = definition.Work;
  AppendNode(station.QqVariables, std::move(node));
}

void AppendMemoryBlock(StationRecord& station, const MemoryBlock& definition) {
  auto node = std::make_unique<MemoryBlock>();
  node->Addr = definition.Addr;
  node->Channel = definition.Channel;
  node->ByteCount = definition.ByteCount;
  node->Types = definition.Types;
  node->Directions = definition.Directions;
  node->Items = definition.Items;
  node->ChannelRead = definition.ChannelRead;
  AppendNode(station.MemoryBlocks, std::move(node));
}

QqMatch FindQqByKey(DriverState& state, std::uint16_t key) {
  for (int n = 1; n <= state.StationCount && n <= kMaxStations; ++n) {
    for (QqVariable* v = state.Station(n).QqVariables.get(); v; v = v->Next.get()) {
      if (v->Key == key) return {v, n, 0};
    }
  }
  return {};
}

QqMatch FindQqByAddress(DriverState& state, int n, std::uint8_t block, std::uint8_t group,
                        std::uint8_t item) {
  if (n < 1 || n > kMaxStations) return {};
  for (QqVariable* v = state.Station(n).QqVariables.get(); v; v = v->Next.get()) {
    if (v->Block != block || v->Group != group) continue;
    const int offset = int{item} - int{v->Item};
    if (offset >= 0 && offset < v->ItemSpan()) return {v, n, offset};
  }
  return {};
}

}  // namespace qz
