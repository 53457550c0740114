#pragma once
// The driver's status window as the host's thread sees it through the
// Win32 API: found among the windows of this thread by its caption, its
// layout, texts and behaviour read back from the real controls.
//
// In the native build there is no Win32 window: every check reports SKIP.

#include <string>

#include "checks.h"
#include "line_session.h"

namespace wt {

class WindowProbe {
 public:
  // name: the host's name for the driver, the first part of the caption.
  explicit WindowProbe(const std::string& name);

  // Caption, client size, the controls' positions, sizes and captions,
  // "Inicializace OK" among the events.
  void CheckLayout(Checks& checks) const;
  // The statistics label changes while messages flow; a close request
  // leaves the window and the line running.
  void CheckRunning(Checks& checks, const LineSession& line) const;
  // DriverProc: hide, show, minimise, restore, move and size, enable by
  // the access level.
  void CheckHostControl(Checks& checks, const LineSession& line) const;
  // The window, as on the screen, saved as a BMP file.
  void Screenshot(Checks& checks, const std::string& path) const;
  // After Done (which took doneMs): the window no longer exists.
  void CheckGoneAfterDone(Checks& checks, double doneMs) const;
  // After an Init that failed: the window exists, hidden, and its event
  // list holds the start's events up to the port's failure.
  void CheckFailedStart(Checks& checks) const;
  // Whether a window of the driver with this caption exists in the thread.
  bool Exists() const;

 private:
  std::string caption_;
  void* window_ = nullptr;  // HWND
  std::string skip_;        // why there is nothing to check
};

// The access level the line run gives Init (DriverProc 6 is tested against it).
inline constexpr unsigned kLineAccessLevel = 5;

}  // namespace wt
