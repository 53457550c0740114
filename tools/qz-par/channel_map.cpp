#include "channel_map.h"

#include "host/channel_index.h"
#include "host/host_value.h"

namespace qz::tool {

namespace {

constexpr int kMaxChannel = 65535;

struct Use {
  int TypeCode;
  const char* Access;
};

// What the host can do with a status channel: counters and flags it reads,
// commands it writes, report flags it reads and acknowledges.
Use StatusUse(StatusChannel c) {
  switch (c) {
    case StatusChannel::ErrorNoAnswer:
    case StatusChannel::MsgCounter: return {kTypeDouble, "read-write"};
    case StatusChannel::ErrorInMess:
    case StatusChannel::SilenceTime:
    case StatusChannel::SleepTime:
    case StatusChannel::ErrCount: return {kTypeDouble, "read"};
    case StatusChannel::Video:
    case StatusChannel::name_channel: return {kTypeText, "read"};
    case StatusChannel::in_now_comm:
    case StatusChannel::in_last_com_err:
    case StatusChannel::in_connecting_modem:
    case StatusChannel::in_connected_modem: return {kTypeBool, "read"};
    case StatusChannel::bi_new_BI:
    case StatusChannel::bi_new_AI:
    case StatusChannel::bi_new_CT:
    case StatusChannel::bi_new_MI:
    case StatusChannel::bi_new_err_control:
    case StatusChannel::in_active_message: return {kTypeBool, "read-write"};
    case StatusChannel::out_read_BI:
    case StatusChannel::out_read_AI:
    case StatusChannel::out_read_CT:
    case StatusChannel::out_read_AImorven:
    case StatusChannel::out_read_KI:
    case StatusChannel::out_write_BO:
    case StatusChannel::out_write_KO:
    case StatusChannel::out_write_all_BO_MO:
    case StatusChannel::out_connect_modem: return {kTypeBool, "write"};
    case StatusChannel::out_write_MO:
    case StatusChannel::out_write_restart:
    case StatusChannel::CallCode: return {kTypeBool, "none"};
  }
  return {0, "none"};
}

int BlockItemTypeCode(BlockItemType t) {
  switch (t) {
    case BlockItemType::Byte: return kTypeByte;
    case BlockItemType::Word: return kTypeWord;
    case BlockItemType::Integer: return kTypeSmallInt;
    case BlockItemType::Cardinal: return kTypeCardinal;
    case BlockItemType::Longint: return kTypeLongInt;
    case BlockItemType::Real: return kTypeDouble;
  }
  return 0;
}

int QqTypeCode(QqType t) {
  switch (t) {
    case QqType::Byte: return kTypeByte;
    case QqType::Word: return kTypeWord;
    case QqType::Integer: return kTypeSmallInt;
    case QqType::Cardinal: return kTypeCardinal;
    case QqType::Longint: return kTypeLongInt;
    case QqType::Real: return kTypeDouble;
    case QqType::String: return kTypeText;
  }
  return 0;
}

const char* QqAccess(QqDirection d) {
  switch (d) {
    case QqDirection::Read: return "read";
    case QqDirection::Write: return "write";
    case QqDirection::Bidir: return "read-write";
  }
  return "none";
}

// Position 1.. of the variable in its station's list.
int QqPosition(const StationRecord& st, const QqVariable* wanted) {
  int i = 1;
  for (const QqVariable* v = st.QqVariables.get(); v; v = v->Next.get(), ++i) {
    if (v == wanted) return i;
  }
  return 0;
}

ChannelRow StationRow(int channel, const StationChannel& c) {
  ChannelRow row{channel, c.Station, "", c.Index, kTypeDouble, "read"};
  switch (c.Kind) {
    case ItemKind::BinarIn: row.Kind = "BI"; row.TypeCode = kTypeBool; break;
    case ItemKind::BinarOut: row.Kind = "BO"; row.TypeCode = kTypeBool; row.Access = "read-write"; break;
    case ItemKind::AnalogIn: row.Kind = "AI"; break;
    case ItemKind::Counter: row.Kind = "CT"; row.Access = "read-write"; break;
    case ItemKind::MemoryIn: row.Kind = "MI"; break;
    case ItemKind::MemoryOut: row.Kind = "MO"; row.Access = "read-write"; break;
    case ItemKind::Video: {
      row.Kind = "Video";
      const Use use = StatusUse(StatusChannel::Video);
      row.TypeCode = use.TypeCode;
      row.Access = use.Access;
      break;
    }
    case ItemKind::Status: {
      row.Kind = StatusChannelName(c.Status());
      row.Index = 1;
      const Use use = StatusUse(c.Status());
      row.TypeCode = use.TypeCode;
      row.Access = use.Access;
      break;
    }
    case ItemKind::BlockRead: row.Kind = "block_read"; row.TypeCode = kTypeBool; row.Access = "write"; break;
    case ItemKind::BlockItem: {
      row.Kind = "block_item";
      const auto i = static_cast<std::size_t>(c.Index - 1);
      row.TypeCode = BlockItemTypeCode(static_cast<BlockItemType>(c.Block->Types.byte(i)));
      row.Access = static_cast<BlockDirection>(c.Block->Directions.byte(i)) == BlockDirection::Input ? "read"
                                                                                                      : "read-write";
      break;
    }
    case ItemKind::None: break;
  }
  return row;
}

}  // namespace

std::vector<ChannelRow> ChannelMap(DriverState& state) {
  ChannelIndex index;
  index.Build(state);
  std::vector<ChannelRow> rows;
  for (int channel = 1; channel <= kMaxChannel; ++channel) {
    const auto k = static_cast<std::uint16_t>(channel);
    // A QQ variable's key takes the channel before any station item.
    if (index.MayBeQqKey(k)) {
      if (const QqMatch q = FindQqByKey(state.Config, k); q.Variable) {
        rows.push_back({channel, q.Station, "QQ", QqPosition(state.Config.Station(q.Station), q.Variable),
                        QqTypeCode(q.Variable->Type), QqAccess(q.Variable->Direction)});
        continue;
      }
    }
    if (const StationChannel c = index.Find(k)) rows.push_back(StationRow(channel, c));
  }
  return rows;
}

std::string ChannelCsv(const std::vector<ChannelRow>& rows) {
  std::string out = "channel,station,kind,index,type,access\n";
  for (const ChannelRow& r : rows) {
    out += std::to_string(r.Channel) + ',' + std::to_string(r.Station) + ',' + r.Kind + ',' +
           std::to_string(r.Index) + ',' + std::to_string(r.TypeCode) + ',' + r.Access + '\n';
  }
  return out;
}

}  // namespace qz::tool
