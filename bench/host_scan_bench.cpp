// The host's scan: one GetInput of every channel of a 100-station file in
// the ORIGINAL_CHANNELS numbering with every item count at its limit (about
// 48,000 calls), each with the record's right type code and under the
// instance lock, as the export does. Target: under 5 ms per scan with the
// channel index. The plain walk over the stations is measured beside it.

#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "config/par_file.h"
#include "host/channel_lookup.h"
#include "host/driver_handle.h"
#include "host/driver_state.h"
#include "host/host_value.h"
#include "host/input_requests.h"
#include "host/lifecycle.h"
#include "qzdrk485.h"

namespace {

const std::string kHead =
    "[COM]\r\n  IRQ 4\r\n  BASE $3F8\r\n  BAUD 9600\r\n  BITS 8\r\n  PARITY NONE\r\n  STOP 1\r\n  OPTIONS 0\r\n"
    "  BUFFER_SIZE 1024\r\n  DRIVER SYSTEM 1\r\nEND\r\n"
    "[GLOBAL]\r\n  PREFIX $10$02\r\n  SUFFIX $10$03\r\n  PRESUFFIX NONE\r\n  ADDRESS 1\r\n  ANSWER_TIME 1.5\r\n"
    "  SILENCE_WAIT 20\r\n  RTS_TIME_ON 5\r\n  RTS_TIME_OFF 6\r\n  DEF_ANALOG_IN_ADDR 100\r\nEND\r\n";

std::string StationGroup(int n) {
  return "[STATION]\r\n  ADDRESS " + std::to_string(n) + "\r\n  RETRANSLATION 0\r\n  NAME \"Station " +
         std::to_string(n) +
         "\"\r\n  NUM_BINAR_IN 96\r\n  NUM_BINAR_OUT 96\r\n  NUM_ANALOG_IN 64\r\n  NUM_COUNTER_IN 48\r\n"
         "  NUM_MEMORY_IN 45\r\n  NUM_MEMORY_OUT 100\r\n  BINAR_IN_XOR 1 2 3\r\n  BINAR_OUT_XOR NONE\r\n"
         "  DEF_ANALOG_IN_ADDR FROM_GLOBAL\r\n  DEF_MEMORY_IN NONE\r\n  DEF_MEMORY_OUT NONE\r\n  DEF_COUNTER_IN NONE\r\n"
         "  ORIGINAL_CHANNELS\r\nEND\r\n";
}

struct Scan {
  std::uint32_t Channel;
  std::uint32_t Type;
};

std::uint32_t TypeOf(const qz::StationChannel& c) {
  using qz::ItemKind;
  switch (c.Kind) {
    case ItemKind::BinarIn:
    case ItemKind::BinarOut: return qz::kTypeBool;
    case ItemKind::Video: return qz::kTypeText;
    case ItemKind::Status: {
      const auto s = c.Status();
      const bool value = s == qz::StatusChannel::ErrorNoAnswer || s == qz::StatusChannel::MsgCounter ||
                         s == qz::StatusChannel::ErrorInMess || s == qz::StatusChannel::SilenceTime ||
                         s == qz::StatusChannel::SleepTime || s == qz::StatusChannel::ErrCount;
      return value ? qz::kTypeDouble : qz::kTypeBool;
    }
    default: return qz::kTypeDouble;
  }
}

class Host {
 public:
  Host() : h_(qz::MakeDriverInstance()) {
    qz::DriverState& s = *h_->State;
    qz::InitDriverState(s);
    std::string file = kHead;
    for (int n = 1; n <= qz::kMaxStations; ++n) file += StationGroup(n);
    loaded_ = qz::LoadParameterText(s.Config, s.Log, nullptr, file);
    qz::ClearStationValues(s.Config);
    qz::IndexChannels(*h_);
    for (std::uint32_t k = 1; k <= 65535; ++k) {
      const qz::StationChannel c = qz::FindStationChannel(s, static_cast<std::uint16_t>(k));
      if (c) channels_.push_back({k, TypeOf(c)});
    }
  }
  ~Host() { qz::DisposeInstance(h_); }

  bool Loaded() const { return loaded_; }
  std::size_t Channels() const { return channels_.size(); }
  void UsePlainWalk() { h_->Channels.Clear(); }

  void ScanOnce() {
    for (const Scan& scan : channels_) {
      HostValue v{};
      v.TypeCode = scan.Type;
      if (scan.Type == qz::kTypeText) {
        char* p = text_.data();
        std::memcpy(v.ValueBytes, &p, sizeof p);
      }
      std::lock_guard guard(h_->Lock);  // as the export takes it
      qz::GetInput(*h_, scan.Channel, v);
      benchmark::DoNotOptimize(v);
    }
  }

 private:
  DriverHandle* h_;
  bool loaded_ = false;
  std::vector<Scan> channels_;
  std::array<char, 256> text_{};
};

void Run(benchmark::State& state, bool indexed) {
  Host host;
  if (!host.Loaded()) {
    state.SkipWithError("parameter file did not load");
    return;
  }
  if (!indexed) host.UsePlainWalk();
  for (auto _ : state) host.ScanOnce();
  state.counters["channels"] = static_cast<double>(host.Channels());
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * host.Channels()));
}

void BM_FullScanIndexed(benchmark::State& state) { Run(state, true); }
void BM_FullScanPlainWalk(benchmark::State& state) { Run(state, false); }

BENCHMARK(BM_FullScanIndexed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullScanPlainWalk)->Unit(benchmark::kMillisecond);

}  // namespace
