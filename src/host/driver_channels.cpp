#include "host/driver_channels.h"

#include <algorithm>
#include <iterator>

#include "diag/statistics.h"
#include "history/history_readout.h"
#include "host/communication.h"
#include "host/driver_commands.h"
#include "host/driver_handle.h"
#include "host/driver_state.h"
#include "host/host_value.h"
#include "host/sample_file.h"
#include "protocol/codecs.h"

namespace qz {

namespace {

// --- Readings ------------------------------------------------------------------

// The sample the host selected (60002), when there is one.
const HistorySample* SelectedSample(const DriverState& s) {
  const SampleReadout& r = s.Samples;
  if (!r.HistorySamples || !Array1<HistorySample, kHistorySampleCount>::Contains(r.HistorySampleIndex)) return nullptr;
  return &(*r.HistorySamples)[r.HistorySampleIndex];
}

void SampleTime(const DriverState& s, std::uint32_t channel, HostValue& v) {
  if (const HistorySample* sample = SelectedSample(s)) PutU8(v, sample->Time[channel - 60004]);
}

void SampleValue(const DriverState& s, std::uint32_t channel, HostValue& v) {
  if (const HistorySample* sample = SelectedSample(s))
    PutDouble(v, DecodeFloat24(sample->Values[channel - 60010].view()));
}

// The bits of the eight values, 24 to a value, least significant first.
void SampleBit(const DriverState& s, std::uint32_t channel, HostValue& v) {
  const HistorySample* sample = SelectedSample(s);
  if (!sample) return;
  const std::uint32_t w = channel - 60100;
  const std::uint8_t raw = sample->Values[w / 24].byte(w % 24 / 8);
  PutBool(v, BitOfByte(raw, static_cast<int>(w % 8)));
}

// The record the host selected (65410): code, time, value.
void HistoryRecordField(const DriverState& s, std::uint32_t channel, HostValue& v) {
  const auto record = SelectedHistoryRecord(s.History, s.Config.StationCount);
  if (!record) return;
  if (channel == 65411) PutU16(v, record->Code);
  if (channel == 65412) PutU32(v, record->Seconds);
  if (channel == 65413) PutSingle(v, ToSingle(SingleToValue(record->ValueBits)));
}

// Byte 9, word 66, then the low 32 bits of the buffer reference.
void BufferDescription(const DriverState& s, std::uint32_t, HostValue& v) {
  v.ValueBytes[0] = 9;
  v.ValueBytes[1] = 66;
  v.ValueBytes[2] = 0;
  const auto reference = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(s.Samples.HostBuffer));
  for (std::size_t i = 0; i < 4; ++i) v.ValueBytes[3 + i] = static_cast<std::uint8_t>(reference >> (8 * i));
}

// The line's figures: all as doubles but the memory in use.
double LineFigure(const EngineState& e, std::uint32_t channel) {
  switch (channel) {
    case 486: return e.SentCount;
    case 489: return e.LineSilence;
    case 490: return static_cast<double>(e.ReadQueue.Count() + e.WriteQueue.Count());
    case 491: return e.ActiveKind;
    case 492: return e.FullSleepTimer;
    case 493: return e.ReceivedCount;
    case 494: return e.ActiveStation;
    case 495: return static_cast<std::uint8_t>(e.ThreadPhase);
    case 497: return static_cast<double>(e.WriteQueue.Count());
    case 498: return e.AcceptedCount;
    case 499: return e.AnswerTimer;
    default: return 0.0;  // 488
  }
}

void PutLineFigure(const DriverState& s, std::uint32_t channel, HostValue& v) {
  PutDouble(v, LineFigure(s.Engine, channel));
}

void PutMemoryInUse(const DriverState&, std::uint32_t, HostValue& v) {
  PutU32(v, static_cast<std::uint32_t>(ProcessMemoryBytes()));
}

// --- Writes ----------------------------------------------------------------------

std::uint8_t ClampedPeriod(std::uint8_t period) { return period >= 1 && period <= 3 ? period : std::uint8_t{1}; }

std::uint16_t ClampedSampleIndex(std::uint16_t index) {
  return index >= 1 && index <= kHistorySampleCount ? index : std::uint16_t{1};
}

void SetHistoryRecordIndex(DriverState& s, std::uint16_t index) {
  s.History.Query.HistoryRecordIndex = index;
  UpdateHistoryDateWords(s.History, s.Config.StationCount);
}

void ResetAndReopen(DriverHandle& h) {
  ResetTheLine(h);
  ReopenPort(h);  // a port whose device went away comes back at once
}

void IndirectWrite(DriverHandle& h, const HostValue& v) {
  if (v.TypeCode == kTypeBool) h.State->Host.HostWritePending = GetU8(v);
  ApplyPendingWrite(*h.State);
}

using H = DriverHandle&;
using V = const HostValue&;
using S = const DriverState&;
using C = std::uint32_t;
using Out = HostValue&;
constexpr std::uint32_t kNone = 0;  // no reading, or no write: its type code is never looked at
constexpr ReadOrder kAfter = ReadOrder::AfterStations;

// Sorted by channel; ranges do not overlap.
constexpr DriverChannel kDriverChannels[] = {
    {486, 486, kTypeDouble, PutLineFigure, kTypeDouble, [](H h, V v) { h.State->Engine.SentCount = GetDouble(v); }, kAfter},
    {487, 487, kNone, nullptr, kTypeBool, [](H h, V v) { h.State->Host.OnDemandBlock = GetU8(v); }, kAfter},
    {488, 495, kTypeDouble, PutLineFigure, kNone, nullptr, kAfter},
    {496, 496, kTypeLongInt, PutMemoryInUse, kNone, nullptr, kAfter},
    {497, 499, kTypeDouble, PutLineFigure, kNone, nullptr, kAfter},
    {60000, 60000, kNone, nullptr, kTypeByte, [](H h, V v) { h.State->Samples.SampleStation = GetU8(v); }},
    {60001, 60001, kNone, nullptr, kTypeByte, [](H h, V v) { h.State->Samples.HistoryPeriod = ClampedPeriod(GetU8(v)); }},
    {60002, 60002, kNone, nullptr, kTypeWord,
     [](H h, V v) { h.State->Samples.HistorySampleIndex = ClampedSampleIndex(GetU16(v)); }},
    {60003, 60003, kNone, nullptr, kTypeBool, [](H h, V) { StartSampleReadout(*h.State); }},
    {60004, 60009, kTypeByte, SampleTime, kNone, nullptr},
    {60010, 60017, kTypeDouble, SampleValue, kNone, nullptr},
    {60018, 60018, kTypeBool, [](S s, C, Out v) { PutBool(v, s.Samples.HistorySamplesActive != 0); }, kNone, nullptr},
    {60021, 60021, kNone, nullptr, kTypeBool,
     [](H h, V) { h.State->Samples.SampleFileFlag = WriteSampleFile(*h.State) ? 1 : 0; }},
    {60022, 60022, kTypeBool, [](S s, C, Out v) { PutU8(v, s.Samples.SampleFileFlag); }, kTypeBool,
     [](H h, V v) { h.State->Samples.SampleFileFlag = GetU8(v); }},
    {60100, 60291, kTypeBool, SampleBit, kNone, nullptr},
    {60292, 60292, kNone, nullptr, kTypeBool, [](H h, V v) { h.State->Engine.SampleKindSwitch = GetU8(v); }},
    {65398, 65398, kNone, nullptr, kTypeBool, [](H h, V v) { h.State->Config.Beep = GetU8(v); }},
    {65399, 65399, kTypeDouble, [](S s, C, Out v) { PutDouble(v, s.Engine.CycleMs); }, kNone, nullptr},
    {65400, 65400, kTypeSmallInt,
     [](S s, C, Out v) { PutU16(v, static_cast<std::uint16_t>(s.History.Query.HistoryStation)); }, kTypeSmallInt,
     [](H h, V v) { SelectHistoryStation(*h.State, static_cast<std::int16_t>(GetU16(v))); }},
    {65401, 65401, kTypeSmallInt,
     [](S s, C, Out v) { PutU16(v, static_cast<std::uint16_t>(s.History.Query.HistoryUser)); }, kTypeSmallInt,
     [](H h, V v) { SelectHistoryUser(*h.State, static_cast<std::int16_t>(GetU16(v))); }},
    {65402, 65402, kTypeCardinal,
     [](S s, C, Out v) { PutU32(v, static_cast<std::uint32_t>(s.History.Query.HistoryUserPos)); }, kNone, nullptr},
    {65403, 65403, kTypeCardinal,
     [](S s, C, Out v) { PutU32(v, static_cast<std::uint32_t>(s.History.Query.HistoryTop)); }, kNone, nullptr},
    {65404, 65404, kTypeSmallInt,
     [](S s, C, Out v) { PutU16(v, static_cast<std::uint16_t>(s.History.Query.HistoryState)); }, kNone, nullptr},
    {65405, 65405, kTypeDouble, [](S s, C, Out v) { PutDouble(v, s.History.Query.HistoryElapsed); }, kNone, nullptr},
    {65406, 65406, kTypeDouble, [](S s, C, Out v) { PutDouble(v, s.History.Query.HistoryTimeout); }, kTypeDouble,
     [](H h, V v) { h.State->History.Query.HistoryTimeout = GetDouble(v); }},
    {65407, 65407, kNone, nullptr, kTypeBool, [](H h, V) { StartHistoryReadout(h); }},
    {65408, 65408, kNone, nullptr, kTypeBool, [](H h, V) { AbortHistoryReadout(h); }},
    {65409, 65409, kTypeLongInt,
     [](S s, C, Out v) { PutU32(v, static_cast<std::uint32_t>(s.History.Query.HistoryAux)); }, kNone, nullptr},
    {65410, 65410, kTypeWord, [](S s, C, Out v) { PutU16(v, s.History.Query.HistoryRecordIndex); }, kTypeWord,
     [](H h, V v) { SetHistoryRecordIndex(*h.State, GetU16(v)); }},
    {65411, 65411, kTypeWord, HistoryRecordField, kNone, nullptr},
    {65412, 65412, kTypeCardinal, HistoryRecordField, kNone, nullptr},
    {65413, 65413, kTypeSingle, HistoryRecordField, kNone, nullptr},
    {65414, 65414, kTypeLongInt,
     [](S s, C, Out v) { PutU32(v, static_cast<std::uint32_t>(s.History.Query.HistoryCapacity)); }, kNone, nullptr},
    {65415, 65415, kNone, nullptr, kTypeBool, [](H h, V) { SaveHistories(*h.State); }},
    {65416, 65421, kTypeWord, [](S s, C c, Out v) { PutU16(v, s.History.Query.DateWords[c - 65416]); }, kNone, nullptr},
    {65531, 65531, kNone, nullptr, kTypeBool, [](H h, V) { ResetAndReopen(h); }},
    {65532, 65532, kTypeBuffer, BufferDescription, kNone, nullptr},
    {65533, 65533, kTypeDouble, [](S s, C, Out v) { PutDouble(v, s.Host.HostWriteValue); }, kTypeDouble,
     [](H h, V v) { h.State->Host.HostWriteValue = GetDouble(v); }},
    {65534, 65534, kTypeDouble, [](S s, C, Out v) { PutDouble(v, s.Host.HostWriteChannel); }, kTypeDouble,
     [](H h, V v) { h.State->Host.HostWriteChannel = static_cast<std::uint16_t>(TruncateToInt64(GetDouble(v))); }},
    {65535, 65535, kTypeBool, [](S s, C, Out v) { PutU8(v, s.Host.HostWritePending); }, kAnyTypeCode, IndirectWrite},
};

constexpr bool SortedWithoutOverlap() {
  for (std::size_t i = 0; i < std::size(kDriverChannels); ++i) {
    if (kDriverChannels[i].First > kDriverChannels[i].Last) return false;
    if (i > 0 && kDriverChannels[i - 1].Last >= kDriverChannels[i].First) return false;
  }
  return true;
}
static_assert(SortedWithoutOverlap(), "the driver channels are listed in order, each number once");

}  // namespace

const DriverChannel* FindDriverChannel(std::uint32_t channel) {
  const auto* end = std::end(kDriverChannels);
  const auto* it = std::upper_bound(std::begin(kDriverChannels), end, channel,
                                    [](std::uint32_t c, const DriverChannel& e) { return c < e.First; });
  if (it == std::begin(kDriverChannels)) return nullptr;
  --it;
  return channel <= it->Last ? it : nullptr;
}

void ReadDriverChannel(const DriverChannel& c, const DriverState& s, std::uint32_t channel, HostValue& v) {
  if (c.Read && v.TypeCode == c.ReadType) c.Read(s, channel, v);
}

void WriteDriverChannel(const DriverChannel& c, DriverHandle& h, const HostValue& v) {
  if (c.Write && (c.WriteType == kAnyTypeCode || v.TypeCode == c.WriteType)) c.Write(h, v);
}

}  // namespace qz
