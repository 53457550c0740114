#include "protocol/answer_decoding.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>

#include "config/driver_config.h"
#include "diag/log.h"
#include "diag/texts.h"
#include "protocol/answer_context.h"
#include "protocol/answer_pairing.h"
#include "protocol/codecs.h"
#include "protocol/framing.h"

namespace qz {

namespace {

constexpr std::size_t kStop = 0;  // a case result: decoding ends here

int StationByAddress(const DriverConfig& config, std::uint8_t address) {
  for (int n = 1; n <= config.StationCount && n <= kMaxStations; ++n) {
    const auto& slot = config.Stations[static_cast<std::size_t>(n)];
    if (slot && slot->Address == address) return n;
  }
  return 0;
}

// Bits 0..7 of the mask in rising order, with the running count of set bits.
template <class F>
void ForEachGroup(std::uint8_t mask, int lastGroup, F f) {
  int index = 0;
  for (int g = 0; g <= lastGroup; ++g)
    if (BitOfByte(mask, g)) f(g, index++);
}

int GroupCount(std::uint8_t mask, int lastGroup) {
  int count = 0;
  ForEachGroup(mask, lastGroup, [&](int, int) { ++count; });
  return count;
}

std::size_t AnalogRawWords(AnswerContext& c, std::size_t p) {
  const std::uint8_t m = c.At(p + 1);
  StationRecord& s = c.station;
  ForEachGroup(m, 7, [&](int g, int index) {
    for (int j = 1; j <= 8; ++j) {
      const auto i = static_cast<std::size_t>(8 * g + j);
      std::uint16_t w = c.WordHighFirst(p + 2 + 16 * static_cast<std::size_t>(index) + 2 * static_cast<std::size_t>(j - 1));
      c.target.Log.Line(text::kLogAnalogWord, std::to_string(w));
      double fullScale = 255.0;
      if (BitOfWord(w, 15)) {
        fullScale = 4095.0;
        ClearWordBit(w, 15);
      }
      AnalogLimit& limit = s.AnalogLimits[i];
      const double v = std::trunc(std::clamp(w + double(limit.Third), 0.0, fullScale));
      limit.Work = static_cast<std::uint16_t>(v);
      const double low = limit.Low;
      const double high = limit.High;
      s.AnalogInValue[i] = low + (high - low) * v / fullScale;
      c.target.Log.Line(std::string(text::kLogAnalogLow) + RealText(low, 10, 2),
              std::string(text::kLogAnalogHigh) + RealText(high, 10, 2));
      c.target.Log.Line(std::string(text::kLogAnalogValue) + std::to_string(i), RealText(s.AnalogInValue[i], 0, 0));
    }
  });
  s.Flags.bi_new_AI = 1;
  c.Append(text::kEvtAnalogMorven);
  return 2 + 16 * static_cast<std::size_t>(GroupCount(m, 7));
}

// "B" stores the inputs, "b" only echoes the outputs.
std::size_t BinaryBytes(AnswerContext& c, std::size_t p, bool store) {
  const std::uint8_t m = c.At(p + 1);
  auto apply = [&](int g, std::size_t at) {
    const std::uint8_t bits = c.At(at);
    for (int k = 0; k < 8; ++k)
      c.station.BinarInValue[static_cast<std::size_t>(8 * g + k + 1)] = BitOfByte(bits, k) ? 1 : 0;
  };
  if (store) {
    if (m == 0) {
      for (int g = 0; g < 12; ++g) apply(g, p + 2 + static_cast<std::size_t>(g));
    } else {
      ForEachGroup(m, 7, [&](int g, int index) { apply(g, p + 2 + static_cast<std::size_t>(index)); });
    }
    c.station.Flags.bi_new_BI = 1;
  }
  c.Append(store ? text::kEvtBinaryIn : text::kEvtBinaryOut);
  return m == 0 ? 14 : 2 + static_cast<std::size_t>(GroupCount(m, 7));
}

void CommitCounter(CounterDef& counter) {
  const double x = counter.Factor * counter.Value;
  if (counter.Period == CounterPeriod::Real) {
    counter.PrevValue = x;
  } else {
    counter.PrevValue = counter.PrevValue + x;
    counter.Value = 0.0;
  }
}

std::size_t Counters(AnswerContext& c, std::size_t p) {
  const std::uint8_t m = c.At(p + 1);
  StationRecord& s = c.station;
  auto counter = [&](int g, int j) -> CounterDef& { return s.Counters[static_cast<std::size_t>(8 * g + j)]; };
  if (BitOfByte(m, 7)) {
    ForEachGroup(m, 5, [&](int g, int) {
      for (int j = 1; j <= 8; ++j) CommitCounter(counter(g, j));
    });
    s.Flags.bi_new_CT = 1;
    c.Append(text::kEvtCountersZeroed);
    return 2;
  }
  ForEachGroup(m, 5, [&](int g, int index) {
    for (int j = 1; j <= 8; ++j) {
      CounterDef& ct = counter(g, j);
      ct.Value = c.WordHighFirst(p + 2 + 16 * static_cast<std::size_t>(index) + 2 * static_cast<std::size_t>(j - 1));
      if (!s.Phone.empty()) CommitCounter(ct);
    }
  });
  c.Append(text::kEvtCounters);
  return 2 + 16 * static_cast<std::size_t>(GroupCount(m, 5));
}

std::size_t ErrorAnswer(AnswerContext& c, std::size_t p) {
  const std::uint8_t e = c.At(p + 1);
  StationRecord& s = c.station;
  ++s.ErrorAnswerCount;
  s.ErrorRun = static_cast<std::uint8_t>(s.ErrorRun + 1);
  s.Flags.in_last_com_err = 1;
  c.Append(std::string(text::kEvtErrorNumber) + std::to_string(e) + " (" + std::string(ErrorText(e)) + ") ");
  return 2;
}

// "K" stores the memory outputs 1..8, "k" only echoes them.
std::size_t MemoryOutValues(AnswerContext& c, std::size_t p, bool store) {
  const std::uint8_t m = c.At(p + 1);
  if (store) {
    ForEachGroup(m, 7, [&](int g, int index) {
      const std::size_t at = p + 2 + 3 * static_cast<std::size_t>(index);
      c.station.MemoryOut[static_cast<std::size_t>(g + 1)].Value = DecodeFloat24(c.At(at), c.At(at + 1), c.At(at + 2));
    });
    c.station.Flags.bi_new_MI = 1;
  }
  c.Append(store ? text::kEvtMemoryOutRead : text::kEvtMemoryOutEcho);
  return 2 + 3 * static_cast<std::size_t>(GroupCount(m, 7));
}

// The data of a memory answer are only the bytes that arrived: a count byte
// that promises more never makes the decoder store bytes it did not get.
void AnalogFromMemory(AnswerContext& c, std::string_view data) {
  c.Append(text::kEvtAnalogMemory);
  const std::size_t count = std::min<std::size_t>(data.size() / 3, kMaxAnalogIn);
  for (std::size_t j = 1; j <= count; ++j) c.station.AnalogInValue[j] = DecodeFloat24(data.substr(3 * (j - 1), 3));
  c.station.Flags.bi_new_AI = 1;
}

void MemoryInBlock(AnswerContext& c, std::string_view data) {
  StationRecord& s = c.station;
  c.Append(text::kEvtMemoryInBlock);
  const std::size_t count = std::min<std::size_t>({data.size() / 3, s.NumMemoryIn, s.MemoryIn.size()});
  for (std::size_t j = 1; j <= count; ++j) s.MemoryIn[j].Value = DecodeFloat24(data.substr(3 * (j - 1), 3));
  s.Flags.bi_new_MI = 1;
}

void MemoryInItem(AnswerContext& c, std::uint16_t address, std::string_view data) {
  StationRecord& s = c.station;
  const std::size_t last = std::min<std::size_t>(s.NumMemoryIn, s.MemoryIn.size());
  std::size_t j = 1;
  while (j <= last && s.MemoryIn[j].Address != address) ++j;
  if (j > last) return;
  c.Append(std::string(text::kEvtMemoryIn) + std::to_string(j) + " ");
  double value = 0.0;
  switch (s.MemoryIn[j].Type) {
    case MemoryType::Byte:
      if (data.size() < 1) return;
      value = static_cast<std::uint8_t>(data[0]);
      break;
    case MemoryType::Word:
      if (data.size() < 2) return;
      value = static_cast<std::uint8_t>(data[0]) + 256 * static_cast<std::uint8_t>(data[1]);
      break;
    case MemoryType::Real:
      if (data.size() < 3) return;
      value = DecodeFloat24(data);
      break;
    default: break;
  }
  s.MemoryIn[j].Value = value;
  s.Flags.bi_new_MI = 1;
  c.target.Log.Line(text::kLogDecodeMi,
          std::string(text::kLogMiIndex) + RealText(double(j), 3, 0) + std::string(text::kLogMiAddr) + HexWord(address) +
              std::string(text::kLogMiValue) + RealText(value, 6, 1));
}

void MemoryBlocks(AnswerContext& c, std::uint16_t address, std::string_view data) {
  for (MemoryBlock* block = c.station.MemoryBlocks.get(); block; block = block->Next.get()) {
    if (block->Addr != address) continue;
    c.Append(std::string(text::kEvtMemoryBlock) + HexWord(address) + ") ");
    std::size_t used = 0;
    for (std::size_t i = 1; i <= block->Types.size() && i <= block->Items.size(); ++i) {
      const auto size = static_cast<std::size_t>(BlockItemSize(static_cast<BlockItemType>(block->Types.byte(i - 1))));
      if (size == 0 || used + size > data.size()) break;
      std::array<std::uint8_t, 4> raw{};
      std::memcpy(raw.data(), data.data() + used, size);
      block->Items[i].Value = static_cast<std::int32_t>(raw[0] | (raw[1] << 8) | (raw[2] << 16) |
                                                        (static_cast<std::uint32_t>(raw[3]) << 24));
      used += size;
    }
  }
}

std::size_t MemoryRead(AnswerContext& c, std::size_t p) {
  const std::uint16_t a = c.WordLowFirst(p + 1);
  const std::uint8_t q = c.At(p + 3);
  const std::string_view data = c.Data(p + 4, q);
  StationRecord& s = c.station;
  if (a == s.DefAnalogInAddr) AnalogFromMemory(c, data);
  if (q == 3 * s.NumMemoryIn && s.MemoryInArray && a == s.MemoryIn[1].Address) MemoryInBlock(c, data);
  if (q >= 1 && q <= 3 && s.NumMemoryIn > 0) MemoryInItem(c, a, data);
  MemoryBlocks(c, a, data);
  return 4 + q;
}

std::size_t MemoryWriteAck(AnswerContext& c, std::size_t p) {
  c.Append(std::string(text::kEvtWriteAtAddress) + HexWord(c.WordLowFirst(p + 1)) + " ");
  return 4 + static_cast<std::size_t>(c.At(p + 3));
}

std::size_t DecodeCode(AnswerContext& c, std::size_t p) {
  switch (c.At(p)) {
    case 'Y': case 'y': return 4;
    case 'A': return AnalogRawWords(c, p);
    case 'B': return BinaryBytes(c, p, true);
    case 'b': return BinaryBytes(c, p, false);
    case 'C': return Counters(c, p);
    case 'E': return ErrorAnswer(c, p);
    case 'H':
      c.station.Flags.in_active_message = 1;
      c.station.Flags.in_connected_modem = 1;
      c.ackRequired = true;
      c.Append(text::kEvtActiveReport);
      return 1;
    case 'K': return MemoryOutValues(c, p, true);
    case 'k': return MemoryOutValues(c, p, false);
    case 'L': case 'R': return 2;
    case 'N': return MemoryRead(c, p);
    case 'n': return MemoryWriteAck(c, p);
    case 'Q': return DecodeQCode(c, p);
    case 'X':
      c.station.Flags.bi_new_err_control = 1;
      c.ackRequired = true;
      c.Append(text::kEvtControlError);
      return 1;
    default: return kStop;
  }
}

// Codes whose content is station values: inputs, counters, memory, the
// history and sample memory.
bool CarriesValues(std::string_view r, std::size_t p) {
  const auto at = [&](std::size_t i) { return i < r.size() ? static_cast<std::uint8_t>(r[i - 1]) : std::uint8_t{0}; };
  switch (at(p)) {
    case 'A': case 'B': case 'C': case 'K': case 'N': return true;
    case 'Q': return at(p + 1) == 'N';
    default: return false;
  }
}

void ResetStationStatus(StationRecord& s) {
  s.SilenceSeconds = 0.0;
  s.SleepTimer = 0.0;
  s.TimeoutRun = 0;
  s.Flags.in_last_com_err = 0;
}

}  // namespace

void AnswerContext::Append(std::string_view text) { outcome.EventText += text; }

std::string_view ErrorText(unsigned code) {
  static constexpr std::array<std::string_view, 9> kTexts = {
      text::kErrorText0, text::kErrorText1, text::kErrorText2, text::kErrorText3, text::kErrorText4,
      text::kErrorText5, text::kErrorText6, text::kErrorText7, text::kErrorText8};
  return code < kTexts.size() ? kTexts[code] : std::string_view();
}

DecodeOutcome DecodeMess(const AnswerTarget& target, std::string_view received, std::string_view sent,
                         AnswerValues values) {
  DecodeOutcome outcome;
  const DriverConfig& config = target.Config;
  received = received.substr(0, kMaxFrame);
  auto byteAt = [&](std::size_t i) {
    return i >= 1 && i <= received.size() ? static_cast<std::uint8_t>(received[i - 1]) : std::uint8_t{0};
  };
  const std::uint8_t kind = byteAt(3);
  const bool yHeader = kind == 'Y' || kind == 'y';
  const std::uint8_t addressee = yHeader ? byteAt(1) : config.MasterAddress;
  const std::uint8_t sender = yHeader ? byteAt(6) : byteAt(1);
  if (addressee != config.MasterAddress) return outcome;
  const int n = StationByAddress(config, sender);
  if (n == 0) return outcome;

  outcome.Accepted = true;
  StationRecord& s = target.Config.Station(n);
  target.Log.HexDump(text::kLogDecodeReceived, received);
  ResetStationStatus(s);
  outcome.EventText = std::string(60, ' ') + std::string(text::kEvtAnswerMark) + s.Name.str() +
                           std::string(text::kEvtAnswerNameEnd);

  AnswerContext c{target, outcome, s, n, received, sent};
  for (std::size_t p = 3; p < c.n();) {
    const bool skip = values == AnswerValues::Skip && CarriesValues(received, p);
    const std::size_t consumed = skip ? AnswerCodeLength(received, p) : DecodeCode(c, p);
    if (consumed == kStop) break;
    p += consumed;
  }

  if (c.ackRequired) {
    target.Log.Line(text::kLogAnswer, text::kLogAnswerAck);
    outcome.AckFrame = AcknowledgementFrame(config, received);
    target.Log.HexDump(text::kLogSend, outcome.AckFrame);
    outcome.AckRequired = true;
  }
  return outcome;
}

}  // namespace qz
