#include "host/output_requests.h"

#include <limits>
#include <string>

#include "diag/log.h"
#include "diag/texts.h"
#include "engine/line_control.h"
#include "host/channel_lookup.h"
#include "host/driver_channels.h"
#include "host/driver_handle.h"
#include "host/driver_state.h"
#include "host/host_value.h"
#include "host/queue_requests.h"
#include "protocol/codecs.h"
#include "serial/modem.h"

namespace qz {

namespace {

class Writer {
 public:
  Writer(DriverHandle& h, const HostValue& value) : h_(h), s_(*h.State), v_(value) {}

  bool Qq(std::uint16_t key);
  void StationItem(const StationChannel& c);

 private:
  bool Is(std::uint32_t type) const { return v_.TypeCode == type; }
  std::uint8_t Byte() const { return GetU8(v_); }
  double Real() const { return GetDouble(v_); }

  void Event(std::string_view text) { AddEvent(h_.Window.get(), text); }
  void Queue(RequestQueue& queue, int station, RequestKind kind, std::uint16_t item, std::string_view data = {},
             MemoryBlock* block = nullptr);

  void Modem(StationRecord& st);
  void Status(int station, StationRecord& st, StatusChannel c);
  void ReadMemoryInputs(int station, StationRecord& st);
  void BlockItem(int station, MemoryBlock& b, int i);

