#include "channels.h"

#include <iterator>

#include "host/channel_index.h"

namespace qzhost {

namespace {

struct DriverChannel {
  long Channel;
  std::uint32_t WriteType;  // 0: read only
  std::uint32_t ReadType;   // 0: write only
  const char* What;
};

// The channels that name driver-level values and commands.
constexpr DriverChannel kDriverChannels[] = {
    {486, 10, 10, "sent-message count"},
    {487, 2, 0, "on-demand read block"},
    {60000, 3, 0, "sample station"},
    {60001, 3, 0, "sample period"},
    {60002, 4, 0, "sample index"},
    {60003, 2, 0, "sample read-out start"},
    {60018, 0, 2, "sample read-out running"},
    {60021, 2, 0, "sample file write"},
    {60022, 2, 2, "sample-file flag"},
    {60292, 2, 0, "sample kind table switch"},
    {65398, 2, 0, "beep"},
    {65399, 0, 10, "cycle time"},
    {65400, 7, 7, "history station"},
    {65401, 7, 7, "history user"},
    {65402, 0, 5, "history user position"},
    {65403, 0, 5, "history top"},
    {65404, 0, 7, "history state"},
    {65405, 0, 10, "history elapsed time"},
    {65406, 10, 10, "history time-out"},
    {65407, 2, 0, "history read-out start"},
    {65408, 2, 0, "history read-out abort"},
    {65409, 0, 8, "history aux"},
    {65410, 4, 4, "history record index"},
    {65411, 0, 4, "history record code"},
    {65412, 0, 5, "history record time"},
    {65413, 0, 9, "history record value"},
    {65414, 0, 8, "history capacity"},
    {65415, 2, 0, "save the history files"},
    {65531, 2, 0, "line reset"},
    {65532, 0, 12, "sample buffer"},
    {65533, 10, 10, "pending write value"},
    {65534, 10, 10, "pending write channel"},
    {65535, 2, 2, "pending write"},
};

// Read-only driver values behind the stations' channels.
constexpr long kFirstLineValue = 488;
constexpr long kLastLineValue = 499;

std::uint32_t QqWriteType(qz::QqType type) {
  switch (type) {
    case qz::QqType::Byte: return 3;
    case qz::QqType::Word: return 4;
    case qz::QqType::Integer: return 7;
    case qz::QqType::Cardinal: return 5;
    case qz::QqType::Longint: return 8;
    case qz::QqType::Real: return 10;
    case qz::QqType::String: return 0;
  }
  return 0;
}

}  // namespace

std::uint32_t BlockItemTypeCode(qz::BlockItemType type) {
  switch (type) {
    case qz::BlockItemType::Byte: return 3;
    case qz::BlockItemType::Word: return 4;
    case qz::BlockItemType::Integer: return 7;
    case qz::BlockItemType::Cardinal: return 5;
    case qz::BlockItemType::Longint: return 8;
    case qz::BlockItemType::Real: return 10;
  }
  return 0;
}

namespace {

std::string OfStation(const Layout& layout, int n) {
  const StationLayout* s = layout.Station(n);
  return " of station " + std::to_string(n) + (s ? " (" + s->Name + ")" : std::string());
}

// Status channels a host writes: counters it presets, flags it acknowledges,
// commands it starts.
std::uint32_t StatusWriteType(qz::StatusChannel c) {
  using S = qz::StatusChannel;
  switch (c) {
    case S::ErrorNoAnswer:
    case S::MsgCounter: return 10;
    case S::out_read_BI:
    case S::out_read_AI:
    case S::out_read_CT:
    case S::out_read_AImorven:
    case S::out_read_KI:
    case S::out_write_BO:
    case S::out_write_KO:
    case S::out_write_all_BO_MO:
    case S::out_connect_modem:
    case S::bi_new_BI:
    case S::bi_new_AI:
    case S::bi_new_CT:
    case S::bi_new_MI:
    case S::bi_new_err_control:
    case S::in_active_message: return 2;
    default: return 0;
  }
}

std::uint32_t StatusReadType(qz::StatusChannel c) {
  using S = qz::StatusChannel;
  switch (c) {
    case S::ErrorNoAnswer:
    case S::MsgCounter:
    case S::ErrorInMess:
    case S::SilenceTime:
    case S::SleepTime:
    case S::ErrCount: return 10;
    case S::in_now_comm:
    case S::in_last_com_err:
    case S::bi_new_BI:
    case S::bi_new_AI:
    case S::bi_new_CT:
    case S::bi_new_MI:
    case S::bi_new_err_control:
    case S::in_connecting_modem:
    case S::in_connected_modem:
    case S::in_active_message: return 2;
    case S::name_channel: return 11;
    default: return 0;
  }
}

ChannelInfo StationItem(const Layout& layout, const qz::StationChannel& c) {
  using K = qz::ItemKind;
  ChannelInfo info;
  info.Exists = true;
  const std::string index = std::to_string(c.Index);
  const std::string of = OfStation(layout, c.Station);
  switch (c.Kind) {
    case K::BinarIn: info.What = "BI " + index + of, info.ReadType = 2; break;
    case K::BinarOut: info.What = "BO " + index + of, info.WriteType = info.ReadType = 2; break;
    case K::AnalogIn: info.What = "AI " + index + of, info.ReadType = 10; break;
    case K::Counter: info.What = "CT " + index + of, info.WriteType = info.ReadType = 10; break;
    case K::MemoryIn: info.What = "MI " + index + of, info.ReadType = 10; break;
    case K::MemoryOut: info.What = "MO " + index + of, info.WriteType = info.ReadType = 10; break;
    case K::Status:
      info.What = std::string(qz::StatusChannelName(c.Status())) + of;
      info.WriteType = StatusWriteType(c.Status());
      info.ReadType = StatusReadType(c.Status());
      break;
    case K::Video: info.What = "display line " + index + of, info.ReadType = 11; break;
    case K::BlockRead: info.What = "memory block read" + of, info.WriteType = 2; break;
    case K::BlockItem: {
      const auto type = static_cast<qz::BlockItemType>(c.Block->Types.byte(static_cast<std::size_t>(c.Index - 1)));
      const auto dir = static_cast<qz::BlockDirection>(c.Block->Directions.byte(static_cast<std::size_t>(c.Index - 1)));
      info.What = "memory block item " + index + " (" + BlockItemTypeName(type) + " " + BlockDirectionName(dir) + ")" + of;
      if (dir != qz::BlockDirection::Input) info.WriteType = BlockItemTypeCode(type);
      info.ReadType = BlockItemTypeCode(type);
      break;
    }
    case K::None: info.Exists = false; break;
  }
  return info;
}

}  // namespace

ChannelInfo DescribeChannel(const Layout& layout, long channel) {
  ChannelInfo info;
  if (channel < 1 || channel > kMaxChannel || !layout.Config) return info;
  const auto ch = static_cast<std::uint16_t>(channel);
  qz::DriverState& state = *layout.Config;
  if (const qz::QqMatch qq = qz::FindQqByKey(state.Config, ch); qq.Variable) {
    const qz::QqVariable& v = *qq.Variable;
    const QqLayout q{v.Key, v.Block, v.Group, v.Item, v.Type, v.Direction};
    info.Exists = true;
    info.What = "QQ [" + QqAddressText(q) + "] " + QqTypeName(v.Type) + " " + QqDirectionName(v.Direction) +
                OfStation(layout, qq.Station);
    info.WriteType = QqWriteType(v.Type);
    info.ReadType = v.Type == qz::QqType::String ? 11 : v.Type == qz::QqType::Longint ? 8 : 10;
    info.QqReadable = v.Direction != qz::QqDirection::Write;
    return info;
  }
  for (const DriverChannel& d : kDriverChannels) {
    // A write reaches these before any station item.
    if (d.Channel == channel) {
      return {true, std::string("driver channel: ") + d.What, d.WriteType, d.ReadType, false};
    }
  }
  if (channel >= 60004 && channel <= 60009) return {true, "driver channel: sample time byte", 0, 3, false};
  if (channel >= 60010 && channel <= 60017) return {true, "driver channel: sample value", 0, 10, false};
  if (channel >= 60100 && channel <= 60291) return {true, "driver channel: sample bit", 0, 2, false};
  if (channel >= 65416 && channel <= 65421) return {true, "driver channel: history record date", 0, 4, false};
  if (const qz::StationChannel c = qz::FindStationChannel(state, ch)) return StationItem(layout, c);
  if (channel >= kFirstLineValue && channel <= kLastLineValue)
    return {true, "driver channel: line value", 0, channel == 496 ? 8u : 10u, false};
  return info;
}

}  // namespace qzhost
