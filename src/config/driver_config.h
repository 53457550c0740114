#pragma once
// The configuration of a driver instance: the settings of the parameter
// file's [GLOBAL] and [COM] sections and the 100 station records. The
// parameter-file reader fills it; every layer reads it, and the station
// records also carry the values the line brings in.

#include <atomic>
#include <cstdint>
#include <memory>

#include "config/index1.h"
#include "config/real6.h"
#include "config/short_str.h"
#include "config/station.h"

namespace qz {

struct DriverConfig {
  DriverConfig();
  ~DriverConfig();
  DriverConfig(const DriverConfig&) = delete;
  DriverConfig& operator=(const DriverConfig&) = delete;

  // The key codes of a station's keypad, in key order.
  ShortStr KeyCodeTable;

  // The parameter file and the reader's message when it could not be read.
  ShortStr ParFileName;
  CompareText ParseErrorText;

  std::uint8_t StationCount = 0;
  Array1<std::unique_ptr<StationRecord>, kMaxStations> Stations;

  // [GLOBAL]
  std::uint8_t MasterAddress = 0;
  ShortStr Prefix;
  ShortStr Suffix;
  ShortStr PreSuffix;
  Real6 AnswerTime;
  std::uint16_t SilenceWait = 0;
  std::uint16_t RtsTimeOn = 0;
  std::uint16_t RtsTimeOff = 0;
  std::uint16_t DefAnalogInAddr = kNoAddress;
  std::uint8_t NumMorvenError = 1;
  ShortStr CucPath;
  std::uint8_t StayInQueueOnTimeout = 0;
  std::atomic<std::uint8_t> Beep{0};  // a host request may change it at any time
  std::uint8_t SelfReading = 1;
  Real6 SleepTime = 600.0;
  std::uint16_t SleepCount = 10;
  std::int32_t IdleTime = 10;
  ShortStr DriverName = "QZDRK485";

  // [COM]
  CompareText PortDriverName;
  std::uint16_t PortNumber = 0;
  std::uint16_t Irq = 0;
  std::uint16_t BaseAddr = 0;
  std::int32_t Baud = 0;  // Bd; the port's rates reach 256000
  std::uint16_t DataBits = 0;
  std::uint16_t Parity = 0;
  std::uint16_t StopBits = 0;
  std::uint16_t ComOptions = 0;
  std::uint16_t BufferSize = 0;

  StationRecord& Station(int n) { return *Stations[static_cast<std::size_t>(n)]; }
  const StationRecord& Station(int n) const { return *Stations[static_cast<std::size_t>(n)]; }
};

// Gives every setting its initial value and allocates the 100 station
// records. Settings the parameter file must set keep their value.
void InitDriverConfig(DriverConfig& config);

// The channel numbering of ORIGINAL_CHANNELS for station n (1..100): station
// n owns host channels (n-1)*500+1 .. (n-1)*500+500.
void SetDefaultChannels(DriverConfig& config, int n);

// Clears the values and counters of all 100 stations after a load.
void ClearStationValues(DriverConfig& config);

struct QqMatch {
  QqVariable* Variable = nullptr;
  int Station = 0;  // FindQqByKey: station number of the variable
  int Offset = 0;   // FindQqByAddress: item - Item (0..7 for STRING)
};

// First variable named by key over stations 1..StationCount in order.
QqMatch FindQqByKey(DriverConfig& config, std::uint16_t key);

// First variable of station n with that block and group whose item range
// holds item.
QqMatch FindQqByAddress(DriverConfig& config, int n, std::uint8_t block, std::uint8_t group,
                        std::uint8_t item);

}  // namespace qz
