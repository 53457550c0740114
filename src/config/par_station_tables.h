#pragma once
// Readers of the station keywords that take more than one value token:
// inversion masks, memory, counter and limit tables, phone, QQ variables
// and memory blocks. Each starts on the keyword's first value token, sets
// the keyword's flag as it succeeds or fails and returns the outcome.

#include <cstdint>

#include "config/driver_config.h"
#include "diag/log.h"

namespace qz {

class ParReader;

// On failure the flag stays as it was; entries set before the bad number
// stay set.
bool LoadBinarXor(ParReader& r, int index, Array1<std::uint8_t, kMaxBinarIn>& mask);
// arrayFlag is the station's MemoryInArray for DEF_MEMORY_IN, null for OUT.
bool LoadMemoryTable(ParReader& r, int index, Array1<MemoryDef, 100>& table, std::uint8_t* arrayFlag);
bool LoadCounterTable(ParReader& r, int index, Array1<CounterDef, kMaxCounterIn>& counters);
bool LoadAnalogLimits(ParReader& r, int index, Array1<AnalogLimit, kMaxAnalogIn>& limits);
// Always succeeds; the driver then no longer polls by itself.
bool LoadPhone(ParReader& r, int index, StationRecord& station);
bool LoadQq(ParReader& r, int index, StationRecord& station);
bool LoadMemoryBlock(ParReader& r, int index, StationRecord& station);

}  // namespace qz
