#include "pump.h"

#include <chrono>
#include <thread>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace wt {

namespace {

constexpr int kSliceMs = 10;

void DispatchFor(int ms) {
#ifdef _WIN32
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(ms), QS_ALLINPUT);
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
#else
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
#endif
}

}  // namespace

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void Pump(int ms) {
  const double end = NowMs() + ms;
  for (double left = ms; left > 0; left = end - NowMs()) DispatchFor(left < kSliceMs ? static_cast<int>(left) + 1 : kSliceMs);
}

bool PumpUntil(const std::function<bool()>& condition, int ms) {
  const double end = NowMs() + ms;
  while (!condition()) {
    if (NowMs() > end) return false;
    DispatchFor(kSliceMs);
  }
  return true;
}

}  // namespace wt
