#pragma once
// The requests the driver sent, read back from their frames: which station,
// which kind, and the item in words ("MI 2 at 0303h", "QQ read BA.01.0E").

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qz {
struct StationRecord;
}

namespace qz::readers {

// Short name of a request kind: "BI", "QQ write", "history"; empty when
// the driver has no such kind.
std::string KindName(int kind);

struct SentFrame {
  bool Found = false;      // a checked message was found inside the frame
  int Address = -1;        // the station the header names
  std::string Body;        // the request's codes, trailer removed
  std::string Message;     // the message with its check byte
};

// The message inside a frame as the driver writes it (Prefix, message,
// Suffix): a request or an acknowledgement. prefixLength < 0: the message is searched for, as the first run
// of bytes whose length byte and check byte fit.
SentFrame SplitSentFrame(std::string_view frame, int prefixLength, std::size_t preSuffixLength);

// The QQ triplets (block, group, item) of a QQ read or write body.
std::vector<std::array<std::uint8_t, 3>> QqTriplets(std::string_view body);

// The item of a request of the kind; station (may be null) names memory
// items by their index.
std::string ItemText(int kind, std::string_view body, const StationRecord* station);

// Two hexadecimal digits a byte, separated by blanks.
std::string HexBytes(std::string_view bytes);

}  // namespace qz::readers
