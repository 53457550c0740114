#include "input_win32.h"

#include <windows.h>

#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace qzhost {

namespace {

// What the reader thread and the main loop share. The thread is detached:
// a blocking console read cannot be cancelled, and the process ends it.
struct Shared {
  std::mutex Lock;
  std::deque<std::string> Lines;
  bool Ended = false;
  HANDLE Ready = CreateEventA(nullptr, FALSE, FALSE, nullptr);
};

void ReadLines(std::shared_ptr<Shared> shared) {
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  LineSplitter splitter;
  for (;;) {
    char buf[1024];
    DWORD n = 0;
    const bool ok = ReadFile(in, buf, sizeof buf, &n, nullptr) != 0;
    std::vector<std::string> lines = ok && n > 0 ? splitter.Feed(std::string_view(buf, n)) : splitter.Finish();
    {
      std::lock_guard guard(shared->Lock);
      for (auto& l : lines) shared->Lines.push_back(std::move(l));
      if (!ok || n == 0) shared->Ended = true;
    }
    SetEvent(shared->Ready);
    if (!ok || n == 0) return;
  }
}

class ConsoleInput : public CommandSource {
 public:
  ConsoleInput() : shared_(std::make_shared<Shared>()) { std::thread(ReadLines, shared_).detach(); }

  std::vector<std::string> Wait(int ms) override {
    const DWORD until = GetTickCount() + static_cast<DWORD>(ms);
    for (;;) {
      PumpMessages();
      std::vector<std::string> lines = Take();
      const auto left = static_cast<long>(until - GetTickCount());
      if (!lines.empty() || left <= 0) return lines;
      // Wakes for a line from the reader or for a message of a window.
      MsgWaitForMultipleObjects(1, &shared_->Ready, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
    }
  }

  bool Open() const override {
    std::lock_guard guard(shared_->Lock);
    return !shared_->Ended || !shared_->Lines.empty();
  }

 private:
  std::vector<std::string> Take() {
    std::lock_guard guard(shared_->Lock);
    std::vector<std::string> lines(shared_->Lines.begin(), shared_->Lines.end());
    shared_->Lines.clear();
    return lines;
  }

  std::shared_ptr<Shared> shared_;
};

}  // namespace

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

std::unique_ptr<CommandSource> MakeWin32Input() { return std::make_unique<ConsoleInput>(); }

}  // namespace qzhost
