#pragma once
// One simulated station: its byte-addressed memory (analog block, memory
// inputs and outputs, memory blocks), binary inputs and outputs, counters,
// QQ variables, sample memory and history ring, and the answer it gives to
// each request body. Pure: the time of day is passed in.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim_config.h"
#include "wire.h"

namespace qz::sim {

// An item of a station that commands and scenarios name.
struct ItemRef {
  enum class Area { BI, BO, AI, CT, MI, MO, QQ, MEM, BLK };
  Area Where = Area::BI;
  int Index = 1;                 // BI..MO: 1-based; BLK: block number
  int Item = 1;                  // BLK: item number in the block
  std::uint8_t Id[3] = {0, 0, 0};  // QQ
  std::uint16_t Address = 0;     // MEM
  std::uint8_t Type = 3;         // MEM: 1 byte, 2 word, 3 Float24
};

// "bi 3", "ai 1", "qq 1.1.2", "mem 0x300 word", "blk 1.2"; returns false with
// a message for anything else. `words` holds the words after the station.
bool ParseItemRef(const std::vector<std::string>& words, std::size_t& pos, ItemRef& out, std::string& error);
std::string ItemName(const ItemRef& item);

// Seconds since 2000-01-01 00:00:00 local time: the stations' clock.
using StationSeconds = std::int64_t;

// The BCD date and time YY MM DD hh mm ss of a station time.
std::array<std::uint8_t, 6> BcdTime(StationSeconds s);

inline constexpr std::uint32_t kHistoryBytes = 500000;

class Station {
 public:
  explicit Station(StationSetup setup);

  const StationSetup& Setup() const { return setup_; }
  std::uint8_t Address() const { return setup_.Address; }

  AnswerHeader Header = AnswerHeader::Y;

  // The answer body for a request body.
  std::string Answer(std::string_view request, StationSeconds now);

  bool Set(const ItemRef& item, double value, std::string& error);
  bool SetText(const ItemRef& item, std::string_view text, std::string& error);
  std::optional<double> Get(const ItemRef& item) const;

  // History ring.
  void AddHistoryRecord(std::uint16_t code, StationSeconds time, float value);
  void SetHistoryCapacity(std::uint32_t records) { capacity_ = records == 6500 ? 6500 : 50000; }
  std::uint32_t HistoryCapacity() const { return capacity_; }
  std::uint32_t HistoryTop() const { return top_; }
  std::uint32_t HistoryWritten() const { return written_; }
  std::uint32_t UserPos(int user) const { return user >= 1 && user <= 8 ? userPos_[static_cast<std::size_t>(user)] : 0; }
  void SetUserPos(int user, std::uint32_t pos);

  // Sample memory: records are spaced by the period's interval and end at
  // the time of the request.
  static int SampleIntervalSeconds(std::uint8_t kind);

  std::string Dump() const;

  // Raw memory, for tests and dumps.
  const std::vector<std::uint8_t>& Memory() const { return memory_; }

 private:
  struct QqValue {
    QqSetup Setup;
    std::uint32_t Raw = 0;
    std::string Text = std::string(32, ' ');
  };

  std::string AnswerB(std::string_view r) const;
  std::string AnswerWriteB(std::string_view r);
  std::string AnswerA(std::string_view r) const;
  std::string AnswerC(std::string_view r);
  std::string AnswerN(std::string_view r) const;
  std::string AnswerWriteN(std::string_view r);
  std::string AnswerK(std::string_view r) const;
  std::string AnswerWriteK(std::string_view r);
  std::string AnswerQ(std::string_view r, StationSeconds now);
  std::string AnswerQqRead(std::string_view r) const;
  std::string AnswerQqWrite(std::string_view r);
  std::string AnswerQn(std::string_view r, StationSeconds now) const;
  std::string SampleBlock(std::uint8_t kind, int block, StationSeconds now) const;

  double ReadMemoryValue(std::uint16_t address, std::uint8_t type) const;
  void WriteMemoryValue(std::uint16_t address, std::uint8_t type, double value);
  double AnalogValue(int i) const;
  std::uint16_t AnalogRaw(int i) const;
  std::uint8_t GroupByte(const std::vector<std::uint8_t>& bits, int group) const;
  void SetGroupByte(std::vector<std::uint8_t>& bits, int group, std::uint8_t value);
  const QqValue* FindQq(std::uint8_t d, std::uint8_t b, std::uint8_t a, int* part) const;
  QqValue* FindQq(std::uint8_t d, std::uint8_t b, std::uint8_t a, int* part);
  std::optional<std::uint32_t> HistoryVariable(std::uint8_t d, std::uint8_t b, std::uint8_t a) const;
  bool BlockItemAt(int block, int item, std::uint16_t& address, std::uint8_t& type, std::string& error) const;

  StationSetup setup_;
  std::vector<std::uint8_t> memory_;  // 64 KiB plus room for a read that runs past FFFFh
  std::vector<std::uint8_t> bi_;      // 96
  std::vector<std::uint8_t> bo_;      // 96
  std::array<std::uint16_t, 48> counters_{};
  std::vector<QqValue> qq_;
  std::vector<std::uint8_t> history_;  // 50000 records of 10 bytes
  std::uint32_t capacity_ = 50000;
  std::uint32_t top_ = 0;
  std::uint32_t written_ = 0;
  std::array<std::uint32_t, 9> userPos_{};
};

}  // namespace qz::sim
