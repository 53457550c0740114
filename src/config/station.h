#pragma once
// A station on the line as the parameter file describes it: its address,
// item counts and channel numbering, its QQ variables and memory blocks,
// and the values and counters the driver keeps for it.
//
// Field names follow the driver's own vocabulary. Arrays count from 1.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "config/index1.h"
#include "config/real6.h"
#include "config/short_str.h"

namespace qz {

inline constexpr int kMaxStations = 100;
inline constexpr int kMaxBinarIn = 96;
inline constexpr int kMaxBinarOut = 96;
inline constexpr int kMaxAnalogIn = 64;
inline constexpr int kMaxCounterIn = 48;
inline constexpr int kMaxMemoryIn = 45;
inline constexpr int kMaxMemoryOut = 100;
inline constexpr std::uint16_t kNoAddress = 65535;

// ---------------------------------------------------------------------------
// Sub-records of a station.

enum class MemoryType : std::uint8_t { Byte = 1, Word = 2, Real = 3 };

struct MemoryDef {
  std::uint16_t Address = 0;
  Real6 Value;
  MemoryType Type = MemoryType::Real;
};

enum class CounterPeriod : std::uint8_t { Real = 1, Hour, Shift, Day, Weekend, Month, Quarter, Year };

struct CounterDef {
  Real6 Value;
  Real6 Factor = 1.0;
  Real6 PrevValue;
  CounterPeriod Period = CounterPeriod::Real;
  std::uint16_t Work = 0;
};

struct AnalogLimit {
  Real6 High = 100.0;
  Real6 Low;
  Real6 Third;
  std::uint16_t Work = 0;
};

enum class QqDirection : std::uint8_t { Read = 1, Write = 2, Bidir = 3 };
enum class QqType : std::uint8_t { Byte = 1, Word, Integer, Cardinal, Longint, Real, String };

struct QqVariable {
  std::unique_ptr<QqVariable> Next;
  std::uint16_t Key = 0;  // host channel that names the variable
  QqDirection Direction = QqDirection::Read;
  std::uint8_t Block = 0;
  std::uint8_t Group = 0;
  std::uint8_t Item = 0;
  QqType Type = QqType::Byte;
  float FloatValue = 0;     // current value as an IEEE single
  std::int32_t IntValue = 0;  // current value as a 32-bit integer
  BoundedStr<33> Text = std::string(33, ' ');
  std::array<std::uint8_t, 222> Work{};

  // A STRING variable answers for the eight items Item..Item+7.
  int ItemSpan() const { return Type == QqType::String ? 8 : 1; }
};

enum class BlockItemType : std::uint8_t { Byte = 1, Word, Integer, Cardinal, Longint, Real };
enum class BlockDirection : std::uint8_t { Input = 1, Output = 2, Bidir = 3 };

// Bytes an item of a memory block takes on the wire.
int BlockItemSize(BlockItemType type);

struct MemoryBlockItem {
  std::int32_t Value = 4;
  std::uint8_t Flag = 0;
};

struct MemoryBlock {
  std::unique_ptr<MemoryBlock> Next;
  std::uint16_t Addr = kNoAddress;
  std::uint16_t Channel = 0;
  std::uint8_t ByteCount = 0;
  ShortStr Types;       // one BlockItemType code per item
  ShortStr Directions;  // one BlockDirection code per item
  Array1<MemoryBlockItem, 255> Items;
  std::uint16_t ChannelRead = 0;
};

// ---------------------------------------------------------------------------
// Named status channels of a station, in record order.

enum class StatusChannel : int {
  MsgCounter = 1,
  ErrorNoAnswer,
  ErrorInMess,
  SilenceTime,
  SleepTime,
  ErrCount,
  Video,
  out_read_AImorven,
  out_read_CT,
  out_write_BO,
  out_write_MO,
  in_now_comm,
  in_last_com_err,
  bi_new_BI,
  bi_new_AI,
  bi_new_CT,
  bi_new_MI,
  bi_new_err_control,
  out_write_restart,
  out_read_BI,
  out_read_KI,
  out_write_KO,
  out_read_AI,
  out_connect_modem,
  in_connecting_modem,
  in_connected_modem,
  in_active_message,
  out_write_all_BO_MO,
  name_channel,
  CallCode,
};
inline constexpr int kStatusChannelCount = 30;

// Names of the status channels as the parameter file and the host know them.
const char* StatusChannelName(StatusChannel channel);

// Station flags the host sees on the status channels of the same name.
struct StationFlags {
  std::uint8_t bi_new_BI = 0;
  std::uint8_t bi_new_AI = 0;
  std::uint8_t bi_new_CT = 0;
  std::uint8_t bi_new_MI = 0;
  std::uint8_t in_active_message = 0;
  std::uint8_t in_last_com_err = 0;
  std::uint8_t bi_new_err_control = 0;
  std::uint8_t in_now_comm = 0;
  std::uint8_t in_connected_modem = 0;
  std::uint8_t in_connecting_modem = 0;
};


struct StationRecord {
  StationRecord();
  ~StationRecord();
  StationRecord(const StationRecord&) = delete;
  StationRecord& operator=(const StationRecord&) = delete;

