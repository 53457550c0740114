#include "commands.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

#include "channels.h"

namespace qzhost {

const char* const kCommandSummary =
    "w CH VALUE [TYPE] | r CH [TYPE] | q CH | hist STATION USER | abort | samples STATION PERIOD | cuc | save | "
    "reset | show | hide | help | quit";

const char* const kCommandHelp =
    "w CH VALUE [TYPE]       write VALUE to channel CH; TYPE 2 bit, 3 byte, 4 word, 5 cardinal, 6 signed byte,\n"
    "                        7 integer, 8 longint, 9 single, 10 double (default: the type the channel takes)\n"
    "r CH [TYPE]             read channel CH once (GetInput)\n"
    "q CH                    ask the station for QQ variable CH now (InputRequest)\n"
    "hist STATION USER       read out the history of STATION (its number 1..n in the parameter file, not its\n"
    "                        address) for USER 1..8 into its HDB file\n"
    "abort                   abort the history read-out\n"
    "samples STATION PERIOD  read out the sample memory of STATION with PERIOD 1..3\n"
    "cuc                     write the sample file (.CUC) of the last sample read-out (channel 60021)\n"
    "save                    save every station's HDB file now\n"
    "reset                   reset the line: empty the queues\n"
    "show | hide             show or hide the driver's status window\n"
    "quit                    stop the driver and leave";

namespace {

constexpr std::uint32_t kSampleStation = 60000;
constexpr std::uint32_t kSamplePeriod = 60001;
constexpr std::uint32_t kSampleStart = 60003;
constexpr std::uint32_t kSampleRunning = 60018;
constexpr std::uint32_t kSampleFileWrite = 60021;
constexpr std::uint32_t kSampleFileFlag = 60022;
constexpr std::uint32_t kHistoryStation = 65400;
constexpr std::uint32_t kHistoryUser = 65401;
constexpr std::uint32_t kHistoryState = 65404;
constexpr std::uint32_t kHistoryStart = 65407;
constexpr std::uint32_t kHistoryAbort = 65408;
constexpr std::uint32_t kHistorySave = 65415;
constexpr std::uint32_t kLineReset = 65531;
constexpr int kHistoryReading = 5;   // HistoryState while the read-out runs
constexpr int kHistoryAborted = 7;
constexpr int kUsers = 8;

std::optional<double> ParseNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<long> ParseWhole(const std::string& text) {
  const auto v = ParseNumber(text);
  if (!v || *v != std::floor(*v) || std::fabs(*v) > 1e9) return std::nullopt;
  return static_cast<long>(*v);
}

CommandResult Refuse(std::string why) { return {false, false, std::move(why)}; }
CommandResult Done(std::string what) { return {true, false, std::move(what)}; }

std::string NumberText(double v) {
  std::ostringstream o;
  o << v;
  return o.str();
}

CommandResult Usage(const std::string& form) { return Refuse("usage: " + form); }

std::string ChannelRefusal(const std::string& text) {
  const auto ch = ParseWhole(text);
  if (!ch) return "not a channel number: " + text;
  if (*ch < 1 || *ch > kMaxChannel) return "no channel " + text + ": host channels are 1..65535";
  return "channel " + text + " does not exist on this line: no station item, QQ variable or driver channel has it";
}

bool ValidType(long type) { return type >= 2 && type <= 10; }

}  // namespace

void Commands::Send(std::uint32_t channel, std::uint32_t type, double value) {
  host_.Output(channel, MakeValue(type, value));
}

std::optional<double> Commands::ReadNumber(std::uint32_t channel, std::uint32_t type) {
  const auto v = host_.Input(channel, type);
  return v ? ValueNumber(*v) : std::nullopt;
}

std::string Commands::StationRefusal(const std::string& text) const {
  const int count = static_cast<int>(layout_.Stations.size());
  std::string why = "no station " + text + ": stations are numbered 1.." + std::to_string(count) +
                    " in the order of the parameter file";
  if (const auto n = ParseWhole(text)) {
    for (const StationLayout& s : layout_.Stations) {
      if (s.Address == *n) why += " (address " + text + " is station " + std::to_string(s.Number) + ", " + s.Name + ")";
    }
  }
  return why;
}

CommandResult Commands::Write(const std::string& channelText, const std::string& valueText, const std::string& typeText) {
  const auto channel = ParseWhole(channelText);
  const ChannelInfo info = channel ? DescribeChannel(layout_, *channel) : ChannelInfo{};
  if (!info.Exists) return Refuse(ChannelRefusal(channelText));
  if (info.WriteType == 0) return Refuse("channel " + channelText + " is " + info.What + ": a write to it does nothing");
  const auto value = ParseNumber(valueText);
  if (!value) return Refuse("not a number: " + valueText);
  std::uint32_t type = info.WriteType;
  if (!typeText.empty()) {
    const auto t = ParseWhole(typeText);
    if (!t || !ValidType(*t)) return Refuse("no type " + typeText + ": w takes TYPE 2..10 (see help)");
    type = static_cast<std::uint32_t>(*t);
  }
  Send(static_cast<std::uint32_t>(*channel), type, *value);
  std::string message = "channel " + channelText + " (" + info.What + ") := " + NumberText(*value) + " (type " +
                        std::to_string(type) + ")";
  if (type != info.WriteType) message += "; the channel takes type " + std::to_string(info.WriteType);
  return Done(message);
}

CommandResult Commands::Read(const std::string& channelText, const std::string& typeText) {
  const auto channel = ParseWhole(channelText);
  const ChannelInfo info = channel ? DescribeChannel(layout_, *channel) : ChannelInfo{};
  if (!info.Exists) return Refuse(ChannelRefusal(channelText));
  std::uint32_t type = info.ReadType;
  if (!typeText.empty()) {
    const auto t = ParseWhole(typeText);
    if (!t || !ValidType(*t)) return Refuse("no type " + typeText + ": r takes TYPE 2..10 (see help)");
    type = static_cast<std::uint32_t>(*t);
  }
  if (type == 0 || type == 12) return Refuse("channel " + channelText + " is " + info.What + ": it has nothing to read");
  const auto ch = static_cast<std::uint32_t>(*channel);
  if (type == 11) {
    const auto text = host_.InputText(ch);
    return text ? Done("channel " + channelText + " (" + info.What + ") = \"" + *text + "\"")
                : Refuse("channel " + channelText + " (" + info.What + "): the driver gave no text");
  }
  const auto v = ReadNumber(ch, type);
  if (!v) return Refuse("channel " + channelText + " (" + info.What + "): the driver gave nothing for type " +
                        std::to_string(type));
  return Done("channel " + channelText + " (" + info.What + ") = " + NumberText(*v) + " (type " + std::to_string(type) + ")");
}

CommandResult Commands::RequestQq(const std::string& channelText) {
  const auto channel = ParseWhole(channelText);
  const ChannelInfo info = channel ? DescribeChannel(layout_, *channel) : ChannelInfo{};
  if (!info.Exists) return Refuse(ChannelRefusal(channelText));
  if (info.What.rfind("QQ", 0) != 0) return Refuse("channel " + channelText + " is " + info.What + ", not a QQ variable: q reads QQ variables");
  if (!info.QqReadable) return Refuse("channel " + channelText + " is " + info.What + ": a WRITE variable is not read");
  host_.RequestInput(static_cast<std::uint32_t>(*channel));
  return Done("read of channel " + channelText + " (" + info.What + ") requested");
}

CommandResult Commands::History(const std::string& stationText, const std::string& userText) {
  const auto station = ParseWhole(stationText);
  const StationLayout* s = station ? layout_.Station(static_cast<int>(*station)) : nullptr;
  if (!s) return Refuse(StationRefusal(stationText));
  const auto user = ParseWhole(userText);
  if (!user || *user < 1 || *user > kUsers) return Refuse("no user " + userText + ": history users are 1..8");
  Send(kHistoryStation, 7, static_cast<double>(*station));
  Send(kHistoryUser, 7, static_cast<double>(*user));
  Send(kHistoryStart, 2, 1);
  const auto state = ReadNumber(kHistoryState, 7);
  const std::string what = "history read-out of station " + stationText + " (" + s->Name + "), user " + userText;
  if (state && static_cast<int>(*state) == kHistoryReading) return Done(what + " started");
  return Refuse(what + " not started: history state " + (state ? NumberText(*state) : std::string("?")));
}

CommandResult Commands::HistoryAbort() {
  const auto before = ReadNumber(kHistoryState, 7);
  Send(kHistoryAbort, 2, 1);
  const auto after = ReadNumber(kHistoryState, 7);
  if (after && static_cast<int>(*after) == kHistoryAborted && before && static_cast<int>(*before) != kHistoryAborted)
    return Done("history read-out aborted; the line was reset");
  return Refuse("no history read-out to abort (history state " + (before ? NumberText(*before) : std::string("?")) + ")");
}

CommandResult Commands::Samples(const std::string& stationText, const std::string& periodText) {
  const auto station = ParseWhole(stationText);
  const StationLayout* s = station ? layout_.Station(static_cast<int>(*station)) : nullptr;
  if (!s) return Refuse(StationRefusal(stationText));
  const auto period = ParseWhole(periodText);
  if (!period || *period < 1 || *period > 3) return Refuse("no sample period " + periodText + ": periods are 1..3");
  Send(kSampleStation, 3, static_cast<double>(*station));
  Send(kSamplePeriod, 3, static_cast<double>(*period));
  Send(kSampleStart, 2, 1);
  const auto running = ReadNumber(kSampleRunning, 2);
  const std::string what = "sample read-out of station " + stationText + " (" + s->Name + "), period " + periodText;
  if (running && *running != 0) return Done(what + " started; cuc writes the file into " + layout_.Files.SampleFolder);
  return Refuse(what + " not started");
}

CommandResult Commands::SampleFile() {
  namespace fs = std::filesystem;
  const auto before = fs::file_time_type::clock::now() - std::chrono::seconds(1);
  Send(kSampleFileWrite, 2, 1);
  const auto ok = ReadNumber(kSampleFileFlag, 2);
  const std::string& folder = layout_.Files.SampleFolder;
  if (!ok || *ok == 0) return Refuse("the sample file could not be written into " + folder);
  std::string newest;
  std::error_code ec;
  auto newestTime = fs::file_time_type::min();
  for (const auto& entry : fs::directory_iterator(folder.empty() ? "." : folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() < 4 || name.substr(name.size() - 4) != ".CUC") continue;
    const auto t = entry.last_write_time(ec);
    if (!ec && t >= before && t >= newestTime) newest = name, newestTime = t;
  }
  return Done("sample file written: " + folder + newest);
}

CommandResult Commands::Run(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  if (words.empty()) return {};
  const std::string verb = words[0];
  const auto arg = [&](std::size_t i) { return i < words.size() ? words[i] : std::string(); };
  const std::size_t args = words.size() - 1;
  if (verb == "quit" || verb == "exit") return {true, true, "bye"};
  if (verb == "help" || verb == "?") return Done(kCommandHelp);
  if (verb == "w") return args == 2 || args == 3 ? Write(arg(1), arg(2), arg(3)) : Usage("w CH VALUE [TYPE]");
  if (verb == "r") return args == 1 || args == 2 ? Read(arg(1), arg(2)) : Usage("r CH [TYPE]");
  if (verb == "q") return args == 1 ? RequestQq(arg(1)) : Usage("q CH");
  if (verb == "hist") return args == 2 ? History(arg(1), arg(2)) : Usage("hist STATION USER");
  if (verb == "abort") return args == 0 ? HistoryAbort() : Usage("abort");
  if (verb == "samples") return args == 2 ? Samples(arg(1), arg(2)) : Usage("samples STATION PERIOD");
  if (verb == "cuc") return args == 0 ? SampleFile() : Usage("cuc");
  if (verb == "save" && args == 0) {
    Send(kHistorySave, 2, 1);
    return Done("history files saved in " + layout_.Files.HdbFolder);
  }
  if (verb == "reset" && args == 0) {
    Send(kLineReset, 2, 1);
    return Done("line reset: the queues are empty");
  }
  if ((verb == "show" || verb == "hide") && args == 0) {
    host_.Window(verb == "show" ? 1 : 0);
    return Done("status window " + std::string(verb == "show" ? "shown" : "hidden"));
  }
  return Refuse("unknown command: " + line + " (help lists the commands)");
}

}  // namespace qzhost
