#include "protocol/request_encoding.h"

#include <algorithm>
#include <optional>
#include <string>

#include "config/driver_config.h"
#include "diag/log.h"
#include "diag/texts.h"
#include "protocol/codecs.h"
#include "protocol/framing.h"

namespace qz {

namespace {

using Body = std::optional<std::string>;  // none: no frame for this request

char Byte(int value) { return static_cast<char>(static_cast<std::uint8_t>(value)); }

void AppendWord(std::string& body, std::uint16_t w) {
  body.push_back(Byte(LowByte(w)));
  body.push_back(Byte(HighByte(w)));
}

// Bit k of the result is output 8*group + k + 1.
std::uint8_t OutputByte(const StationRecord& s, int group) {
  std::uint8_t b = 0;
  for (int k = 0; k < 8; ++k) {
    const int i = 8 * group + k + 1;
    if (i <= kMaxBinarOut && s.BinarOutValue[static_cast<std::size_t>(i)] != 0) SetBit(b, k);
  }
  return b;
}

Body BinaryInputs(const StationRecord& s) {
  if (s.NumBinarIn == 0) return std::nullopt;
  return std::string{'B', Byte(s.NumBinarIn > 64 ? 0 : ByteMask(s.NumBinarIn / 8))};
}

Body AnalogMemoryRead(const StationRecord& s) {
  if (s.NumAnalogIn == 0) return std::nullopt;
  std::string body{'N'};
  AppendWord(body, s.DefAnalogInAddr);
  body.push_back(Byte(3 * s.NumAnalogIn));
  return body;
}

Body Counters(const StationRecord& s, bool zero) {
  if (s.NumCounterIn == 0 || s.NumCounterIn > kMaxCounterIn) return std::nullopt;
  std::uint8_t mask = ByteMask(s.NumCounterIn / 8);
  if (zero) SetBit(mask, 7);
  return std::string{'C', Byte(mask)};
}

Body BinaryOutputs(const StationRecord& s) {
  if (s.NumBinarOut == 0) return std::nullopt;
  const std::uint8_t mask = s.NumBinarOut <= 64 ? ByteMask(s.NumBinarOut / 8) : 0;
  std::string body{'b', Byte(mask)};
  if (mask == 0) {
    for (int g = 0; g < 12; ++g) body.push_back(Byte(OutputByte(s, g)));
  } else {
    for (int g = 0; g < 8; ++g)
      if (BitOfByte(mask, g)) body.push_back(Byte(OutputByte(s, g)));
  }
  return body;
}

std::uint32_t Limited(double value, double high) {
  return static_cast<std::uint32_t>(std::clamp(value, 0.0, high));
}

Body MemoryWrite(const StationRecord& s, std::uint16_t item) {
  if (s.NumMemoryOut == 0 || !Array1<MemoryDef, kMaxMemoryOut>::Contains(item)) return std::nullopt;
  const MemoryDef& m = s.MemoryOut[item];
  std::string body{'n'};
  AppendWord(body, m.Address);
  const double value = m.Value;
  switch (m.Type) {
    case MemoryType::Byte:
      body.push_back(1);
      body.push_back(Byte(static_cast<int>(Limited(value, 255.0))));
      break;
    case MemoryType::Word:
      body.push_back(2);
      AppendWord(body, static_cast<std::uint16_t>(Limited(value, 65535.0)));
      break;
    case MemoryType::Real:
      body.push_back(3);
      body += Float24Bytes(EncodeFloat24(value));
      break;
    default: return std::nullopt;
  }
  return body;
}

Body MemoryRead(Log& log, const StationRecord& s, std::uint16_t item) {
  if (s.NumMemoryIn == 0) return std::nullopt;
  std::string body{'N'};
  if (s.MemoryInArray) {
    const std::uint16_t address = s.MemoryIn[1].Address;
    AppendWord(body, address);
    body.push_back(Byte(3 * s.NumMemoryIn));
    log.Line(text::kLogCodeMessMiBlock, RealText(address, 5, 0));
    return body;
  }
  if (!Array1<MemoryDef, 100>::Contains(item)) return std::nullopt;
  const MemoryDef& m = s.MemoryIn[item];
  AppendWord(body, m.Address);
  body.push_back(Byte(static_cast<int>(m.Type)));
  log.Line(text::kLogCodeMessMi, RealText(m.Address, 5, 0));
  return body;
}

Body AnalogInputs(const StationRecord& s) {
  if (s.NumAnalogIn == 0 || s.NumAnalogIn > kMaxAnalogIn) return std::nullopt;
  return std::string{'A', Byte(ByteMask(s.NumAnalogIn / 8))};
}

Body MemoryOutReadAll(const StationRecord& s) {
  std::string body{'k', Byte(0xFF)};
  for (std::size_t i = 1; i <= 8; ++i) body += Float24Bytes(EncodeFloat24(s.MemoryOut[i].Value));
  return body;
}

Body BlockRead(const Request& r) {
  if (!r.Block) return std::nullopt;
  std::string body{'N'};
  AppendWord(body, r.Block->Addr);
  body.push_back(Byte(r.Block->ByteCount));
  return body;
}

// Writes item Item of the block; its address follows the items before it.
Body BlockItemWrite(const Request& r) {
  if (!r.Block || r.Item < 1 || r.Item > r.Block->Types.size()) return std::nullopt;
  std::uint32_t offset = 0;
  int size = 0;
  for (std::size_t i = 1; i <= r.Item; ++i) {
    size = BlockItemSize(static_cast<BlockItemType>(r.Block->Types.byte(i - 1)));
    if (size == 0) return std::nullopt;
    if (i < r.Item) offset += static_cast<std::uint32_t>(size);
  }
  // A value shorter than the item would write bytes nobody gave.
  if (r.Data.size() < static_cast<std::size_t>(size)) return std::nullopt;
  std::string body{'n'};
  AppendWord(body, static_cast<std::uint16_t>(r.Block->Addr + offset));
  body.push_back(Byte(size));
  body.append(r.Data.view().substr(0, static_cast<std::size_t>(size)));
  return body;
}

Body HistoryRead(const Request& r, std::uint8_t count) {
  std::string body{'Q', 'N', Byte(KindByte(r.Kind))};
  AppendWord(body, r.Item);
  body.push_back(Byte(count));
  return body;
}

Body EncodeBody(Log& log, const StationRecord& s, const Request& r) {
  if (IsHistoryKind(r.Kind)) return HistoryRead(r, r.Data.byte(0));
  switch (r.Kind) {
    case RequestKind::ReadBI: return BinaryInputs(s);
    case RequestKind::ReadAI: return AnalogMemoryRead(s);
    case RequestKind::ReadCT: return Counters(s, false);
    case RequestKind::ReadAndClearCT: return Counters(s, true);
    case RequestKind::WriteBO: return BinaryOutputs(s);
    case RequestKind::WriteMO: return MemoryWrite(s, r.Item);
    case RequestKind::ReadMI: return MemoryRead(log, s, r.Item);
    case RequestKind::ReadAImorven: return AnalogInputs(s);
    case RequestKind::ReadKI: return std::string{'K', Byte(0xFF)};
    case RequestKind::WriteKO: return MemoryOutReadAll(s);
    case RequestKind::QqWrite: return "QQ" + r.Data.str();
    case RequestKind::QqRead: return "Qq" + r.Data.str();
    case RequestKind::BlockRead: return BlockRead(r);
    case RequestKind::BlockWrite: return BlockItemWrite(r);
    case RequestKind::SamplesPeriod1: case RequestKind::SamplesPeriod2: case RequestKind::SamplesPeriod3:
    case RequestKind::SamplesPeriod1b: case RequestKind::SamplesPeriod2b: case RequestKind::SamplesPeriod3b:
      return HistoryRead(r, 186);
    case RequestKind::FirstOutputsOn: return std::string{'b', 1, Byte(0xFF)};
    default: return std::string();
  }
}

}  // namespace

std::string FrameHeader(const DriverConfig& config, const StationRecord& s) {
  if (!s.Phone.empty()) {
    std::string header{Byte(s.Address), 0, s.PhoneDial ? 't' : 'T', Byte(static_cast<int>(s.Phone.size()))};
    return header + s.Phone.str();
  }
  return std::string{Byte(s.Retranslation), 0, 'Y', Byte(config.MasterAddress), Byte(s.Address),
                     Byte(config.MasterAddress)};
}

ShortStr CodeMess(const DriverConfig& config, Log& log, const Request& request) {
  if (!Array1<int, kMaxStations>::Contains(request.Station) || !config.Stations[request.Station]) return {};
  const StationRecord& s = config.Station(request.Station);
  const Body body = EncodeBody(log, s, request);
  ShortStr frame;
  if (body) frame = FrameMessage(config, FrameHeader(config, s), *body);
  log.Line(text::kLogCodeMess,
          std::string(text::kCodeMessStationAddr) + Dec3(s.Address) + std::string(text::kCodeMessKind) +
              Dec3(KindByte(request.Kind)));
  return frame;
}

}  // namespace qz