  std::uint8_t Address = 0;
  std::uint8_t Retranslation = 0;
  BoundedStr<80> Name;
  std::uint8_t NumBinarIn = 0;
  std::uint8_t NumBinarOut = 0;
  std::uint8_t NumAnalogIn = 0;
  std::uint8_t NumCounterIn = 0;
  std::uint8_t NumMemoryIn = 0;
  std::uint8_t NumMemoryOut = 0;
  Array1<std::uint8_t, kMaxBinarIn> BinarInXor;
  Array1<std::uint8_t, kMaxBinarOut> BinarOutXor;
  std::uint16_t DefAnalogInAddr = 0;
  Array1<MemoryDef, 100> MemoryIn;
  Array1<MemoryDef, kMaxMemoryOut> MemoryOut;
  Array1<std::uint8_t, kMaxBinarIn> BinarInValue;
  Array1<std::uint8_t, kMaxBinarOut> BinarOutValue;
  Array1<Real6, kMaxAnalogIn> AnalogInValue;
  Array1<CounterDef, kMaxCounterIn> Counters;
  std::int32_t RequestCount = 0;
  std::int32_t TimeoutCount = 0;
  std::int32_t ErrorAnswerCount = 0;
  Real6 SilenceSeconds;
  std::uint16_t TimeoutRun = 0;
  std::uint8_t ErrorRun = 0;
  Real6 SleepTimer;
  Array1<CompareText, 4> DisplayLines;
  Real6 WorkReal;  // working real cleared with the counters
  Array1<AnalogLimit, kMaxAnalogIn> AnalogLimits;
  BoundedStr<20> Phone;
  std::uint8_t PhoneDial = 0;
  StationFlags Flags;
  std::uint8_t MemoryInArray = 0;
  std::unique_ptr<QqVariable> QqVariables;
  std::uint16_t ChannelBI = 0;
  std::uint16_t ChannelBO = 0;
  std::uint16_t ChannelAI = 0;
  std::uint16_t ChannelCT = 0;
  std::uint16_t ChannelMI = 0;
  std::uint16_t ChannelMO = 0;
  Array1<std::uint16_t, kStatusChannelCount> StatusChannels;
  std::unique_ptr<MemoryBlock> MemoryBlocks;

  std::uint16_t& Status(StatusChannel c) { return StatusChannels[static_cast<std::size_t>(c)]; }
  std::uint16_t Status(StatusChannel c) const { return StatusChannels[static_cast<std::size_t>(c)]; }
};

// Links a copy of the definition behind the last element of the list.
void AppendQqVariable(StationRecord& station, const QqVariable& definition);
void AppendMemoryBlock(StationRecord& station, const MemoryBlock& definition);

// Frees a list element by element without recursion.
template <class Node>
void FreeList(std::unique_ptr<Node>& head) {
  while (head) head = std::move(head->Next);
}

// Clears the values and counters of one station after a load.
void ClearStationValues(StationRecord& station);

}  // namespace qz
