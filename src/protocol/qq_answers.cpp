// "Q" codes of the newer station family: QQ variables, passwords, history
// samples and the history memory image.

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "config/driver_config.h"
#include "diag/log.h"
#include "diag/texts.h"
#include "history/history_readout.h"
#include "history/history_state.h"
#include "history/host_buffer.h"
#include "history/sample_readout.h"
#include "protocol/answer_context.h"
#include "protocol/answer_decoding.h"
#include "protocol/codecs.h"

namespace qz {

namespace {

constexpr std::uint8_t kPositionBlock = 186;
constexpr std::size_t kSampleRecordSize = 31;
constexpr std::size_t kSampleAnswerSize = 186;

// The kinds that read the samples of the period: either kind table.
bool SampleKindFits(std::uint8_t period, std::uint8_t kind) {
  if (period < 1 || period > 3) return false;
  return kind == KindByte(SampleReadKind(period, false)) || kind == KindByte(SampleReadKind(period, true));
}

// One record of 31 bytes, counted from 1: the BCD time stamp in bytes 1..6,
// the status in byte 7, eight three-byte values in bytes 8..31.
void StoreSample(HistorySample& sample, std::string_view record) {
  auto at = [&](std::size_t i) { return static_cast<std::uint8_t>(record[i - 1]); };
  for (std::size_t i = 0; i < 6; ++i) sample.Time[i] = static_cast<std::uint8_t>(BcdToInt(at(i + 1)));
  sample.Status = at(7);
  for (std::size_t v = 0; v < 8; ++v) sample.Values[v] = record.substr(7 + 3 * v, 3);
}

void HistorySamples(AnswerContext& c, std::uint8_t kind, std::uint16_t address, std::uint8_t q, std::string_view data) {
  SampleReadout& samples = c.target.Samples;
  const auto a = static_cast<std::uint16_t>(address - 0x8000);
  if (!SampleKindFits(samples.HistoryPeriod, kind) || q != kSampleAnswerSize || a % kSampleAnswerSize != 0) return;
  const std::size_t first = 6 * (a / kSampleAnswerSize) + 1;
  c.Append(std::string(text::kEvtSamples) + std::to_string(first) + std::string(text::kEvtSamplesTo) +
           std::to_string(first + 5) + std::string(text::kEvtSamplesEnd));
  std::size_t lastWritten = 0;
  for (std::size_t j = 0; j < 6; ++j) {
    const std::size_t index = first + j;
    if (index > kHistorySampleCount || !samples.HistorySamples) break;
    if (data.size() < (j + 1) * kSampleRecordSize) break;  // the record did not arrive whole
    StoreSample((*samples.HistorySamples)[index], data.substr(j * kSampleRecordSize, kSampleRecordSize));
    lastWritten = index;
  }
  if (lastWritten == 0) return;
  if (lastWritten == kHistorySampleCount) samples.HistorySamplesActive = 0;
  if (samples.HostBuffer) {
    WriteHostBuffer32(samples.HostBuffer, kHostBufferSampleCount, static_cast<std::uint32_t>(lastWritten));
    if (lastWritten == kHistorySampleCount) WriteHostBuffer32(samples.HostBuffer, kHostBufferState, kHostBufferComplete);
  }
}

void HistoryImageBytes(AnswerContext& c, std::uint8_t kind, std::uint16_t address, std::string_view data) {
  HistoryQuery& query = c.target.History.Query;
  if (query.HistoryState != HistoryPhase::ReadingRecords || !IsHistoryKind(static_cast<RequestKind>(kind))) return;
  query.HistoryBusy = 1;
  auto& image = c.target.History.ImageSlot(c.stationIndex);
  if (!image) image = std::make_unique<HistoryImage>();
  const std::size_t bank = kind - KindByte(RequestKind::HistoryFirst);
  StoreHistoryBytes(*image, bank * 65536 + address, data);
  query.HistoryBusy = 0;
}

std::size_t HistoryMemory(AnswerContext& c, std::size_t p) {
  const std::uint8_t kind = c.At(p + 2);
  const std::uint16_t address = c.WordLowFirst(p + 3);
  const std::uint8_t q = c.At(p + 5);
  const std::string_view data = c.Data(p + 6, q);
  HistorySamples(c, kind, address, q, data);
  HistoryImageBytes(c, kind, address, data);
  return static_cast<std::size_t>(q) + 7;
}

// The identification triplets of the QQ request that was sent: the bytes
// after the sub-code up to the trailer. Empty when the frame sent was no
// QQ request with that sub-code.
std::optional<std::string_view> SentTriplets(const AnswerContext& c, char subCode) {
  const DriverConfig& config = c.target.Config;
  std::string_view t = c.sent;
  const std::size_t prefix = config.Prefix.size();
  auto at = [&](std::size_t i) { return i >= 1 && i <= t.size() ? static_cast<std::uint8_t>(t[i - 1]) : std::uint8_t{0}; };
  const std::uint8_t kind = at(prefix + 3);
  std::size_t header = 0;
  if (kind == 'Y') header = 6;
  else if (kind == 'T' || kind == 't') header = 4 + at(prefix + 4);
  else return std::nullopt;
  const std::size_t sub = prefix + header + 2;  // "Q" at body start, then the sub-code
  if (at(sub - 1) != 'Q' || at(sub) != static_cast<std::uint8_t>(subCode)) return std::nullopt;
  const std::size_t tail = config.Suffix.size() + 1 + config.PreSuffix.size();  // trailer, check, lead-out
  if (t.size() < sub + tail) return std::string_view();
  return t.substr(sub, t.size() - sub - tail);
}

void QqWriteAnswer(AnswerContext& c) {
  HistoryQuery& query = c.target.History.Query;
  const auto sent = SentTriplets(c, 'Q');
  if (!sent) return;
  const std::string_view triplets = *sent;
  const auto userPosItem = static_cast<std::uint8_t>(query.HistoryUser + 4);
  for (std::size_t i = 0; i + 3 <= triplets.size(); i += 3) {
    const auto d = static_cast<std::uint8_t>(triplets[i]);
    const auto b = static_cast<std::uint8_t>(triplets[i + 1]);
    const auto a = static_cast<std::uint8_t>(triplets[i + 2]);
    if (query.HistoryState == HistoryPhase::WritingUserPos && d == kPositionBlock && b == 1 && a == userPosItem) {
      query.HistoryUserPos = query.HistoryTop;
      query.HistoryState = HistoryPhase::Finished;
      c.outcome.EventText = text::kEvtUserPosWritten;
      UpdateHistoryDateWords(c.target.History, c.target.Config.StationCount);
    }
  }
  c.Append(text::kEvtQqWriteAnswer);
}

struct QqValue {
  bool valid = true;
  std::int32_t integer = 0;
  std::uint32_t unsignedValue = 0;
  std::string_view text;  // four characters
};

QqValue ReadQqValue(std::string_view w) {
  QqValue v;
  if (w == "\xBE\xBE\xBE\xBE") {
    v.valid = false;
    v.integer = -12345;
    v.unsignedValue = 65536;
    return v;
  }
  v.unsignedValue = LittleEndian32(w);
  v.integer = static_cast<std::int32_t>(v.unsignedValue);
  v.text = w;
  return v;
}

struct PositionReadout {
  int hits = 0;
};

void ReadPosition(AnswerContext& c, PositionReadout& readout, std::uint8_t d, std::uint8_t b, std::uint8_t a,
                  const QqValue& v) {
  HistoryQuery& query = c.target.History.Query;
  if (query.HistoryState != HistoryPhase::ReadingPositions) return;
  const auto value = static_cast<std::int32_t>(v.unsignedValue);
  if (d == 0 && b == 0 && a == 1) {
    query.HistoryCapacity = v.unsignedValue == 1 ? 50000 : 6500;
  } else if (d == kPositionBlock && b == 1 && a == 13) {
    query.HistoryAux = value;
  } else if (d == kPositionBlock && b == 1 && a == 14) {
    query.HistoryTop = value;
  } else if (d == kPositionBlock && b == 1 && a == static_cast<std::uint8_t>(query.HistoryUser + 4)) {
    query.HistoryUserPos = value;
  } else {
    return;
  }
  if (!v.valid) query.HistoryState = HistoryPhase::Failed;
  if (++readout.hits != 4 || query.HistoryState == HistoryPhase::Failed) return;
  if (query.HistoryUserPos == query.HistoryTop) {
    query.HistoryState = HistoryPhase::Finished;
    c.outcome.EventText = text::kEvtPositionsNothingNew;
    return;
  }
  query.HistoryState = HistoryPhase::ReadingRecords;
  c.outcome.HistoryReads = HistoryReadoutRequests(query.HistoryStation, query.HistoryUserPos, query.HistoryTop);
  char buf[128];
  std::snprintf(buf, sizeof buf, std::string(text::kEvtPositionsFormat).c_str(), query.HistoryUserPos, query.HistoryTop);
  c.outcome.EventText = buf;
  query.HistoryElapsed = 0.0;
}

void StoreQqVariable(AnswerContext& c, std::uint8_t d, std::uint8_t b, std::uint8_t a, const QqValue& v) {
  const QqMatch match = FindQqByAddress(c.target.Config, c.stationIndex, d, b, a);
  QqVariable* var = match.Variable;
  if (!var || (var->Direction != QqDirection::Read && var->Direction != QqDirection::Bidir)) return;
  switch (var->Type) {
    case QqType::Byte: case QqType::Word: case QqType::Integer:
      var->FloatValue = static_cast<float>(v.integer);
      break;
    case QqType::Cardinal: var->FloatValue = static_cast<float>(v.unsignedValue); break;
    case QqType::Longint:
      var->FloatValue = static_cast<float>(v.integer);
      var->IntValue = v.integer;
      break;
    case QqType::Real: {
      const double value = v.valid ? QqRealToValue(v.unsignedValue) : -12345.0;
      var->FloatValue = static_cast<float>(value);
      c.target.Log.Line(text::kLogQqReal, SingleToText(v.unsignedValue));
      break;
    }
    case QqType::String: {
      std::string textValue = var->Text.str();
      textValue.resize(33, ' ');
      const std::string part = v.valid ? DisplayText(v.text) : std::string(4, ' ');
      textValue.replace(4 * static_cast<std::size_t>(match.Offset), 4, part);
      var->Text = textValue;
      break;
    }
  }
}

void QqReadAnswer(AnswerContext& c, std::size_t p) {
  Log& log = c.target.Log;
  const auto sent = SentTriplets(c, 'q');
  if (!sent) return;
  std::string_view triplets = *sent;
  // The values: r[p+2] up to the trailer before the check byte.
  const std::size_t tail = 1 + c.target.Config.PreSuffix.size();
  std::string_view values = c.n() >= p + 1 + tail ? c.r.substr(p + 1, c.n() - (p + 1) - tail) : std::string_view();
  if (values.size() / 4 != triplets.size() / 3) {
    log.Line(text::kLogQqData, text::kLogQqSyncError);
    return;
  }
  c.Append(std::string(text::kEvtQqReadAnswer) + std::to_string(values.size() / 4) +
           std::string(text::kEvtQqReadAnswerEnd));
  log.Line(text::kLogQqDecode, text::kLogQqStart);
  PositionReadout readout;
  while (triplets.size() >= 3 && values.size() >= 4) {
    const auto d = static_cast<std::uint8_t>(triplets[0]);
    const auto b = static_cast<std::uint8_t>(triplets[1]);
    const auto a = static_cast<std::uint8_t>(triplets[2]);
    const std::string_view w = values.substr(0, 4);
    char item[64];
    std::snprintf(item, sizeof item, "%d %d %d = %s", d, b, a, HexText(w).c_str());
    log.Line(text::kLogQqItem, item);
    const QqValue v = ReadQqValue(w);
    ReadPosition(c, readout, d, b, a, v);
    StoreQqVariable(c, d, b, a, v);
    triplets.remove_prefix(3);
    values.remove_prefix(4);
  }
  log.Line(text::kLogQqDecode, text::kLogQqEnd);
}

}  // namespace

std::size_t DecodeQCode(AnswerContext& c, std::size_t p) {
  switch (c.At(p + 1)) {
    case '!': return 3;
    case 'H':
      if (c.At(p + 2) != '1') return 3;
      c.Append(text::kEvtPassword);
      return 8;
    case 'N': return HistoryMemory(c, p);
    case 'Q': case 'X':
      QqWriteAnswer(c);
      return 0;
    case 'q': case 'x':
      QqReadAnswer(c, p);
      return 0;
    default: return 2;
  }
}

}  // namespace qz
