#pragma once
// The driver-level channels: the host reads and writes the sample and
// history read-outs, the line's figures and the indirect write through
// channel numbers of their own (486..499 and 60000..65535). One table gives,
// for each, the host type code of its reading and its reader, and the type
// code of a write and its writer; GetInput and OutputRequest both use it.

#include <cstdint>

#include "qzdrk485.h"

struct DriverHandle;

namespace qz {

struct DriverState;

// Writes the reading of the channel into the host's value.
using ChannelReader = void (*)(const DriverState& s, std::uint32_t channel, HostValue& v);
// Takes the host's value (or runs the command) of the channel.
using ChannelWriter = void (*)(DriverHandle& h, const HostValue& v);

// A write type code that lets the writer see every type code.
inline constexpr std::uint32_t kAnyTypeCode = 0;

// Whether a reading of the channel gives way to a station item that claims
// the same number (the line's figures 486..499 do); writes never do.
enum class ReadOrder : std::uint8_t { BeforeStations, AfterStations };

struct DriverChannel {
  std::uint32_t First;
  std::uint32_t Last;
  std::uint32_t ReadType;
  ChannelReader Read;  // none: the channel gives no reading
  std::uint32_t WriteType;
  ChannelWriter Write;  // none: the host cannot write it
  ReadOrder Order = ReadOrder::BeforeStations;
};

// The table's entry that holds the channel; none for other numbers.
const DriverChannel* FindDriverChannel(std::uint32_t channel);

// The reading, when the host asks with the channel's type code; a value of
// another type code is left as it is.
void ReadDriverChannel(const DriverChannel& c, const DriverState& s, std::uint32_t channel, HostValue& v);

// The write, when the host's type code is the channel's (or the channel
// takes any); another type code changes nothing.
void WriteDriverChannel(const DriverChannel& c, DriverHandle& h, const HostValue& v);

}  // namespace qz
