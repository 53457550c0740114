#pragma once
// The sample file (.CUC) of a sample read-out: 528 samples of 31 bytes
// (six time-stamp bytes, the status byte, eight three-byte values), no
// header, in the sample folder under a name made of the station code, the
// sample period and the reference sample's date.

#include <string>

namespace qz {

struct DriverState;

// Station code of an address: 07 below 100, else a letter and a digit
// (123 gives C3).
std::string StationCode(int address);

// "SSPDMMHH.CUC" without the folder, for the read-out station.
std::string SampleFileName(const DriverState& state);

// The folder of the sample files (CUC_PATH, ending in a separator).
std::string SampleFolder(const DriverState& state);

// Writes the file; false when it could not be created or written whole.
bool WriteSampleFile(const DriverState& state);

}  // namespace qz
