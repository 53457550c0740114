#pragma once
// One request for a station, as it waits in a queue and as it is encoded.

#include <cstdint>

#include "config/short_str.h"

namespace qz {

struct MemoryBlock;

// What a request asks of a station. The number is also the kind byte that
// the history and sample reads carry on the wire.
enum class RequestKind : std::uint8_t {
  ReadBI = 0,            // binary inputs
  ReadAI = 1,            // analog inputs from station memory
  ReadCT = 2,            // counters
  ReadAndClearCT = 3,    // counters, zeroed by the station
  WriteBO = 4,           // binary outputs
  WriteMO = 5,           // one memory output (Item)
  ReadMI = 6,            // one memory input (Item), or the whole array
  ReadAImorven = 7,      // analog inputs, direct
  ReadKI = 8,            // key inputs
  WriteKO = 9,           // key outputs with memory outputs 1..8
  QqWrite = 15,          // QQ variables written ("QQ" and the data)
  QqRead = 16,           // QQ variables read ("Qq" and the triplets)
  BlockRead = 17,        // a memory block
  BlockWrite = 18,       // one item of a memory block
  SamplesPeriod1 = 72,   // sample memory, first kind table, by period
  SamplesPeriod2 = 76,
  SamplesPeriod3 = 80,
  SamplesPeriod1b = 136,  // sample memory, second kind table
  SamplesPeriod2b = 140,
  SamplesPeriod3b = 144,
  HistoryFirst = 240,    // history memory, bank 240..247 of the address
  HistoryLast = 247,
  FirstOutputsOn = 255,  // "b" 01 FF: the first group of binary outputs switched on
};

// The kind's number, as logged and as sent in history and sample reads.
constexpr std::uint8_t KindByte(RequestKind kind) { return static_cast<std::uint8_t>(kind); }

// A history memory read: kinds 240..247.
constexpr bool IsHistoryKind(RequestKind kind) {
  return kind >= RequestKind::HistoryFirst && kind <= RequestKind::HistoryLast;
}

// The kind of the sample reads for a period (1..3; another reads as 1) and
// kind table.
constexpr RequestKind SampleReadKind(std::uint8_t period, bool secondTable) {
  switch (period) {
    case 2: return secondTable ? RequestKind::SamplesPeriod2b : RequestKind::SamplesPeriod2;
    case 3: return secondTable ? RequestKind::SamplesPeriod3b : RequestKind::SamplesPeriod3;
    default: return secondTable ? RequestKind::SamplesPeriod1b : RequestKind::SamplesPeriod1;
  }
}

struct Request {
  std::uint8_t Station = 0;  // 1..100
  RequestKind Kind = RequestKind::ReadBI;
  std::uint16_t Item = 0;    // item number or station memory address
  ShortStr Data;             // raw request bytes
  MemoryBlock* Block = nullptr;  // the station's memory block, not owned

  friend bool operator==(const Request& a, const Request& b) {
    return a.Station == b.Station && a.Kind == b.Kind && a.Item == b.Item && a.Data == b.Data &&
           a.Block == b.Block;
  }
};

}  // namespace qz
