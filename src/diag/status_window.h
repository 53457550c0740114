#pragma once
// The platform's own status window, drawn from a WindowModel.
//
// On Windows it is a real window of the thread that creates it. Every call
// on it runs in that thread or is posted to it, never sent: no other thread
// ever waits for the window's thread, and the communication thread never
// touches it at all (it only writes the model, which the window polls).
// On POSIX there is no such window: the model alone is what a host sees.

#include <memory>

namespace qz {

class WindowModel;

// What DriverProc asks of the window. The model already holds the new
// state (visibility, window state, bounds, enabled) when it is applied.
enum class WindowCommand : int { Hide = 0, Show, Minimize, Restore, Focus, Bounds, Enable };

class StatusWindow {
 public:
  StatusWindow() = default;
  StatusWindow(const StatusWindow&) = delete;
  StatusWindow& operator=(const StatusWindow&) = delete;
  // Removes the window: at once in its own thread; from another thread the
  // removal is posted and waited for a short while only.
  virtual ~StatusWindow() = default;

  // Acts on the window now in its own thread, else posts the command.
  virtual void Apply(WindowCommand command) = 0;

  // Shows the model's texts now when called in the window's thread; the
  // window's own timer does it a few times a second anyway.
  virtual void Refresh() = 0;
};

// Creates the window, hidden, in the calling thread; nullptr on platforms
// without one or when the system refuses.
std::shared_ptr<StatusWindow> CreateStatusWindow(std::shared_ptr<const WindowModel> model);

}  // namespace qz
