#pragma once
// Which received message answers the request on the line.
//
// A request asks one station one thing; the station's answer names itself
// (the sender address) and carries the answer codes of that request: "B"
// for "B", "N" with the same address for "N", "QN" with the same kind and
// address for "QN", and so on. An "E" answers any request. A request with
// an empty body takes any answer of its station. Reports ("H", "X") are
// not answers; a frame that carries a report and an answer code answers.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qz {

struct DriverConfig;

// Bytes the decoder takes for the code at position p of the received
// message r (bytes r[1]..r[n], the last the check byte); 0 when decoding
// ends there (an unknown code, or a QQ answer that takes the rest).
std::size_t AnswerCodeLength(std::string_view r, std::size_t p);

// Calls visit(p, code) for every code the decoder reads, in order, the
// header skip of a "Y" message included.
template <class Visit>
void ForEachAnswerCode(std::string_view r, Visit visit) {
  for (std::size_t p = 3; p < r.size();) {
    visit(p, static_cast<std::uint8_t>(r[p - 1]));
    const std::size_t length = AnswerCodeLength(r, p);
    if (length == 0) return;
    p += length;
  }
}

// The station address of the sender: byte 6 of a "Y"/"y" message, else byte 1.
std::uint8_t SenderAddress(std::string_view message);

// Whether the message carries a report code ("H" or "X").
bool CarriesReport(std::string_view message);

// What answers a request: taken from the frame as it was sent.
struct AnswerKey {
  bool Known = false;         // false: the frame could not be read; nothing pairs with it
  std::uint8_t Station = 0;   // Address of the station asked
  std::uint8_t Code = 0;      // first body code of the request; 0: empty body
  std::uint8_t Sub = 0;       // "Q": the sub-code; "C": the read-and-zero bit (80h)
  std::uint8_t Kind = 0;      // "QN": the kind byte
  std::uint16_t Address = 0;  // "N", "n", "QN": the station memory address
};

// The key of a request frame built by the request encoder (Prefix, direct
// or dialled header, body, PreSuffix, check byte, Suffix).
AnswerKey ExpectedAnswer(const DriverConfig& config, std::string_view sentFrame);

// Whether the accepted message comes from the key's station and carries a
// code that answers the key's request.
bool AnswersRequest(std::string_view message, const AnswerKey& key);

}  // namespace qz
