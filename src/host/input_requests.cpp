#include "host/input_requests.h"

#include <cstring>
#include <string>

#include "history/host_buffer.h"
#include "host/channel_lookup.h"
#include "host/driver_channels.h"
#include "host/driver_handle.h"
#include "host/driver_state.h"
#include "host/host_value.h"
#include "host/queue_requests.h"
#include "protocol/codecs.h"

namespace qz {

namespace {

constexpr std::size_t kQqTextSize = 33;
constexpr std::size_t kDisplayLineSize = 256;
constexpr std::size_t kNameSize = 81;

bool Expect(const HostValue& v, std::uint32_t type) { return v.TypeCode == type; }

// --- QQ variables ----------------------------------------------------------

void WriteQq(const QqVariable& q, HostValue& v) {
  const std::int64_t truncated = TruncateToInt64(static_cast<double>(q.FloatValue));
  switch (v.TypeCode) {
    case kTypeBool: PutBool(v, q.FloatValue == 1.0f); break;
    case kTypeByte:
    case kTypeShortInt: PutU8(v, static_cast<std::uint8_t>(truncated)); break;
    case kTypeWord:
    case kTypeSmallInt: PutU16(v, static_cast<std::uint16_t>(truncated)); break;
    case kTypeCardinal: PutU32(v, static_cast<std::uint32_t>(truncated)); break;
    case kTypeLongInt: PutU32(v, static_cast<std::uint32_t>(q.IntValue)); break;
    case kTypeSingle: PutSingle(v, q.FloatValue); break;
    case kTypeDouble: PutDouble(v, static_cast<double>(q.FloatValue)); break;
    case kTypeText: PutText(v, q.Text.view(), kQqTextSize); break;
    default: break;
  }
}

// --- Station items -----------------------------------------------------------

template <class Array>
bool Has(const Array&, int i) {
  return Array::Contains(i);
}

void WriteStatus(const StationRecord& st, StatusChannel c, HostValue& v) {
  const StationFlags& f = st.Flags;
  auto real = [&](double x) {
    if (Expect(v, kTypeDouble)) PutDouble(v, x);
  };
  auto flag = [&](std::uint8_t x) {
    if (Expect(v, kTypeBool)) PutU8(v, x);
  };
  switch (c) {
    case StatusChannel::ErrorNoAnswer: return real(st.TimeoutCount);
    case StatusChannel::MsgCounter: return real(st.RequestCount);
    case StatusChannel::ErrorInMess: return real(st.ErrorAnswerCount);
    case StatusChannel::SilenceTime: return real(st.SilenceSeconds);
    case StatusChannel::SleepTime: return real(st.SleepTimer);
    case StatusChannel::ErrCount: return real(st.TimeoutRun);
    case StatusChannel::in_now_comm: return flag(f.in_now_comm);
    case StatusChannel::in_last_com_err: return flag(f.in_last_com_err);
    case StatusChannel::bi_new_BI: return flag(f.bi_new_BI);
    case StatusChannel::bi_new_AI: return flag(f.bi_new_AI);
    case StatusChannel::bi_new_CT: return flag(f.bi_new_CT);
    case StatusChannel::bi_new_MI: return flag(f.bi_new_MI);
    case StatusChannel::bi_new_err_control: return flag(f.bi_new_err_control);
    case StatusChannel::in_connecting_modem: return flag(f.in_connecting_modem);
    case StatusChannel::in_connected_modem: return flag(f.in_connected_modem);
    case StatusChannel::in_active_message: return flag(f.in_active_message);
    case StatusChannel::name_channel:
      if (Expect(v, kTypeText)) PutText(v, st.Name.view(), kNameSize);
      return;
    default: return;  // commands the host writes
  }
}

std::array<std::uint8_t, 4> SlotBytes(const MemoryBlockItem& slot) {
  const auto x = static_cast<std::uint32_t>(slot.Value);
  return {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(x >> 8), static_cast<std::uint8_t>(x >> 16),
          static_cast<std::uint8_t>(x >> 24)};
}

void WriteBlockItem(const MemoryBlock& b, int i, HostValue& v) {
  if (i < 1 || static_cast<std::size_t>(i) > b.Types.size() || !Has(b.Items, i)) return;
  const auto raw = SlotBytes(b.Items[static_cast<std::size_t>(i)]);
  auto copy = [&](std::uint32_t type, std::size_t n) {
    if (!Expect(v, type)) return;
    std::memcpy(v.ValueBytes, raw.data(), n);
  };
  switch (static_cast<BlockItemType>(b.Types.byte(static_cast<std::size_t>(i - 1)))) {
    case BlockItemType::Byte: return copy(kTypeByte, 1);
    case BlockItemType::Word: return copy(kTypeWord, 2);
    case BlockItemType::Integer: return copy(kTypeSmallInt, 2);
    case BlockItemType::Cardinal: return copy(kTypeCardinal, 4);
    case BlockItemType::Longint: return copy(kTypeLongInt, 4);
    case BlockItemType::Real:
      if (Expect(v, kTypeDouble)) PutDouble(v, DecodeFloat24(raw[0], raw[1], raw[2]));
      return;
    default: return;
  }
}

void WriteStationItem(const DriverState& s, const StationChannel& c, HostValue& v) {
  const StationRecord& st = s.Config.Station(c.Station);
  const int i = c.Index;
  const auto at = static_cast<std::size_t>(i);
  switch (c.Kind) {
    case ItemKind::BinarIn:
      if (Expect(v, kTypeBool) && Has(st.BinarInValue, i)) {
        const bool state = st.BinarInValue[at] != 0;
        PutBool(v, st.BinarInXor[at] != 0 ? !state : state);
      }
      return;
    case ItemKind::BinarOut:
      if (Expect(v, kTypeBool) && Has(st.BinarOutValue, i)) PutU8(v, st.BinarOutValue[at]);
      return;
    case ItemKind::AnalogIn:
      if (Expect(v, kTypeDouble) && Has(st.AnalogInValue, i)) PutDouble(v, st.AnalogInValue[at]);
      return;
    case ItemKind::Counter:
      if (Expect(v, kTypeDouble) && Has(st.Counters, i)) PutDouble(v, st.Counters[at].PrevValue);
      return;
    case ItemKind::MemoryIn:
      if (Expect(v, kTypeDouble) && Has(st.MemoryIn, i)) PutDouble(v, st.MemoryIn[at].Value);
      return;
    case ItemKind::MemoryOut:
      if (Expect(v, kTypeDouble) && Has(st.MemoryOut, i)) PutDouble(v, st.MemoryOut[at].Value);
      return;
    case ItemKind::Video:
      if (Expect(v, kTypeText) && Has(st.DisplayLines, i)) PutText(v, st.DisplayLines[at].view(), kDisplayLineSize);
      return;
    case ItemKind::Status: return WriteStatus(st, c.Status(), v);
    case ItemKind::BlockItem:
      if (c.Block) WriteBlockItem(*c.Block, i, v);
      return;
    default: return;  // block read: a command
  }
}

// A kind-16 read of the station whose text holds the address at a position
// 1, 4, 7, ... already waits.
bool QqReadWaiting(const RequestQueue& queue, int station, const QqVariable& q) {
  for (const Request& r : queue.Items()) {
    if (r.Station != station || r.Kind != RequestKind::QqRead) continue;
    const std::string_view d = r.Data.view();
    for (std::size_t p = 0; p + 3 <= d.size(); p += 3) {
      if (static_cast<std::uint8_t>(d[p]) == q.Block && static_cast<std::uint8_t>(d[p + 1]) == q.Group &&
          static_cast<std::uint8_t>(d[p + 2]) == q.Item)
        return true;
    }
  }
  return false;
}

}  // namespace

void GetInput(DriverHandle& h, std::uint32_t channel, HostValue& value) {
  DriverState& s = *h.State;
  const auto key = static_cast<std::uint16_t>(channel);
  if (const QqMatch qq = FindQqVariable(h, key); qq.Variable) return WriteQq(*qq.Variable, value);
  const DriverChannel* driver = FindDriverChannel(channel);
  const bool driverFirst = driver && driver->Read && driver->Order == ReadOrder::BeforeStations;
  if (driverFirst) return ReadDriverChannel(*driver, s, channel, value);
  if (const StationChannel c = ResolveChannel(h, key)) return WriteStationItem(s, c, value);
  if (driver) ReadDriverChannel(*driver, s, channel, value);
}

void InputRequest(DriverHandle& h, std::uint32_t channel) {
  DriverState& s = *h.State;
  const QqMatch qq = FindQqVariable(h, static_cast<std::uint16_t>(channel));
  if (!qq.Variable || s.Host.OnDemandBlock != 0) return;
  const QqVariable& q = *qq.Variable;
  if (q.Direction != QqDirection::Read && q.Direction != QqDirection::Bidir) return;
  if (s.Config.Station(qq.Station).SleepTimer.value() != 0.0) return;
  if (QqReadWaiting(s.Engine.ReadQueue, qq.Station, q)) return;
  QueueQqRequest(s, qq.Station, q, QqAccess::Read);
}

void SetBufferAddr(DriverState& state, std::uint32_t channel, void* buffer) {
  if (channel != kHostBufferChannel) return;
  state.Samples.HostBuffer = static_cast<std::uint8_t*>(buffer);
  InitHostBuffer(state.Samples.HostBuffer);
}

}  // namespace qz
