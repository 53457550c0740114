#include "history/sample_readout.h"

#include <string>

namespace qz {

void ClearHistorySample(HistorySample& sample) {
  sample.Time.fill(0);
  sample.Status = 0;
  for (auto& v : sample.Values) v = std::string(3, '\0');
}

void InitSampleReadout(SampleReadout& s) {
  s.HistorySamples = std::make_unique<Array1<HistorySample, kHistorySampleCount>>();
  for (auto& sample : *s.HistorySamples) ClearHistorySample(sample);
  s.HistorySampleIndex = 1;
  s.HistoryPeriod = 1;
  s.HistorySamplesActive = 0;
  s.SampleStation = 0;
  s.SampleReadoutStation = 0;
  s.SampleFileFlag = 0;
}

}  // namespace qz