  DriverHandle& h_;
  DriverState& s_;
  const HostValue& v_;
};

void Writer::Queue(RequestQueue& queue, int station, RequestKind kind, std::uint16_t item, std::string_view data,
                   MemoryBlock* block) {
  Request r;
  r.Station = static_cast<std::uint8_t>(station);
  r.Kind = kind;
  r.Item = item;
  r.Data = data;
  r.Block = block;
  queue.Insert(r);
}

// --- QQ variables ------------------------------------------------------------

bool Writer::Qq(std::uint16_t key) {
  const QqMatch match = FindQqVariable(h_, key);
  if (!match.Variable) return false;
  QqVariable& q = *match.Variable;
  switch (v_.TypeCode) {
    case kTypeBool:
    case kTypeShortInt: q.FloatValue = static_cast<std::int8_t>(Byte()); break;
    case kTypeByte: q.FloatValue = Byte(); break;
    case kTypeWord: q.FloatValue = GetU16(v_); break;
    case kTypeCardinal: q.FloatValue = static_cast<float>(GetU32(v_)); break;
    case kTypeSmallInt: q.FloatValue = static_cast<std::int16_t>(GetU16(v_)); break;
    case kTypeLongInt: q.IntValue = static_cast<std::int32_t>(GetU32(v_)); break;
    case kTypeSingle: q.FloatValue = GetSingle(v_); break;
    case kTypeDouble: q.FloatValue = ToSingle(Real()); break;
    default: return true;  // the variable takes no other type code
  }
  const StationRecord& st = s_.Config.Station(match.Station);
  Event(st.Name.str() + std::string(text::kEvtQqAssign) + HexByte(q.Block) + "." + HexByte(q.Group) + "." +
        HexByte(q.Item) + std::string(text::kEvtQqAssignValue) + RealText(static_cast<double>(q.FloatValue), 1, 2));
  QueueQqRequest(s_, match.Station, q, QqAccess::Write);
  return true;
}

// --- Driver-level channels ------------------------------------------------------

// --- Station items ----------------------------------------------------------------

std::int32_t TruncateToInt32(double x) {
  const std::int64_t t = TruncateToInt64(x);
  if (t > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (t < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(t);
}

std::string Count(double x) { return RealText(x, 1, 0); }

// Connecting reopens the line; the next request goes out with the dialled
// header. Disconnecting empties the queues and hangs up.
void Writer::Modem(StationRecord& st) {
  if (Byte() != 0) {
    OpenLine(h_.Window.get(), *h_.Port, s_.Config, s_.Engine, s_.Log);
    st.Flags.in_connecting_modem = 1;
    return;
  }
  s_.Engine.ReadQueue.Clear();
  s_.Engine.WriteQueue.Clear();
  ResetLine(*h_.Port, s_.Engine);
  s_.Engine.ThreadPhase = Phase::Idle;
  const int reported = ModemHangUp(*h_.Port, s_.Config, s_.Log);
  if (reported == 0) return;
  StationFlags& f = s_.Config.Station(reported).Flags;
  f.in_connecting_modem = 0;
  f.in_connected_modem = 0;
  f.in_last_com_err = 1;
}

void Writer::ReadMemoryInputs(int station, StationRecord& st) {
  RequestQueue& reads = s_.Engine.ReadQueue;
  if (st.PhoneDial == 1) {
    Queue(reads, station, RequestKind::ReadKI, 1);
    Event(st.Name.str() + std::string(text::kEvtReadKI));
    return;
  }
  if (st.MemoryInArray == 1) {
    Queue(reads, station, RequestKind::ReadMI, 1);
  } else {
    for (int j = 1; j <= st.NumMemoryIn; ++j) Queue(reads, station, RequestKind::ReadMI, static_cast<std::uint16_t>(j));
  }
  Event(st.Name.str() + std::string(text::kEvtReadMISeparator) + RealText(st.NumMemoryIn, 2, 0) +
        std::string(text::kEvtReadMI));
}

void Writer::Status(int station, StationRecord& st, StatusChannel c) {
  StationFlags& f = st.Flags;
  RequestQueue& reads = s_.Engine.ReadQueue;
  RequestQueue& writes = s_.Engine.WriteQueue;
  const std::string name = st.Name.str();
  if (c == StatusChannel::ErrorNoAnswer || c == StatusChannel::MsgCounter) {
    if (!Is(kTypeDouble)) return;
    const bool errors = c == StatusChannel::ErrorNoAnswer;
    std::int32_t& counter = errors ? st.TimeoutCount : st.RequestCount;
    counter = TruncateToInt32(Real());
    Event(name + std::string(errors ? text::kEvtSetErrorCounter : text::kEvtSetMsgCounter) + Count(counter));
    return;
  }
  if (!Is(kTypeBool)) return;
  switch (c) {
    case StatusChannel::out_read_BI:
      Queue(reads, station, RequestKind::ReadBI, 1);
      return Event(name + std::string(text::kEvtReadBI));
    case StatusChannel::out_read_AI:
      Queue(reads, station, RequestKind::ReadAI, 1);
      return Event(name + std::string(text::kEvtReadAIVorlan));
    case StatusChannel::out_read_CT:
      Queue(reads, station, RequestKind::ReadCT, 1);
      return Event(name + std::string(text::kEvtReadCT));
    case StatusChannel::out_read_AImorven:
      Queue(reads, station, RequestKind::ReadAImorven, 1);
      return Event(name + std::string(text::kEvtReadAITalima));
    case StatusChannel::out_read_KI: return ReadMemoryInputs(station, st);
    case StatusChannel::out_write_BO:
      Queue(writes, station, RequestKind::WriteBO, 1);
      return Event(name + std::string(text::kEvtWriteBO));
    case StatusChannel::out_write_KO:
      Queue(writes, station, RequestKind::WriteKO, 1);
      return Event(name + std::string(text::kEvtWriteKO));
    case StatusChannel::out_write_all_BO_MO:
      if (st.NumBinarOut > 0) Queue(writes, station, RequestKind::WriteBO, 1);
      for (int j = 1; j <= st.NumMemoryOut; ++j) Queue(writes, station, RequestKind::WriteMO, static_cast<std::uint16_t>(j));
      s_.Log.Line(std::string(text::kLogStationNo) + std::to_string(station), text::kLogReinitBoMo);
      return;
    case StatusChannel::out_connect_modem: return Modem(st);
    case StatusChannel::bi_new_BI: f.bi_new_BI = Byte(); return;
    case StatusChannel::bi_new_AI: f.bi_new_AI = Byte(); return;
    case StatusChannel::bi_new_CT: f.bi_new_CT = Byte(); return;
    case StatusChannel::bi_new_MI: f.bi_new_MI = Byte(); return;
    case StatusChannel::bi_new_err_control: f.bi_new_err_control = Byte(); return;
    case StatusChannel::in_active_message: f.in_active_message = Byte(); return;
    default: return;  // values the driver keeps itself
  }
}

// Stores the host's value in the item slot when the type code fits; the
// slot is written to the station in any case.
void Writer::BlockItem(int station, MemoryBlock& b, int i) {
  if (i < 1 || static_cast<std::size_t>(i) > b.Types.size() || !Array1<MemoryBlockItem, 255>::Contains(i)) return;
  const auto direction = static_cast<BlockDirection>(b.Directions.byte(static_cast<std::size_t>(i - 1)));
  if (direction != BlockDirection::Output && direction != BlockDirection::Bidir) return;
  const auto type = static_cast<BlockItemType>(b.Types.byte(static_cast<std::size_t>(i - 1)));
  const int size = BlockItemSize(type);
  if (size <= 0 || size > 4) return;  // an unknown item type queues nothing
  MemoryBlockItem& slot = b.Items[static_cast<std::size_t>(i)];
  auto bytes = static_cast<std::uint32_t>(slot.Value);
  auto store = [&](std::uint32_t code, std::uint32_t value, int n) {
    if (!Is(code)) return;
    const std::uint32_t mask = n == 4 ? 0xFFFFFFFFu : (1u << (8 * n)) - 1;
    bytes = (bytes & ~mask) | (value & mask);
  };
  switch (type) {
    case BlockItemType::Byte: store(kTypeByte, Byte(), 1); break;
    case BlockItemType::Word: store(kTypeWord, GetU16(v_), 2); break;
    case BlockItemType::Integer: store(kTypeSmallInt, GetU16(v_), 2); break;
    case BlockItemType::Cardinal: store(kTypeCardinal, GetU32(v_), 4); break;
    case BlockItemType::Longint: store(kTypeLongInt, GetU32(v_), 4); break;
    case BlockItemType::Real: {
      const Float24 f = EncodeFloat24(Real());
      store(kTypeDouble, static_cast<std::uint32_t>(f[0] | (f[1] << 8) | (f[2] << 16)), 3);
      break;
    }
  }
  slot.Value = static_cast<std::int32_t>(bytes);
  std::string data;
  for (int k = 0; k < size; ++k) data.push_back(static_cast<char>(bytes >> (8 * k)));
  Queue(s_.Engine.WriteQueue, station, RequestKind::BlockWrite, static_cast<std::uint16_t>(i), data, &b);
}

void Writer::StationItem(const StationChannel& c) {
  const int n = c.Station;
  StationRecord& st = s_.Config.Station(n);
  const int i = c.Index;
  const auto at = static_cast<std::size_t>(i);
  switch (c.Kind) {
    case ItemKind::BinarOut: {
      if (!Is(kTypeBool) || !Array1<std::uint8_t, kMaxBinarOut>::Contains(i)) return;
      const std::uint8_t b = Byte();
      if (b == st.BinarOutValue[at]) return;
      st.BinarOutValue[at] = b;
      Event(st.Name.str() + std::string(text::kEvtBinarOut) + std::to_string(i) + "=" +
            std::to_string(static_cast<std::int8_t>(b)));
      if (st.Phone.empty()) Queue(s_.Engine.WriteQueue, n, RequestKind::WriteBO, 1);
      return;
    }
    case ItemKind::Counter:
      if (Is(kTypeDouble) && Array1<CounterDef, kMaxCounterIn>::Contains(i)) st.Counters[at].PrevValue = Real();
      return;
    case ItemKind::MemoryOut: {
      if (!Is(kTypeDouble) || !Array1<MemoryDef, kMaxMemoryOut>::Contains(i)) return;
      const Real6 value = Real();
      if (value == st.MemoryOut[at].Value) return;
      st.MemoryOut[at].Value = value;
      Event(st.Name.str() + std::string(text::kEvtMemoryOut) + std::to_string(i) + "=" + RealText(Real(), 1, 2));
      Queue(s_.Engine.WriteQueue, n, RequestKind::WriteMO, static_cast<std::uint16_t>(i));
      return;
    }
    case ItemKind::Status: return Status(n, st, c.Status());
    case ItemKind::BlockRead:
      if (!Is(kTypeBool) || !c.Block) return;
      Queue(s_.Engine.ReadQueue, n, RequestKind::BlockRead, 1, {}, c.Block);
      return Event(st.Name.str() + std::string(text::kEvtBlockRead));
    case ItemKind::BlockItem:
      if (c.Block) BlockItem(n, *c.Block, i);
      return;
    default: return;  // inputs and display lines are the station's
  }
}

}  // namespace

void OutputRequest(DriverHandle& h, std::uint32_t channel, const HostValue& value) {
  Writer writer(h, value);
  const auto key = static_cast<std::uint16_t>(channel);
  if (writer.Qq(key)) return;
  if (const DriverChannel* driver = FindDriverChannel(channel); driver && driver->Write) {
    return WriteDriverChannel(*driver, h, value);
  }
  if (const StationChannel c = ResolveChannel(h, key)) writer.StationItem(c);
}

}  // namespace qz
