#pragma once
// One request for a station, as it waits in a queue and as it is encoded.

#include <cstdint>

#include "config/short_str.h"

namespace qz {

struct MemoryBlock;

struct Request {
  std::uint8_t Station = 0;  // 1..100
  std::uint32_t Kind = 0;    // request kind, 0..255
  std::uint16_t Item = 0;    // item number or station memory address
  ShortStr Data;             // raw request bytes
  MemoryBlock* Block = nullptr;  // the station's memory block, not owned

  friend bool operator==(const Request& a, const Request& b) {
    return a.Station == b.Station && a.Kind == b.Kind && a.Item == b.Item && a.Data == b.Data &&
           a.Block == b.Block;
  }
};

}  // namespace qz
