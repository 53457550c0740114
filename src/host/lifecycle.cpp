#include "host/lifecycle.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "config/par_file.h"
#include "diag/log.h"
#include "diag/texts.h"
#include "history/history_file.h"
#include "history/history_readout.h"
#include "host/channel_lookup.h"
#include "host/driver_handle.h"
#include "host/communication.h"
#include "serial/port_setup.h"

namespace qz {

namespace {

void CreateWindow(DriverHandle& h, std::string_view hostName) {
  h.Window = std::make_unique<WindowModel>();
  WindowModel& w = *h.Window;
  w.SetVisible(false);
  w.SetEnabled(true);  // the access test with level 0 always passes
  w.SetLabelName(text::kLabelNameText);
  w.SetLabelVersion(text::kLabelVersionText);
  std::string caption(hostName);
  caption.append(text::kCaptionSeparator).append(text::kDriverInfo);
  w.SetCaption(caption);
}

void AnnounceStart(DriverHandle& h, const InitArgs& args) {
  DriverState& s = *h.State;
  s.DriverName = args.HostName;
  AddEvent(h.Window.get(), std::string(text::kEvtDriverName) + s.DriverName.str());
  s.ParFileName = args.ParFileName;
  AddEvent(h.Window.get(), std::string(text::kEvtParFile) + s.ParFileName.str());
  AddEvent(h.Window.get(), std::string(text::kEvtAccessLevel) + std::to_string(args.AccessLevel));
}

std::string Format(std::string_view format, auto... args) {
  char buf[512];
  const std::string fmt(format);
  std::snprintf(buf, sizeof buf, fmt.c_str(), args...);
  return buf;
}

void ShowLoadedSettings(DriverHandle& h) {
  const DriverState& s = *h.State;
  const std::string logState(s.LogEnabled ? text::kLogOn : text::kLogOff);
  h.Window->SetStatusLine(StatusLine::Prn,
                          Format(text::kLabelPrnFormat, s.LogFileName.c_str(), logState.c_str()));
  const std::string parity =
      s.Parity < text::kParityLetters.size() ? std::string(1, text::kParityLetters[s.Parity]) : "?";
  h.Window->SetStatusLine(StatusLine::Com, Format(text::kLabelComFormat, int{s.PortNumber}, int{s.Baud},
                                                  int{s.DataBits}, parity.c_str(), int{s.StopBits}));
}

void LoadHistories(DriverHandle& h) {
  DriverState& s = *h.State;
  AddEvent(h.Window.get(), text::kEvtHdb);
  for (int n = 1; n <= s.StationCount && n <= kMaxStations; ++n) s.Station(n).HistoryData = LoadHistory(s, n, h.Window.get());
  UpdateHistoryDateWords(s);  // resume the host's record selection
  AddEvent(h.Window.get(), text::kEvtHdbOk);
  LogLine(*h.State, "init", "reset data stations OK");
}


// Opens the line and starts the communication thread; false when the port
// cannot be opened.
bool StartLine(DriverHandle& h) {
  ConfigurePort(h.Window.get(), *h.Port, *h.State);
  if (h.State->SelfReading) LogLine(*h.State, "LOADPARFILE", "PrstynekRUN=true");
  h.State->Engine.WriteQueue.Clear();
  h.State->Engine.ReadQueue.Clear();
  if (!h.Port->Active()) return false;
  h.Running = 1;
  StartCommunication(h);
  return true;
}

bool Fail(DriverHandle& h, std::string_view message, std::string& failure) {
  h.State->ParseErrorText = message;
  failure = h.State->ParseErrorText.str();
  h.Running = 0;
  return false;
}

}  // namespace

DriverHandle* MakeDriverInstance() {
  auto h = std::make_unique<DriverHandle>();
  h->State = std::make_unique<DriverState>();
  h->Port = std::make_unique<TSerial>();
  h->Port->SetActive(false);
  return h.release();
}

bool InitInstance(DriverHandle& h, const InitArgs& args, std::string& failure) {
  // A host that starts an instance twice gets a clean second start: the
  // first line and thread are stopped before anything is rebuilt.
  if (h.Thread || h.Running) DoneInstance(h);
  std::lock_guard guard(h.Lock);
  h.AccessLevel = args.AccessLevel;
  CreateWindow(h, args.HostName);
  DriverState& s = *h.State;
  LogLine(s, "Init", "Start");
  h.Channels.Clear();  // it refers to the configuration about to be replaced
  InitDriverState(s);
  AnnounceStart(h, args);

  if (!LoadParameterFile(s, h.Window.get())) {
    failure = s.ParseErrorText.str();
    LogLine(s, "PARfile ERROR", failure);
    h.Running = 0;
    return false;
  }
  ShowLoadedSettings(h);
  ClearStationValues(s);
  IndexChannels(h);
  LoadHistories(h);
  ResetEngine(h);
  LogLine(s, "init", "return reset buffer - INIT = TRUE");
  LogLine(s, "LoadPARfile", "OK");
  AddEvent(h.Window.get(), text::kEvtInitOk);

  if (!StartLine(h)) return Fail(h, text::kComInstallError, failure);
  return true;
}

bool InitFromHost(DriverHandle& h, std::int32_t nameLength, const char* name, char* message,
                  std::uint32_t accessLevel) {
  constexpr std::size_t kMaxName = 255;
  const std::size_t parLimit = nameLength > 0 ? static_cast<std::size_t>(nameLength) : 0;
  // The host's name is copied before the buffer may carry a failure.
  const std::string hostName(ReadHostText(message, kMaxName));
  InitArgs args;
  args.ParFileName = ReadHostText(name, parLimit < kMaxName ? parLimit : kMaxName);
  args.HostName = hostName;
  args.AccessLevel = accessLevel;
  std::string failure;
  if (InitInstance(h, args, failure)) return true;
  WriteHostMessage(message, failure);
  return false;
}

void DoneInstance(DriverHandle& h) {
  // Closing first releases any wait of the communication thread on the line.
  if (h.Port) h.Port->SetActive(false);
  if (h.Running) {
    h.Running = 0;
    h.State->StopRequest = 1;
  }
  StopCommunication(h.Thread);  // never under the lock: the thread takes it
  std::lock_guard guard(h.Lock);
  h.Window.reset();
}

void DisposeInstance(DriverHandle* h) {
  if (!h) return;
  std::unique_ptr<DriverHandle> owned(h);
  if (owned->Running || owned->Thread) DoneInstance(*owned);  // a host that skipped Done
  DriverState& s = *owned->State;
  s.Engine.Received.Clear();
  s.Engine.ReadQueue.Clear();
  s.Engine.WriteQueue.Clear();
  LogLine(s, "done", "queues are empty");
  for (int n = 1; n <= kMaxStations; ++n) {
    auto& slot = s.Stations[static_cast<std::size_t>(n)];
    if (!slot) continue;  // Init never ran
    FreeList(slot->QqVariables);
    FreeList(slot->MemoryBlocks);
    if (slot->HistoryData) SaveHistory(s, n, *slot->HistoryData);
    slot->HistoryData.reset();
    slot.reset();
  }
  LogLine(s, "done", "stations/data closed");
  s.HistorySamples.reset();
  LogLine(s, "done", "end");
  owned->Port.reset();  // the port goes before the state and the handle
  owned->State.reset();
}

void DriverProcInstance(DriverHandle& h, std::uint32_t code, std::int32_t a, std::int32_t b,
                        std::int32_t c, std::int32_t d) {
  std::lock_guard guard(h.Lock);
  WindowModel* w = h.Window.get();
  if (!w) return;
  switch (code) {
    case 0: w->SetVisible(false); break;
    case 1: w->SetVisible(true); break;
    case 2: w->SetState(WindowState::Minimized); break;
    case 3: w->SetState(WindowState::Normal); break;
    case 4: w->Focus(); break;
    case 5: w->SetBounds(a, b, c, d); break;
    case 6: w->SetEnabled(h.AccessLevel >= static_cast<std::uint32_t>(a)); break;
    default: break;
  }
}

void WriteHostMessage(char* buffer, std::string_view text) {
  if (!buffer) return;
  std::memset(buffer, 0, kHostMessageSize);
  text = text.substr(0, kMaxHostMessage);
  std::memcpy(buffer, text.data(), text.size());
}

bool HostTextIs(const char* text, std::string_view expected) {
  if (!text) return false;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (text[i] != expected[i]) return false;
  }
  return text[expected.size()] == '\0';
}

std::string_view ReadHostText(const char* text, std::size_t limit) {
  if (!text) return {};
  std::size_t n = 0;
  while (n < limit && text[n] != '\0') ++n;
  return {text, n};
}

}  // namespace qz
