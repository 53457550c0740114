#pragma once
// The status window as a toolkit-neutral model.
//
// The driver writes captions, the event list and the six status lines here;
// a Win32 window renders it on Windows, the host harness shows it on Linux.
// The model has its own lock, so the host's thread and the communication
// thread may touch it at any time; readers take a Snapshot(). Every change
// raises Revision(), so a renderer polls one number to learn that there is
// something new to show.

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qz {

inline constexpr std::size_t kEventListLines = 12;

// The six status lines in the order of the handle's StatusLabels.
enum class StatusLine : int { Idle = 0, Transmit, Packet, Prn, Com, Mem };
inline constexpr std::size_t kStatusLineCount = 6;

enum class WindowState : std::uint8_t { Normal, Minimized };

struct WindowView {
  std::string Caption;
  std::string LabelName;
  std::string LabelVersion;
  std::string GroupCaption;
  std::vector<std::string> EventList;
  std::array<std::string, kStatusLineCount> StatusLines;
  bool Visible = false;
  bool Enabled = true;
  bool Focused = false;
  WindowState State = WindowState::Normal;
  // Client area; the window starts centred on the screen (Left/Top -1).
  std::int32_t Left = -1;
  std::int32_t Top = -1;
  std::int32_t Width = 337;
  std::int32_t Height = 301;
  // The model's Revision() when the snapshot was taken.
  std::uint64_t Revision = 0;
};

class WindowModel {
 public:
  WindowModel();

  // Appends a line; the oldest goes when 12 are already shown.
  void AddEvent(std::string_view text);

  void SetCaption(std::string_view text);
  void SetLabelName(std::string_view text);
  void SetLabelVersion(std::string_view text);
  void SetStatusLine(StatusLine line, std::string_view text);

  void SetVisible(bool visible);
  void SetState(WindowState state);
  void Focus();
  void SetBounds(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height);
  void SetEnabled(bool enabled);

  // The operator's close request is refused: only the host hides the window.
  void RequestClose() {}

  WindowView Snapshot() const;

  // Counts the changes; a renderer that saw this number has seen everything.
  std::uint64_t Revision() const { return revision_.load(std::memory_order_acquire); }

 private:
  // Runs change under the lock and counts it.
  template <class Change>
  void Update(Change&& change);

  mutable std::mutex lock_;
  std::atomic<std::uint64_t> revision_{0};
  WindowView view_;
  std::deque<std::string> events_;
};

// Adds an event line when there is a window; without one nothing happens.
void AddEvent(WindowModel* window, std::string_view text);

}  // namespace qz
