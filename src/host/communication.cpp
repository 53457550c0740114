#include "host/communication.h"

#include "diag/statistics.h"
#include "engine/cycle.h"
#include "engine/drv_thread.h"
#include "host/driver_handle.h"
#include "protocol/answer_decoding.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace qz {

class Communication {
 public:
  explicit Communication(DriverHandle& h)
      : h_(h),
        io_{*h.Port, DefaultClock(), [this](std::string_view text) { HandOver(text); },
            [](int frequency, int ms) { Beep(frequency, ms); }},
        cycle_(*h.State, io_,
               [this](const ReceivedEntry& e) {
                 return DecodeMess(*h_.State, e.Answer.view(), e.SentFrame.view(), e.Values);
               },
               [this] { ShowStatistics(*h_.State, h_.Window.get()); }),
        thread_(h.Lock, DrvThread::Hooks{
                            [this] { return h_.Running && !h_.State->StopRequest; },
                            [this] { cycle_.Run(h_.Port->Active()); },
                            [this] { return h_.State->IdleTime; },
                        }) {}

  void Stop() { thread_.Stop(); }

 private:
  // Runs under the instance lock, like every other change of the window.
  void HandOver(std::string_view text) {
    h_.State->PendingEventText = text;
    AddToMemo(*h_.State, h_.Window.get());
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
  DrvThread thread_;  // last: starts when everything it uses exists
};

void ResetEngine(DriverHandle& h) {
  DriverState& s = *h.State;
  s.StopRequest = 0;
  EngineState fresh;
  fresh.LastTimeOfDay = TimeOfDayCs(DefaultClock());
  fresh.LastCycleStart = DateTimeValue(DefaultClock().Now());
  fresh.MergeLimit = s.Engine.MergeLimit;
  s.Engine = std::move(fresh);
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
