#pragma once
// The read-out of a station's sample memory into the host's sample buffer:
// the 528 samples as they arrive, the host's selection and the buffer the
// host registered.

#include <array>
#include <cstdint>
#include <memory>

#include "config/index1.h"
#include "config/short_str.h"

namespace qz {

inline constexpr int kHistorySampleCount = 528;

struct HistorySample {
  std::array<std::uint8_t, 6> Time{};
  std::uint8_t Status = 0;
  std::array<BoundedStr<3>, 8> Values;
};

// Clears one sample: time and status 0, every value the Float24 0.
void ClearHistorySample(HistorySample& sample);

struct SampleReadout {
  std::unique_ptr<Array1<HistorySample, kHistorySampleCount>> HistorySamples;
  std::uint16_t HistorySampleIndex = 1;  // the sample the host reads on its channels
  // The period the host selected (1..3) and the running flag.
  std::uint8_t HistoryPeriod = 1;
  std::uint8_t HistorySamplesActive = 0;
  // The host's registered sample buffer (none until SetBufferAddr).
  std::uint8_t* HostBuffer = nullptr;
  std::uint8_t SampleStation = 0;         // station the host selected (channel 60000)
  std::uint8_t SampleReadoutStation = 0;  // copy taken when a read-out starts; names the file
  std::uint8_t SampleFileFlag = 0;        // 1: the last sample file was written completely
};

// Allocates and clears the sample table and resets the host's selection;
// a registered host buffer stays.
void InitSampleReadout(SampleReadout& samples);

}  // namespace qz
