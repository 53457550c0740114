#pragma once
// What the simulator learns from the driver's parameter file: the line's
// framing and timing and, per station, its addresses, counts and memory map.

#include <cstdint>
#include <string>
#include <vector>

#include "wire.h"

namespace qz::sim {

struct MemoryItemSetup {
  std::uint16_t Address = 0;
  std::uint8_t Type = 3;  // 1 byte, 2 word (low byte first), 3 Float24
};

struct AnalogScale {
  double Low = 0;
  double High = 100;
  double Third = 0;
};

struct BlockSetup {
  std::uint16_t Addr = 0;
  std::vector<std::uint8_t> Types;  // 1 BYTE, 2 WORD, 3 INTEGER, 4 CARDINAL, 5 LONGINT, 6 REAL
};

struct QqSetup {
  std::uint8_t Block = 0;
  std::uint8_t Group = 0;
  std::uint8_t Item = 0;
  std::uint8_t Type = 1;       // 1 BYTE .. 6 REAL, 7 STRING (eight 4-character parts)
  std::uint8_t Direction = 1;  // 1 READ, 2 WRITE, 3 BIDIR
};

struct StationSetup {
  std::uint8_t Address = 0;
  std::uint8_t Retranslation = 0;
  std::string Name;
  int NumBinarIn = 0;
  int NumBinarOut = 0;
  int NumAnalogIn = 0;
  int NumCounterIn = 0;
  int NumMemoryIn = 0;
  int NumMemoryOut = 0;
  std::uint16_t AnalogAddr = 0;
  std::vector<MemoryItemSetup> MemoryIn;   // NumMemoryIn entries
  std::vector<MemoryItemSetup> MemoryOut;  // NumMemoryOut entries
  std::vector<AnalogScale> Scales;         // 64 entries
  std::vector<BlockSetup> Blocks;
  std::vector<QqSetup> Qq;
  std::string Phone;
  bool PhoneDial = false;
};

struct SimSetup {
  LineFraming Line;
  int Baud = 9600;
  int BitsPerChar = 10;  // start, data, parity, stop bits
  int DataBits = 8;      // the [COM] codes BITS, PARITY and STOP as written
  int Parity = 0;
  int StopBits = 1;
  int AnswerTimeMs = 1000;
  int SilenceWaitMs = 0;
  std::vector<StationSetup> Stations;
};

// Reads the parameter file with the driver's own reader. On failure returns
// false with the reader's first error (UTF-8) in error.
bool LoadSetupFile(const std::string& path, SimSetup& out, std::string& error);
bool LoadSetupText(std::string_view text, SimSetup& out, std::string& error);

}  // namespace qz::sim
