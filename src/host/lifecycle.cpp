#include "host/lifecycle.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "config/par_file.h"
#include "diag/log.h"
#include "diag/status_window.h"
#include "diag/texts.h"
#include "engine/line_control.h"
#include "history/history_file.h"
#include "history/history_readout.h"
#include "host/channel_lookup.h"
#include "host/communication.h"
#include "host/driver_handle.h"
#include "serial/port_setup.h"

namespace qz {

namespace {

// The window comes first, hidden, in the host's thread, so that every event
// of the start shows in it.
void OpenWindow(DriverHandle& h, std::string_view hostName) {
  auto model = std::make_shared<WindowModel>();
  h.NativeWindow = CreateStatusWindow(model);
  h.Window = model;
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
  s.Config.DriverName = args.HostName;
  AddEvent(h.Window.get(), std::string(text::kEvtDriverName) + s.Config.DriverName.str());
  s.Config.ParFileName = args.ParFileName;
  AddEvent(h.Window.get(), std::string(text::kEvtParFile) + s.Config.ParFileName.str());
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
  const std::string logState(s.Log.Enabled() ? text::kLogOn : text::kLogOff);
  h.Window->SetStatusLine(StatusLine::Prn,
                          Format(text::kLabelPrnFormat, s.Log.FileName().c_str(), logState.c_str()));
  const std::string parity =
      s.Config.Parity < text::kParityLetters.size() ? std::string(1, text::kParityLetters[s.Config.Parity]) : "?";
  h.Window->SetStatusLine(StatusLine::Com, Format(text::kLabelComFormat, int{s.Config.PortNumber}, int{s.Config.Baud},
                                                  int{s.Config.DataBits}, parity.c_str(), int{s.Config.StopBits}));
}

void LoadHistories(DriverHandle& h) {
  DriverState& s = *h.State;
  AddEvent(h.Window.get(), text::kEvtHdb);
  const HdbFiles files = HdbFilesOf(s);
  for (int n = 1; n <= s.Config.StationCount && n <= kMaxStations; ++n) {
    s.History.ImageSlot(n) = LoadHistory(files, n, h.Window.get());
  }
  UpdateHistoryDateWords(s.History, s.Config.StationCount);  // resume the host's record selection
  AddEvent(h.Window.get(), text::kEvtHdbOk);
  h.State->Log.Line(text::kLogInitStep, text::kLogStationsReset);
}


// Opens the line and starts the communication thread; false when the port
// cannot be opened.
bool StartLine(DriverHandle& h) {
  OpenLine(h.Window.get(), *h.Port, h.State->Config, h.State->Engine, h.State->Log);
  if (h.State->Config.SelfReading) h.State->Log.Line(text::kLogParFileSettings, text::kLogSelfReadingOn);
  h.State->Engine.WriteQueue.Clear();
  h.State->Engine.ReadQueue.Clear();
  if (!h.Port->Active()) return false;
  h.Running = 1;
  StartCommunication(h);
  return true;
}

// Takes the window from the handle and removes it outside the lock: from
// another thread than the window's the removal waits a moment for it.
void ReleaseWindow(DriverHandle& h) {
  std::shared_ptr<StatusWindow> native;
  {
    std::lock_guard guard(h.Lock);
    h.Window.reset();
    native = std::move(h.NativeWindow);
  }
  native.reset();
}

bool Fail(DriverHandle& h, std::string_view message, std::string& failure) {
  h.State->Config.ParseErrorText = message;
  failure = h.State->Config.ParseErrorText.str();
  h.Running = 0;
  return false;
}

bool StartInstance(DriverHandle& h, const InitArgs& args, std::string& failure) {
  std::lock_guard guard(h.Lock);
  h.AccessLevel = args.AccessLevel;
  OpenWindow(h, args.HostName);
  DriverState& s = *h.State;
  s.Log.Line(text::kLogInit, text::kLogInitStart);
  h.Channels.Clear();  // it refers to the configuration about to be replaced
  InitDriverState(s);
  AnnounceStart(h, args);

  if (!LoadParameterFile(s.Config, s.Log, h.Window.get())) {
    failure = s.Config.ParseErrorText.str();
    s.Log.Line(text::kLogParFileError, failure);
    h.Running = 0;
    return false;
  }
  ShowLoadedSettings(h);
  ClearStationValues(s.Config);
  IndexChannels(h);
  LoadHistories(h);
  ResetEngine(h);
  s.Log.Line(text::kLogInitStep, text::kLogEngineReset);
  s.Log.Line(text::kLogParFileLoaded, text::kLogParFileOk);
  AddEvent(h.Window.get(), text::kEvtInitOk);

  if (!StartLine(h)) return Fail(h, text::kComInstallError, failure);
  return true;
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
  // first line, thread and window go before anything is rebuilt.
  if (h.Thread || h.Running) DoneInstance(h);
  ReleaseWindow(h);
  const bool started = StartInstance(h, args, failure);
  std::shared_ptr<StatusWindow> native;
  {
    std::lock_guard guard(h.Lock);
    native = h.NativeWindow;
  }
  if (native) native->Refresh();  // the start's texts at once, not at the next tick
  return started;
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
  ReleaseWindow(h);
}

void DisposeInstance(DriverHandle* h) {
  if (!h) return;
  std::unique_ptr<DriverHandle> owned(h);
  if (owned->Running || owned->Thread || owned->Window) DoneInstance(*owned);  // a host that skipped Done
  DriverState& s = *owned->State;
  s.Engine.Received.Clear();
  s.Engine.ReadQueue.Clear();
  s.Engine.WriteQueue.Clear();
  s.Log.Line(text::kLogDone, text::kLogQueuesEmpty);
  const HdbFiles files = HdbFilesOf(s);
  for (int n = 1; n <= kMaxStations; ++n) {
    auto& slot = s.Config.Stations[static_cast<std::size_t>(n)];
    if (!slot) continue;  // Init never ran
    FreeList(slot->QqVariables);
    FreeList(slot->MemoryBlocks);
    if (const HistoryImage* image = s.History.Image(n)) SaveHistory(files, n, *image);
    s.History.ImageSlot(n).reset();
    slot.reset();
  }
  s.Log.Line(text::kLogDone, text::kLogStationsClosed);
  s.Samples.HistorySamples.reset();
  s.Log.Line(text::kLogDone, text::kLogDoneEnd);
  owned->Port.reset();  // the port goes before the state and the handle
  owned->State.reset();
}

void DriverProcInstance(DriverHandle& h, std::uint32_t code, std::int32_t a, std::int32_t b,
                        std::int32_t c, std::int32_t d) {
  std::shared_ptr<StatusWindow> native;
  WindowCommand command{};
  {
    std::lock_guard guard(h.Lock);
    WindowModel* w = h.Window.get();
    if (!w) return;  // before Init or after Done
    switch (code) {
      case 0: w->SetVisible(false); command = WindowCommand::Hide; break;
      case 1: w->SetVisible(true); command = WindowCommand::Show; break;
      case 2: w->SetState(WindowState::Minimized); command = WindowCommand::Minimize; break;
      case 3: w->SetState(WindowState::Normal); command = WindowCommand::Restore; break;
      case 4: w->Focus(); command = WindowCommand::Focus; break;
      case 5: w->SetBounds(a, b, c, d); command = WindowCommand::Bounds; break;
      case 6:
        w->SetEnabled(h.AccessLevel >= static_cast<std::uint32_t>(a));
        command = WindowCommand::Enable;
        break;
      default: return;
    }
    native = h.NativeWindow;
  }
  // Outside the lock: showing or focusing a window may send messages to the
  // host's other windows, whose threads may be waiting for the lock.
  if (native) native->Apply(command);
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
