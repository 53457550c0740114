#pragma once
// The station's side of the line: frames it receives from the control centre
// and frames it sends back. Written apart from the driver's framing so that a
// fault there shows on the wire instead of cancelling itself out.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qz::sim {

struct LineFraming {
  std::string Prefix;
  std::string Suffix;
  std::string PreSuffix;
  std::uint8_t MasterAddress = 0;
};

// XOR of every byte.
std::uint8_t XorOf(std::string_view bytes);

// How a received message addresses a station.
enum class HeaderKind { Direct, Dialled, Ack, Other };

struct ParsedMessage {
  HeaderKind Kind = HeaderKind::Other;
  std::uint8_t Addressee = 0;  // station address the frame names
  std::uint8_t Source = 0;     // byte 4 of a direct or acknowledgement header
  std::string Phone;           // dialled form
  std::string Body;            // codes after the header, trailer removed
  std::string Message;         // the whole message, check byte included
};

// Splits a checked message (byte 1 .. check byte) into header and body.
// Returns false when the header does not fit into the message.
bool ParseMessage(std::string_view message, std::size_t preSuffixLength, ParsedMessage& out);

// Header form of a station's answers.
enum class AnswerHeader { Y, Short };

// message = header + body + PreSuffix with its length byte, then the check
// byte; the frame adds Prefix and Suffix. Nothing beyond 255 bytes is kept.
std::string BuildMessage(std::string header, std::string_view body, std::string_view preSuffix);
std::string Frame(const LineFraming& line, std::string_view message);

// Y header: addressee, length, "Y", route byte, master, station address.
std::string YHeader(std::uint8_t addressee, std::uint8_t route, std::uint8_t master, std::uint8_t station);
// Short header: station address, length; the body's first code is byte 3.
std::string ShortHeader(std::uint8_t station);

// The acknowledgement message (check byte included, no Prefix or Suffix)
// the control centre owes for a report message.
std::string ExpectedAck(std::string_view reportMessage);

// Hunts for Prefix, reads the two header bytes and then exactly L bytes;
// hands every message whose check byte holds to the sink and counts the rest.
class FrameReceiver {
 public:
  using Sink = std::function<void(std::string_view message)>;
  enum class Drop { BadCheck, Stale };
  using DropSink = std::function<void(Drop why, std::string_view bytes)>;

  FrameReceiver(std::string prefix, Sink sink, DropSink dropped);

  void Feed(std::string_view bytes);
  // Forgets a partial message (a pause on the line inside a frame).
  void Reset();
  bool InFrame() const { return !message_.empty(); }

  std::uint64_t SkippedBytes() const { return skipped_; }

 private:
  void Take(std::uint8_t byte);

  std::string prefix_;
  Sink sink_;
  DropSink dropped_;
  std::string window_;
  std::string message_;
  std::uint64_t skipped_ = 0;
};

}  // namespace qz::sim
