#include "config/par_global.h"

#include <array>
#include <cstdio>
#include <filesystem>

#include "config/par_reader.h"
#include "diag/log.h"
#include "diag/paths.h"
#include "diag/texts.h"

namespace qz {

namespace {

// [COM] keywords in table order; all are required.
enum ComKeyword : int { kIrq = 1, kBase, kBaud, kBits, kParity, kStop, kOptions, kBufferSize, kDriver, kComEnd };
constexpr std::array<std::string_view, 10> kComNames = {
    "IRQ", "BASE", "BAUD", "BITS", "PARITY", "STOP", "OPTIONS", "BUFFER_SIZE", "DRIVER", "END"};

// [GLOBAL] keywords in table order; 1..9 are required, 10..18 optional.
enum GlobalKeyword : int {
  kPrefix = 1, kSuffix, kPreSuffix, kAddress, kAnswerTime, kSilenceWait, kRtsTimeOn, kRtsTimeOff,
  kDefAnalogInAddr, kNumMorvenError, kSleepTime, kSleepCount, kIdleTime, kStopSelfReading,
  kCucPath, kStayInQueue, kLogFile, kBeep, kGlobalEnd
};
constexpr int kFirstOptionalGlobal = kNumMorvenError;
constexpr std::array<std::string_view, 19> kGlobalNames = {
    "PREFIX", "SUFFIX", "PRESUFFIX", "ADDRESS", "ANSWER_TIME", "SILENCE_WAIT", "RTS_TIME_ON",
    "RTS_TIME_OFF", "DEF_ANALOG_IN_ADDR", "NUM_MORVEN_ERROR", "SLEEP_TIME", "SLEEP_COUNT",
    "IDLE_TIME", "STOP_SELF_READING", "CUC_PATH", "STAY_IN_QUEUE_ON_TIMEOUT", "LOG_FILE", "BEEP", "END"};

constexpr std::array<std::string_view, 5> kParityNames = {"NONE", "EVEN", "ODD", "MARK", "SPACE"};

// Paths are case-sensitive on POSIX systems, so a path keeps the case it
// was written in there.
#ifdef _WIN32
constexpr bool kKeepPathCase = false;
#else
constexpr bool kKeepPathCase = true;
#endif

const KeywordTable& ComTable() {
  static const KeywordTable table(kComNames);
  return table;
}

const KeywordTable& GlobalTable() {
  static const KeywordTable table(kGlobalNames);
  return table;
}

// END read and not the last thing in the file, and every keyword given.
bool FinishGroup(ParReader& r, const KeywordTable& table, std::string_view group, bool endRead) {
  if (!endRead || r.OnlySeparatorsLeft()) {
    r.SetErrorText(std::string(text::kErrGroupNoEnd) + std::string(group));
    return false;
  }
  const int missing = r.FirstMissing(table.Size() - 1);
  if (missing != 0) {
    r.SetErrorText(BadKeywordMessage(table.Name(missing), group));
    return false;
  }
  return true;
}

bool LoadParity(ParReader& r, std::uint16_t& target) {
  for (std::size_t i = 0; i < kParityNames.size(); ++i) {
    if (r.TokenIs(kParityNames[i])) {
      target = static_cast<std::uint16_t>(i);
      r.SetFlag(kParity, true);
      return true;
    }
  }
  r.SetFlag(kParity, false);
  return false;
}

bool LoadDriver(ParReader& r) {
  DriverConfig& s = r.Config();
  s.PortDriverName = r.TokenIs("SYSTEM") ? std::string_view() : r.Token();
  r.NextToken();
  return r.LoadWord(kDriver, s.PortNumber);
}

bool HandleCom(ParReader& r, int k) {
  DriverConfig& s = r.Config();
  switch (k) {
    case kIrq: return r.LoadWord(k, s.Irq);
    case kBase: return r.LoadWord(k, s.BaseAddr);
    case kBaud: return r.LoadLong(k, s.Baud);
    case kBits: return r.LoadWord(k, s.DataBits);
    case kParity: return LoadParity(r, s.Parity);
    case kStop: return r.LoadWord(k, s.StopBits);
    case kOptions: {
      const bool ok = r.LoadWord(k, s.ComOptions);
      r.Log().Line(text::kLogOptions, std::to_string(s.ComOptions));
      return ok;
    }
    case kBufferSize: return r.LoadWord(k, s.BufferSize);
    case kDriver: return LoadDriver(r);
    default: return true;
  }
}

template <std::size_t Capacity>
bool LoadText(ParReader& r, int k, BoundedStr<Capacity>& target, bool keepCase = false) {
  std::string value;
  if (!r.LoadString(k, value, keepCase)) return false;
  target = value;
  return true;
}

bool LoadSelfReadingStop(ParReader& r, int k) {
  std::uint8_t stop = 0;
  if (!r.LoadSwitch(k, stop)) return false;
  r.Config().SelfReading = stop ? 0 : 1;
  return true;
}

bool LoadCucPath(ParReader& r, int k) {
  std::string value;
  if (!r.LoadString(k, value, kKeepPathCase)) return false;
  r.Config().CucPath = NormaliseCucPath(value);
  return true;
}

bool HandleGlobal(ParReader& r, int k) {
  DriverConfig& s = r.Config();
  switch (k) {
    case kPrefix: return LoadText(r, k, s.Prefix);
    case kSuffix: return LoadText(r, k, s.Suffix);
    case kPreSuffix: return LoadText(r, k, s.PreSuffix);
    case kAddress: return r.LoadByte(k, s.MasterAddress);
    case kAnswerTime: return r.LoadReal(k, s.AnswerTime);
    case kSilenceWait: return r.LoadWord(k, s.SilenceWait);
    case kRtsTimeOn: return r.LoadWord(k, s.RtsTimeOn);
    case kRtsTimeOff: return r.LoadWord(k, s.RtsTimeOff);
    case kDefAnalogInAddr: return r.LoadWord(k, s.DefAnalogInAddr);
    case kNumMorvenError: return r.LoadByte(k, s.NumMorvenError);
    case kSleepTime: return r.LoadReal(k, s.SleepTime);
    case kSleepCount: return r.LoadWord(k, s.SleepCount);
    case kIdleTime: return r.LoadInteger(k, s.IdleTime);
    case kStopSelfReading: return LoadSelfReadingStop(r, k);
    case kCucPath: return LoadCucPath(r, k);
    case kStayInQueue: return r.LoadSwitch(k, s.StayInQueueOnTimeout);
    case kLogFile: {
      ShortStr name(r.Log().FileName());
      const bool ok = LoadText(r, k, name, kKeepPathCase);
      r.Log().SetFileName(name.view());
      return ok;
    }
    case kBeep: {
      std::uint8_t beep = s.Beep;
      const bool ok = r.LoadSwitch(k, beep);
      s.Beep = beep;
      return ok;
    }
    default: return true;
  }
}

constexpr auto kEveryKeywordHasValue = [](int) { return false; };

}  // namespace

bool ReadComGroup(ParReader& r) {
  const KeywordTable& table = ComTable();
  const bool endRead = ReadGroupKeywords(
      r, table, kComEnd, [&r](int k) { return HandleCom(r, k); }, kEveryKeywordHasValue, [](int) {});
  return FinishGroup(r, table, text::kGroupCom, endRead);
}

bool ReadGlobalGroup(ParReader& r) {
  const KeywordTable& table = GlobalTable();
  r.PresetFlags(kFirstOptionalGlobal, kBeep);
  const bool endRead = ReadGroupKeywords(
      r, table, kGlobalEnd, [&r](int k) { return HandleGlobal(r, k); }, kEveryKeywordHasValue,
      [&r](int k) {
        if (!r.Log().Enabled()) return;
        char index[8];
        std::snprintf(index, sizeof index, "%2d", k);
        r.Log().Line(text::kLogFound, index);
      });
  return FinishGroup(r, table, text::kGroupGlobal, endRead);
}

std::span<const std::string_view> ComKeywords() { return kComNames; }
std::span<const std::string_view> GlobalKeywords() { return kGlobalNames; }

std::string PortSummary(int port, int baud, int dataBits, int parity, int stopBits) {
  const char letter = parity >= 0 && static_cast<std::size_t>(parity) < text::kParityLetters.size()
                          ? text::kParityLetters[static_cast<std::size_t>(parity)]
                          : '?';
  char buf[96];
  std::snprintf(buf, sizeof buf, "COM%d, %d %d %c %d", port, baud, dataBits, letter, stopBits);
  return buf;
}

std::string NormaliseCucPath(std::string_view path) {
#ifdef _WIN32
  constexpr char kSeparator = '\\';
  std::string folder(path);
#else
  constexpr char kSeparator = '/';
  std::string folder = HostPath(path);
#endif
  if (folder.size() > 1 && folder.back() == kSeparator) folder.pop_back();
  std::error_code ec;
  if (folder.empty() || !std::filesystem::is_directory(folder, ec)) {
#ifdef _WIN32
    folder = "C:";
#else
    return RootFolder();
#endif
  }
  if (folder.back() != kSeparator) folder += kSeparator;
  return folder;
}

}  // namespace qz
