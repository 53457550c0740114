#include "host/queue_requests.h"

#include <cmath>
#include <cstring>
#include <string>

#include "engine/request_queue.h"
#include "history/host_buffer.h"
#include "host/driver_state.h"

namespace qz {

namespace {

std::string Address(const QqVariable& v, std::uint8_t item) {
  return {static_cast<char>(v.Block), static_cast<char>(v.Group), static_cast<char>(item)};
}

// The single truncated toward zero, its low 32 bits; NaN gives 0 and values
// beyond 64 bits the nearest 64-bit number.
std::uint32_t TruncatedBits(float value) {
  if (std::isnan(value)) return 0;
  const double t = std::trunc(static_cast<double>(value));
  if (t >= 9.2e18) return 0xFFFFFFFFu;
  if (t <= -9.2e18) return 0;
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(t)));
}

std::uint32_t WriteValueBits(const QqVariable& v) {
  switch (v.Type) {
    case QqType::Byte:
    case QqType::Word:
    case QqType::Integer:
    case QqType::Cardinal: return TruncatedBits(v.FloatValue);
    case QqType::Longint: return static_cast<std::uint32_t>(v.IntValue);
    case QqType::Real: {
      std::uint32_t bits = 0;
      std::memcpy(&bits, &v.FloatValue, sizeof bits);
      return bits;
    }
    default: return 0;
  }
}

void Insert(RequestQueue& queue, int station, RequestKind kind, std::uint16_t item, std::string data) {
  Request r;
  r.Station = static_cast<std::uint8_t>(station);
  r.Kind = kind;
  r.Item = item;
  r.Data = data;
  queue.Insert(r);
}

}  // namespace

void QueueQqRequest(DriverState& state, int station, const QqVariable& variable, QqAccess access) {
  if (access == QqAccess::Read) {
    const int count = variable.Type == QqType::String ? 8 : 1;
    for (int k = 0; k < count; ++k) {
      const auto item = static_cast<std::uint8_t>(variable.Item + k);
      Insert(state.Engine.ReadQueue, station, RequestKind::QqRead, 0, Address(variable, item));
    }
    return;
  }
  if (variable.Type == QqType::String) return;
  std::string data = Address(variable, variable.Item);
  const std::uint32_t bits = WriteValueBits(variable);
  for (int i = 0; i < 4; ++i) data.push_back(static_cast<char>(bits >> (8 * i)));
  Insert(state.Engine.WriteQueue, station, RequestKind::QqWrite, 0, data);
}

bool QueueSampleRead(DriverState& state) {
  const int station = state.Samples.SampleStation;
  if (station == 0 || station > state.Config.StationCount) return false;
  state.Samples.SampleReadoutStation = state.Samples.SampleStation;
  state.Samples.HistorySamplesActive = 1;
  const RequestKind kind = SampleReadKind(state.Samples.HistoryPeriod, state.Engine.SampleKindSwitch != 0);
  for (int k = 1; k <= kSampleReadRequests; ++k) {
    const auto item = static_cast<std::uint16_t>(kSampleReadFirstItem + kSampleReadStep * (k - 1));
    Insert(state.Engine.ReadQueue, station, kind, item, {});
  }
  MarkHostBufferStarted(state.Samples.HostBuffer);
  return true;
}

}  // namespace qz
