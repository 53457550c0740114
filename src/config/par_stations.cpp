#include "config/par_stations.h"

#include <array>
#include <cstdio>
#include <string>

#include "config/par_reader.h"
#include "config/par_station_tables.h"
#include "diag/log.h"
#include "diag/texts.h"
#include "diag/window_model.h"

namespace qz {

namespace {

// Station keywords in table order; 1..15 are required, 16..56 optional.
enum StationKeyword : int {
  kAddress = 1, kRetranslation, kName, kNumBinarIn, kNumBinarOut, kNumAnalogIn, kNumCounterIn,
  kNumMemoryIn, kNumMemoryOut, kBinarInXor, kBinarOutXor, kDefAnalogInAddr, kDefMemoryIn,
  kDefMemoryOut, kDefCounterIn, kAnalogLimits, kPhone, kQq, kOriginalChannels, kChannelBI,
  kChannelBO, kChannelAI, kChannelCT, kChannelMI, kChannelMO,
  kFirstStatusName = 26, kLastStatusName = 52,
  kMemoryBlock = 53, kMsgCounter, kNameChannel, kCallCode, kStationEnd
};
constexpr int kFirstOptional = kAnalogLimits;
constexpr int kLastKeywordWithFlag = kCallCode;

constexpr std::array<std::string_view, kStationKeywordCount> kStationNames = {
    "ADDRESS", "RETRANSLATION", "NAME", "NUM_BINAR_IN", "NUM_BINAR_OUT", "NUM_ANALOG_IN",
    "NUM_COUNTER_IN", "NUM_MEMORY_IN", "NUM_MEMORY_OUT", "BINAR_IN_XOR", "BINAR_OUT_XOR",
    "DEF_ANALOG_IN_ADDR", "DEF_MEMORY_IN", "DEF_MEMORY_OUT", "DEF_COUNTER_IN", "ANALOG_LIMITS",
    "PHONE", "QQ", "ORIGINAL_CHANNELS", "CHANNEL_BI", "CHANNEL_BO", "CHANNEL_AI", "CHANNEL_CT",
    "CHANNEL_MI", "CHANNEL_MO",
    // The status channels 26..52 in the order of their records.
    "ErrorNoAnswer", "ErrorInMess", "SilenceTime", "SleepTime", "ErrCount", "Video",
    "out_read_AImorven", "out_read_CT", "out_write_BO", "out_write_MO", "in_now_comm",
    "in_last_com_err", "bi_new_BI", "bi_new_AI", "bi_new_CT", "bi_new_MI", "bi_new_err_control",
    "out_write_restart", "out_read_BI", "out_read_KI", "out_write_KO", "out_read_AI",
    "out_connect_modem", "in_connecting_modem", "in_connected_modem", "in_active_message",
    "out_write_all_BO_MO",
    "MEMORY_BLOCK", "MsgCounter", "name_channel", "CallCode", "END"};

const KeywordTable& StationTable() {
  static const KeywordTable table(kStationNames);
  return table;
}

// Keywords 26..52 name the status channels ErrorNoAnswer..out_write_all_BO_MO.
StatusChannel StatusOfKeyword(int k) {
  switch (k) {
    case kMsgCounter: return StatusChannel::MsgCounter;
    case kNameChannel: return StatusChannel::name_channel;
    case kCallCode: return StatusChannel::CallCode;
    default: return static_cast<StatusChannel>(k - kFirstStatusName + static_cast<int>(StatusChannel::ErrorNoAnswer));
  }
}

bool LoadCount(ParReader& r, int k, std::uint8_t& target, int limit) {
  const bool ok = r.LoadByte(k, target);
  if (target > limit) target = static_cast<std::uint8_t>(limit);
  return ok;
}

bool LoadName(ParReader& r, int k, StationRecord& st) {
  std::string value;
  if (!r.LoadString(k, value)) return false;
  st.Name = value;
  return true;
}

std::uint16_t* ChannelStart(StationRecord& st, int k) {
  switch (k) {
    case kChannelBI: return &st.ChannelBI;
    case kChannelBO: return &st.ChannelBO;
    case kChannelAI: return &st.ChannelAI;
    case kChannelCT: return &st.ChannelCT;
    case kChannelMI: return &st.ChannelMI;
    case kChannelMO: return &st.ChannelMO;
    default: return &st.Status(StatusOfKeyword(k));
  }
}

bool HandleStationKeyword(ParReader& r, int n, int k) {
  StationRecord& st = r.Config().Station(n);
  switch (k) {
    case kAddress: return r.LoadByte(k, st.Address);
    case kRetranslation: return r.LoadByte(k, st.Retranslation);
    case kName: return LoadName(r, k, st);
    case kNumBinarIn: return LoadCount(r, k, st.NumBinarIn, kMaxBinarIn);
    case kNumBinarOut: return LoadCount(r, k, st.NumBinarOut, kMaxBinarOut);
    case kNumAnalogIn: return LoadCount(r, k, st.NumAnalogIn, kMaxAnalogIn);
    case kNumCounterIn: return LoadCount(r, k, st.NumCounterIn, kMaxCounterIn);
    case kNumMemoryIn: return LoadCount(r, k, st.NumMemoryIn, kMaxMemoryIn);
    case kNumMemoryOut: return LoadCount(r, k, st.NumMemoryOut, kMaxMemoryOut);
    case kBinarInXor: return LoadBinarXor(r, k, st.BinarInXor);
    case kBinarOutXor: return LoadBinarXor(r, k, st.BinarOutXor);
    case kDefAnalogInAddr: return r.LoadWord(k, st.DefAnalogInAddr);
    case kDefMemoryIn: return LoadMemoryTable(r, k, st.MemoryIn, &st.MemoryInArray);
    case kDefMemoryOut: return LoadMemoryTable(r, k, st.MemoryOut, nullptr);
    case kDefCounterIn: return LoadCounterTable(r, k, st.Counters);
    case kAnalogLimits: return LoadAnalogLimits(r, k, st.AnalogLimits);
    case kPhone: return LoadPhone(r, k, st);
    case kQq: return LoadQq(r, k, st);
    case kOriginalChannels: SetDefaultChannels(r.Config(), n); return true;
    case kMemoryBlock: return LoadMemoryBlock(r, k, st);
    case kStationEnd: return true;
    default: return r.LoadWord(k, *ChannelStart(st, k));
  }
}

void AnnounceStation(WindowModel* window, const StationRecord& st) {
  std::string line(text::kEvtStation);
  line.append(st.Name.view());
  if (line.size() > 88) line.resize(88);
  line.append(" ").append(st.Phone.view());
  if (line.size() > 109) line.resize(109);
  AddEvent(window, line);
  if (st.QqVariables) AddEvent(window, text::kEvtStationQq);
}

// Reads one station group; false when it failed (message set).
bool ReadStationGroup(ParReader& r, int n, WindowModel* window) {
  DriverConfig& s = r.Config();
  StationRecord& st = s.Station(n);
  r.PresetFlags(kFirstOptional, kLastKeywordWithFlag);
  st.Phone.clear();
  st.PhoneDial = 0;
  const KeywordTable& table = StationTable();
  const bool endRead = ReadGroupKeywords(
      r, table, kStationEnd, [&](int k) { return HandleStationKeyword(r, n, k); },
      [](int k) { return k == kOriginalChannels; },
      [&](int k) {
        if (r.Log().Enabled()) r.Log().Line(text::kLogIndexFound, table.Name(k));
      });
  if (!endRead) {
    r.SetErrorText(std::string(text::kErrGroupNoEnd) + std::string(text::kGroupStation));
    r.Log().Line(text::kLogLoadSt, text::kLogEofNoEnd);
    return false;
  }
  const int missing = r.FirstMissing(kLastKeywordWithFlag);
  if (missing != 0) {
    r.SetErrorText(BadKeywordMessage(table.Name(missing), text::kGroupStation));
    char index[16];
    std::snprintf(index, sizeof index, "%3d", missing);
    r.Log().Line(text::kLogLoadSt, std::string(index) + std::string(text::kLogItemNotLoaded));
    return false;
  }
  AnnounceStation(window, st);
  r.Log().Line(text::kLogLoadSt, text::kLogStationOk);
  return true;
}

}  // namespace

std::string_view StationKeywordName(int index) {
  return index >= 1 && index <= kStationKeywordCount ? kStationNames[static_cast<std::size_t>(index - 1)]
                                                     : std::string_view();
}

std::span<const std::string_view> StationKeywords() { return kStationNames; }

void LoadStations(ParReader& r, WindowModel* window) {
  DriverConfig& s = r.Config();
  r.Log().Line(text::kLogLoadStations, "");
  int n = 0;
  bool anyLoaded = false;
  for (;;) {
    if (!r.SetGroupPos(text::kGroupStation)) break;  // the normal end
    if (n == kMaxStations) {
      r.SetErrorText(text::kErrTooManyStations);
      r.SetGroupError(true);
      break;
    }
    ++n;
    if (!ReadStationGroup(r, n, window)) {
      r.SetGroupError(true);
      break;
    }
    anyLoaded = true;
  }
  if (anyLoaded) {
    s.StationCount = static_cast<std::uint8_t>(n);
    r.SetGroupError(false);
  }
}

}  // namespace qz
