#include "layout.h"

#include <cstdio>

#include "config/par_file.h"
#include "diag/cp1250.h"
#include "diag/log.h"
#include "diag/paths.h"
#include "host/sample_file.h"

namespace qzhost {

namespace {

// Status channels the harness shows, by name.
const qz::StatusChannel kShownStatus[] = {
    qz::StatusChannel::MsgCounter,  qz::StatusChannel::ErrorNoAnswer, qz::StatusChannel::ErrorInMess,
    qz::StatusChannel::SilenceTime, qz::StatusChannel::SleepTime,     qz::StatusChannel::ErrCount};

std::vector<QqLayout> QqOf(const qz::StationRecord& st) {
  std::vector<QqLayout> out;
  for (const qz::QqVariable* v = st.QqVariables.get(); v; v = v->Next.get()) {
    out.push_back({v->Key, v->Block, v->Group, v->Item, v->Type, v->Direction});
  }
  return out;
}

std::vector<BlockLayout> BlocksOf(const qz::StationRecord& st) {
  std::vector<BlockLayout> out;
  for (const qz::MemoryBlock* b = st.MemoryBlocks.get(); b; b = b->Next.get()) {
    BlockLayout block{b->Addr, b->ChannelRead, {}};
    for (std::size_t i = 0; i < b->Types.size(); ++i) {
      const auto direction = i < b->Directions.size() ? b->Directions.byte(i) : std::uint8_t{1};
      block.Items.push_back({b->Channel + static_cast<int>(i), static_cast<qz::BlockItemType>(b->Types.byte(i)),
                             static_cast<qz::BlockDirection>(direction)});
    }
    out.push_back(std::move(block));
  }
  return out;
}

FileLocations FilesOf(qz::DriverState& state, bool logOn) {
  FileLocations f;
  f.HdbFolder = qz::HostExecutableFolder();
  if (logOn) {
    state.Log.Enable(state.Config.DriverName.view());  // names the default log as the driver does
    f.Log = qz::HostPath(state.Log.FileName());
  }
  f.SampleFolder = qz::SampleFolder(state);
  return f;
}

}  // namespace

const StationLayout* Layout::Station(int number) const {
  return number >= 1 && number <= static_cast<int>(Stations.size()) ? &Stations[static_cast<std::size_t>(number - 1)]
                                                                     : nullptr;
}

std::optional<Layout> ReadLayout(const std::string& parFile, const std::string& driverName, std::string& error) {
  auto state = std::make_shared<qz::DriverState>();
  qz::InitDriverState(*state);
  state->Config.DriverName = driverName.substr(0, 255);
  state->Config.ParFileName = parFile;
  qz::ParLoadReport report;
  report.DryRun = true;  // the driver itself logs, not the harness
  if (!qz::LoadParameterFile(state->Config, state->Log, nullptr, &report)) {
    error = qz::Cp1250ToUtf8(state->Config.ParseErrorText.view()) + " (line " + std::to_string(report.Line) + ")";
    return std::nullopt;
  }
  Layout layout;
  layout.PortNumber = state->Config.PortNumber;
  layout.Baud = state->Config.Baud;
  for (int n = 1; n <= state->Config.StationCount; ++n) {
    const qz::StationRecord& st = state->Config.Station(n);
    StationLayout s;
    s.Number = n;
    s.Name = qz::Cp1250ToUtf8(st.Name.view());
    s.Address = st.Address;
    s.BI = {st.ChannelBI, st.NumBinarIn};
    s.BO = {st.ChannelBO, st.NumBinarOut};
    s.AI = {st.ChannelAI, st.NumAnalogIn};
    s.CT = {st.ChannelCT, st.NumCounterIn};
    s.MI = {st.ChannelMI, st.NumMemoryIn};
    s.MO = {st.ChannelMO, st.NumMemoryOut};
    for (auto c : kShownStatus) {
      if (st.Status(c) != 0) s.Status.emplace_back(qz::StatusChannelName(c), st.Status(c));
    }
    s.Qq = QqOf(st);
    s.Blocks = BlocksOf(st);
    layout.Stations.push_back(std::move(s));
  }
  layout.Files = FilesOf(*state, report.DiagsSeen);
  layout.Config = std::move(state);
  return layout;
}

const char* QqTypeName(qz::QqType type) {
  static const char* const names[] = {"BYTE", "WORD", "INTEGER", "CARDINAL", "LONGINT", "REAL", "STRING"};
  const auto i = static_cast<int>(type);
  return i >= 1 && i <= 7 ? names[i - 1] : "?";
}

const char* QqDirectionName(qz::QqDirection direction) {
  switch (direction) {
    case qz::QqDirection::Read: return "READ";
    case qz::QqDirection::Write: return "WRITE";
    case qz::QqDirection::Bidir: return "BIDIR";
  }
  return "?";
}

const char* BlockItemTypeName(qz::BlockItemType type) {
  static const char* const names[] = {"BYTE", "WORD", "INTEGER", "CARDINAL", "LONGINT", "REAL"};
  const auto i = static_cast<int>(type);
  return i >= 1 && i <= 6 ? names[i - 1] : "?";
}

const char* BlockDirectionName(qz::BlockDirection direction) {
  switch (direction) {
    case qz::BlockDirection::Input: return "INPUT";
    case qz::BlockDirection::Output: return "OUTPUT";
    case qz::BlockDirection::Bidir: return "BIDIR";
  }
  return "?";
}

std::string QqAddressText(const QqLayout& q) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02X.%02X.%02X", q.Block & 0xFF, q.Group & 0xFF, q.Item & 0xFF);
  return buf;
}

}  // namespace qzhost
