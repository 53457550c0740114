#include "host/communication.h"

#include <algorithm>
#include <cstdint>

#include "diag/log.h"
#include "diag/statistics.h"
#include "engine/cycle.h"
#include "engine/drv_thread.h"
#include "engine/engine_report.h"
#include "engine/line_outage.h"
#include "host/answer_handling.h"
#include "host/driver_handle.h"
#include "serial/port_recovery.h"
#include "serial/port_setup.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace qz {

class Communication {
 public:
  explicit Communication(DriverHandle& h)
      : h_(h),
        io_{*h.Port, DefaultClock(), [this](std::string_view text) { HandOver(text); },
            [](int frequency, int ms) { Beep(frequency, ms); },
            [this](std::string_view label, std::string_view text) { h_.State->Log.Line(label, text); }},
        cycle_(EngineRecordsOf(*h.State), io_,
               [this](const ReceivedEntry& e) {
                 return DecodeAnswer(*h_.State, e.Answer.view(), e.SentFrame.view(), e.Values);
               },
               [this] { ShowStatistics(StatisticsFigures(h_.State->Engine), h_.Window.get()); }),
        recovery_(*h.Port, io_.Time, PortRecovery::Listener{[this](std::int32_t code) { PortLost(code); },
                                                            [this] { PortBack(); }}),
        thread_(h.Lock, DrvThread::Hooks{
                            [this] { return h_.Running && !h_.State->StopRequest; },
                            [this] { return Cycle(); },
                            [this](const LineWait& wait) { h_.Port->AwaitLine(wait); },
                            [this] { h_.Port->WakeLine(); },
                        }) {
    // Constructed under the instance lock (Init holds it); the thread waits
    // for it before its first cycle.
    for (RequestQueue* queue : {&h_.State->Engine.WriteQueue, &h_.State->Engine.ReadQueue})
      queue->SetOnInsert([this] { thread_.Wake(); });
  }

  // Ends the thread. Done has closed the port before; a reopen the thread
  // made in its last cycle is undone here.
  void Stop() {
    if (h_.State) {
      std::lock_guard guard(h_.Lock);
      for (RequestQueue* queue : {&h_.State->Engine.WriteQueue, &h_.State->Engine.ReadQueue})
        queue->SetOnInsert({});
    }
    thread_.Stop();
    if (h_.Port) h_.Port->SetActive(false);
  }

  // Under the instance lock.
  void ReopenPort() {
    recovery_.ReopenNow();
    thread_.Wake();  // the machine starts again on the fresh line at once
  }

 private:
  // Under the instance lock: one cycle, and what the thread waits for
  // before the next. IdleTime is the longest wait while the machine has
  // nothing to do or waits on the line; 0 sets no limit (the statistics
  // second still does).
  LineWait Cycle() {
    recovery_.Supervise();
    const StepResult next = cycle_.Run(h_.Port->Active(), h_.State->Config.IdleTime);
    LineWait wait;
    wait.RxBytes = next.WantBytes;
    wait.Drain = next.WantDrain;
    if (next.At) {
      const std::int64_t left = *next.At - io_.Time.SteadyMs();
      wait.TimeoutMs = static_cast<std::int32_t>(std::clamp<std::int64_t>(left, 0, INT32_MAX));
    }
    return wait;
  }

  void PortLost(std::int32_t code) {
    outage_.Begin(h_.State->Config, h_.State->Engine);
    HandOver(PortLostText(h_.Port->Port(), code));
  }

  void PortBack() {
    HandOver(PortBackText(h_.Port->Port()));
    outage_.End(h_.State->Config, h_.State->Engine, *h_.Port, [this](std::string_view text) { HandOver(text); });
  }

  // Runs under the instance lock, like every other change of the window.
  void HandOver(std::string_view text) {
    h_.State->Engine.PendingEventText = text;
    AddToMemo(h_.State->Engine, h_.State->Log, h_.Window.get());
  }

  static void Beep(int frequency, int ms) {
#ifdef _WIN32
    ::Beep(static_cast<DWORD>(frequency), static_cast<DWORD>(ms));
#else
    (void)frequency;
    (void)ms;
#endif
  }

  DriverHandle& h_;
  EngineIo io_;
  CommunicationCycle cycle_;
  LineOutage outage_;
  PortRecovery recovery_;
  DrvThread thread_;  // last: starts when everything it uses exists
};

void ResetEngine(DriverHandle& h) {
  DriverState& s = *h.State;
  s.StopRequest = 0;
  EngineState fresh;
  fresh.LastTimeOfDayMs = TimeOfDayMs(DefaultClock());
  fresh.LastTimeOfDay = fresh.LastTimeOfDayMs / 10;
  fresh.LastCycleStart = DateTimeValue(DefaultClock().Now());
  fresh.MergeLimit = s.Engine.MergeLimit;
  s.Engine = std::move(fresh);
}

void ReopenPort(DriverHandle& h) {
  if (h.Thread) h.Thread->ReopenPort();
}

void StartCommunication(DriverHandle& h) { h.Thread = std::make_unique<Communication>(h); }

void StopCommunication(std::unique_ptr<Communication>& thread) {
  if (!thread) return;
  thread->Stop();
  thread.reset();
}

}  // namespace qz

DriverHandle::DriverHandle() = default;
DriverHandle::~DriverHandle() { qz::StopCommunication(Thread); }
