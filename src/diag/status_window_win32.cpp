// TDrvDialog: the status window as a Win32 window (user32 and gdi32 only).
//
// The window belongs to the thread that creates it (the host's thread in
// Init). It shows a WindowModel: a timer in that thread compares the model's
// revision a few times a second and copies what changed into the controls,
// so the communication thread only ever writes the model. Commands and the
// removal that other threads ask for are posted, never sent.
//
// Texts are Windows-1250 bytes and go to the ANSI functions as they are.

#include "diag/status_window.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <string>

#include "diag/status_pictures_win32.h"
#include "diag/status_window_ids.h"
#include "diag/window_model.h"

namespace qz {

namespace {

constexpr UINT kCommandMessage = WM_APP + 0x51;  // wParam: a WindowCommand
constexpr UINT kRemoveMessage = WM_APP + 0x52;   // Done from another thread
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 200;
constexpr DWORD kRemovalWaitMs = 2000;

constexpr int kClientWidth = 337;
constexpr int kClientHeight = 301;
// Single fixed border, system menu and minimise only.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = 0;

struct Box {
  int Left, Top, Width, Height;
};

constexpr Box kEventListBox{8, 45, 321, 137};
constexpr Box kGroupBox{8, 184, 321, 113};
constexpr int kImage1Left = 251;
constexpr int kImage1Top = 2;
constexpr int kLabelLeft = 8;
constexpr int kLabelNameTop = 8;
constexpr int kLabelVersionTop = 24;
// Inside the group box: the status lines from the top, 16 pixels apart,
// with their bullets one pixel lower.
constexpr int kStatusLeft = 24;
constexpr int kStatusTop = 16;
constexpr int kStatusPitch = 16;
constexpr int kBulletLeft = 8;

struct StatusRow {
  int LabelId;
  StatusLine Line;
  int BulletId;
};

constexpr std::array<StatusRow, kStatusLineCount> kStatusRows{{
    {QZ_ID_LABEL_COM, StatusLine::Com, QZ_ID_IMAGE2},
    {QZ_ID_LABEL_IDLE, StatusLine::Idle, QZ_ID_IMAGE2 + 1},
    {QZ_ID_LABEL_TRANSMIT, StatusLine::Transmit, QZ_ID_IMAGE2 + 2},
    {QZ_ID_LABEL_PACKET, StatusLine::Packet, QZ_ID_IMAGE2 + 3},
    {QZ_ID_LABEL_PRN, StatusLine::Prn, QZ_ID_IMAGE6},
    {QZ_ID_LABEL_MEM, StatusLine::Mem, QZ_ID_IMAGE7},
}};

HINSTANCE ThisModule() {
  static const char anchor = 0;
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, &anchor,
                     &module);
  return module;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The class is registered while windows of it exist, so the library can be
// unloaded and loaded again cleanly.
std::mutex gClassLock;
int gClassUsers = 0;

HICON WindowIcon(int metricX, int metricY) {
  return static_cast<HICON>(LoadImageA(ThisModule(), MAKEINTRESOURCEA(QZ_RES_WINDOW_ICON), IMAGE_ICON,
                                       GetSystemMetrics(metricX), GetSystemMetrics(metricY), LR_SHARED));
}

bool AcquireClass() {
  std::lock_guard guard(gClassLock);
  if (gClassUsers == 0) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ThisModule();
    wc.hIcon = WindowIcon(SM_CXICON, SM_CYICON);
    wc.hIconSm = WindowIcon(SM_CXSMICON, SM_CYSMICON);
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = QZ_WINDOW_CLASS;
    if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  }
  ++gClassUsers;
  return true;
}

void ReleaseClass() {
  std::lock_guard guard(gClassLock);
  if (gClassUsers > 0 && --gClassUsers == 0) UnregisterClassA(QZ_WINDOW_CLASS, ThisModule());
}

HFONT MakeFont(int height, const char* face) {
  return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

HWND Child(HWND parent, DWORD exStyle, const char* cls, DWORD style, Box box, int id, HFONT font) {
  HWND hwnd = CreateWindowExA(exStyle, cls, "", WS_CHILD | WS_VISIBLE | style, box.Left, box.Top, box.Width,
                              box.Height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ThisModule(),
                              nullptr);
  if (hwnd && font) SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return hwnd;
}

// Pictures never paint over their neighbours: like the pictures of a form
// they lie beneath the labels.
HWND Picture(HWND parent, int id, int left, int top, int width, int height, HBITMAP bitmap) {
  HWND hwnd = Child(parent, 0, "STATIC", SS_BITMAP | WS_CLIPSIBLINGS, {left, top, width, height}, id, nullptr);
  if (!hwnd) return nullptr;
  if (bitmap) SendMessageA(hwnd, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
  SetWindowPos(hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return hwnd;
}

// The size of a one-line label for text in font, measured as the label
// draws it; an empty text still has the font's height.
SIZE TextExtent(HWND hwnd, HFONT font, const std::string& text) {
  SIZE size{0, 0};
  HDC dc = GetDC(hwnd);
  if (!dc) return size;
  HGDIOBJ old = SelectObject(dc, font);
  RECT r{0, 0, 0, 0};
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS);
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  // Room for the overhang of the last glyph, which some renderers draw
  // beyond its advance width; the label would clip it.
  size.cx = r.right - r.left + metrics.tmOverhang + metrics.tmAveCharWidth;
  size.cy = std::max<LONG>(r.bottom - r.top, metrics.tmHeight);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  return size;
}

std::string EventLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) {
    if (!out.empty()) out += "\r\n";
    out += line;
  }
  return out;
}

// What CreateWindowEx hands to WM_NCCREATE; attached tells the creator that
// the window took the dialog over.
class Dialog;
struct Birth {
  Dialog* Owner;
  bool Attached;
};

// The window's own state. It lives from WM_NCCREATE to WM_NCDESTROY and is
// touched only in the window's thread.
class Dialog {
 public:
  Dialog(std::shared_ptr<const WindowModel> model, HANDLE gone) : model_(std::move(model)), gone_(gone) {}
  ~Dialog() {
    if (normalFont_) DeleteObject(normalFont_);
    if (smallFont_) DeleteObject(smallFont_);
    if (image1_) DeleteObject(image1_);
    if (bullet_) DeleteObject(bullet_);
    if (gone_) {
      SetEvent(gone_);
      CloseHandle(gone_);
    }
  }
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  static Dialog* Of(HWND hwnd) {
    if (!IsWindow(hwnd) || GetWindowLongPtrA(hwnd, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(WindowProc)) {
      return nullptr;
    }
    return reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  }

  static void Attach(HWND hwnd, const CREATESTRUCTA& create) {
    auto* birth = static_cast<Birth*>(create.lpCreateParams);
    if (!birth) return;
    birth->Owner->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(birth->Owner));
    birth->Attached = true;
  }

  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_CREATE:
        Build();
        Sync();
        SetTimer(hwnd_, kRefreshTimer, kRefreshMs, nullptr);
        return 0;
      case WM_TIMER:
        if (wParam == kRefreshTimer) Sync();
        return 0;
      case kCommandMessage:
        Run(static_cast<WindowCommand>(wParam));
        return 0;
      case WM_CLOSE:
        return 0;  // the operator cannot close it; only Done removes it
      case WM_SETFOCUS:
        if (eventList_) SetFocus(eventList_);
        return 0;
      case WM_SIZE:
        if (wParam == SIZE_MINIMIZED) minimized_ = true;
        if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED) minimized_ = false;
        break;
      case WM_CTLCOLORSTATIC:
        return ControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
      case WM_DESTROY:
        KillTimer(hwnd_, kRefreshTimer);
        return 0;
      default:
        break;
    }
    return DefWindowProcA(hwnd_, message, wParam, lParam);
  }

  // Copies what changed in the model into the controls.
  void Sync() {
    if (model_->Revision() == shownRevision_) return;
    const WindowView view = model_->Snapshot();
    shownRevision_ = view.Revision;
    ShowText(hwnd_, shown_.Caption, view.Caption);
    ShowLabel(labelName_, shown_.LabelName, view.LabelName);
    ShowLabel(labelVersion_, shown_.LabelVersion, view.LabelVersion);
    ShowText(groupBox_, shown_.GroupCaption, view.GroupCaption);
    for (std::size_t i = 0; i < kStatusRows.size(); ++i) {
      const auto line = static_cast<std::size_t>(kStatusRows[i].Line);
      ShowLabel(statusLabels_[i], shown_.StatusLines[line], view.StatusLines[line]);
    }
    const std::string events = EventLines(view.EventList);
    if (ShowText(eventList_, shownEvents_, events)) {
      // The newest line in sight, as appending to the list would leave it.
      const auto end = static_cast<WPARAM>(events.size());
      SendMessageA(eventList_, EM_SETSEL, end, static_cast<LPARAM>(end));
      SendMessageA(eventList_, EM_SCROLLCARET, 0, 0);
    }
  }

  // Works on a copy of the handle: showing or focusing the window may let
  // the host run (messages to its own windows) and even remove this dialog.
  void Run(WindowCommand command) {
    const HWND hwnd = hwnd_;
    const bool visible = IsWindowVisible(hwnd) != FALSE;
    switch (command) {
      case WindowCommand::Hide:
        ShowWindow(hwnd, SW_HIDE);
        break;
      case WindowCommand::Show:
        Sync();
        if (!visible) ShowWindow(hwnd, minimized_ ? SW_MINIMIZE : SW_SHOWNORMAL);
        break;
      case WindowCommand::Minimize:
      case WindowCommand::Restore:
        // A hidden window keeps the state for the moment it is shown.
        minimized_ = command == WindowCommand::Minimize;
        if (visible) ShowWindow(hwnd, minimized_ ? SW_MINIMIZE : SW_SHOWNORMAL);
        break;
      case WindowCommand::Focus:
        if (visible && IsWindowEnabled(hwnd)) {
          SetForegroundWindow(hwnd);
          SetFocus(hwnd);
        }
        break;
      case WindowCommand::Bounds:
        Place(hwnd, model_->Snapshot());
        break;
      case WindowCommand::Enable:
        EnableWindow(hwnd, model_->Snapshot().Enabled ? TRUE : FALSE);
        break;
    }
  }

 private:
  void Build() {
    normalFont_ = MakeFont(-10, "MS Sans Serif");
    smallFont_ = MakeFont(-9, "Small Fonts");
    image1_ = DrawImage1();
    bullet_ = DrawBullet();
    // In the order of declaration, which is also the tab order.
    eventList_ = Child(hwnd_, WS_EX_CLIENTEDGE, "EDIT", WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                       kEventListBox, QZ_ID_EVENT_LIST, smallFont_);
    Picture(hwnd_, QZ_ID_IMAGE1, kImage1Left, kImage1Top, kImage1Width, kImage1Height, image1_);
    labelName_ = Label(hwnd_, QZ_ID_LABEL_NAME, kLabelLeft, kLabelNameTop);
    labelVersion_ = Label(hwnd_, QZ_ID_LABEL_VERSION, kLabelLeft, kLabelVersionTop);
    groupBox_ = Child(hwnd_, 0, "BUTTON", BS_GROUPBOX, kGroupBox, QZ_ID_GROUP_BOX1, normalFont_);
    for (std::size_t i = 0; i < kStatusRows.size(); ++i) {
      const int top = kStatusTop + static_cast<int>(i) * kStatusPitch;
      statusLabels_[i] = Label(groupBox_, kStatusRows[i].LabelId, kStatusLeft, top);
      Picture(groupBox_, kStatusRows[i].BulletId, kBulletLeft, top + 1, kBulletSize, kBulletSize, bullet_);
    }
  }

  HWND Label(HWND parent, int id, int left, int top) {
    return Child(parent, 0, "STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, {left, top, 0, 0}, id, normalFont_);
  }

  // Sets text when it differs from what the control shows; true if it did.
  static bool ShowText(HWND hwnd, std::string& shown, const std::string& text) {
    if (!hwnd || shown == text) return false;
    SetWindowTextA(hwnd, text.c_str());
    shown = text;
    return true;
  }

  // A label is as large as its text.
  void ShowLabel(HWND label, std::string& shown, const std::string& text) {
    if (!label || shown == text) return;
    const SIZE size = TextExtent(label, normalFont_, text);
    SetWindowPos(label, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowText(label, shown, text);
  }

  // Outer position and size, as the host gives them; a minimised window
  // gets them for when it is restored.
  static void Place(HWND hwnd, const WindowView& view) {
    const auto coordinate = [](std::int32_t v) { return std::clamp<std::int32_t>(v, -32768, 32767); };
    const auto extent = [](std::int32_t v) { return std::clamp<std::int32_t>(v, 0, 32767); };
    const int left = coordinate(view.Left);
    const int top = coordinate(view.Top);
    const int width = extent(view.Width);
    const int height = extent(view.Height);
    if (IsIconic(hwnd)) {
      WINDOWPLACEMENT placement{};
      placement.length = sizeof placement;
      if (!GetWindowPlacement(hwnd, &placement)) return;
      placement.rcNormalPosition = RECT{left, top, left + width, top + height};
      if (!IsWindowVisible(hwnd)) placement.showCmd = SW_HIDE;
      SetWindowPlacement(hwnd, &placement);
      return;
    }
    SetWindowPos(hwnd, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  LRESULT ControlColour(HDC dc, HWND control) {
    // The read-only event list is white with black text, like an edit box;
    // labels sit on the face colour.
    const int background = control == eventList_ ? COLOR_WINDOW : COLOR_BTNFACE;
    SetTextColor(dc, control == eventList_ ? RGB(0, 0, 0) : GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(background));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(background));
  }

  std::shared_ptr<const WindowModel> model_;
  HANDLE gone_;  // set when the dialog ends
  HWND hwnd_ = nullptr;
  HWND eventList_ = nullptr;
  HWND labelName_ = nullptr;
  HWND labelVersion_ = nullptr;
  HWND groupBox_ = nullptr;
  std::array<HWND, kStatusLineCount> statusLabels_{};
  HFONT normalFont_ = nullptr;
  HFONT smallFont_ = nullptr;
  HBITMAP image1_ = nullptr;
  HBITMAP bullet_ = nullptr;
  bool minimized_ = false;
  std::uint64_t shownRevision_ = ~std::uint64_t{0};
  WindowView shown_;  // the texts the controls show; they start empty
  std::string shownEvents_;
};

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_NCCREATE) Dialog::Attach(hwnd, *reinterpret_cast<const CREATESTRUCTA*>(lParam));
    if (message == kRemoveMessage) {
      DestroyWindow(hwnd);
      ReleaseClass();
      return 0;
    }
    Dialog* dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_NCDESTROY && dialog) {
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      delete dialog;
      dialog = nullptr;
    }
    if (dialog) return dialog->Handle(message, wParam, lParam);
  } catch (...) {
    // Nothing may unwind through the system's frames.
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The host's side of the window: it holds only the window handle, so any
// call after the window has gone does nothing.
class Win32StatusWindow final : public StatusWindow {
 public:
  Win32StatusWindow(HWND hwnd, HANDLE gone) : hwnd_(hwnd), thread_(GetWindowThreadProcessId(hwnd, nullptr)), gone_(gone) {}

  ~Win32StatusWindow() override {
    if (InOwnThread()) {
      if (Dialog::Of(hwnd_)) {
        DestroyWindow(hwnd_);
        ReleaseClass();
      }
    } else if (IsWindow(hwnd_) && PostMessageA(hwnd_, kRemoveMessage, 0, 0) && gone_) {
      // A host thread that does not pump messages just now is not waited
      // for long: the window goes when that thread reads its queue.
      WaitForSingleObject(gone_, kRemovalWaitMs);
    }
    if (gone_) CloseHandle(gone_);
  }

  void Apply(WindowCommand command) override {
    if (!InOwnThread()) {
      PostMessageA(hwnd_, kCommandMessage, static_cast<WPARAM>(command), 0);
      return;
    }
    if (Dialog* d = Dialog::Of(hwnd_)) d->Run(command);
  }

  void Refresh() override {
    if (!InOwnThread()) return;
    if (Dialog* d = Dialog::Of(hwnd_)) d->Sync();
  }

 private:
  bool InOwnThread() const { return GetCurrentThreadId() == thread_; }

  HWND hwnd_;
  DWORD thread_;
  HANDLE gone_;
};

// The outer rectangle for the client area, in the middle of the screen.
Box CentredWindow() {
  RECT r{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&r, kStyle, FALSE, kExStyle);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  return {(GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height};
}

HANDLE Duplicate(HANDLE h) {
  HANDLE copy = nullptr;
  if (h) DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
  return copy;
}

}  // namespace

std::shared_ptr<StatusWindow> CreateStatusWindow(std::shared_ptr<const WindowModel> model) {
  if (!model || !AcquireClass()) return nullptr;
  HANDLE gone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  auto dialog = std::make_unique<Dialog>(std::move(model), Duplicate(gone));
  Birth birth{dialog.get(), false};
  const Box box = CentredWindow();
  HWND hwnd = CreateWindowExA(kExStyle, QZ_WINDOW_CLASS, "", kStyle, box.Left, box.Top, box.Width, box.Height,
                              nullptr, nullptr, ThisModule(), &birth);
  if (birth.Attached) dialog.release();  // the window owns it now
  if (!hwnd) {
    if (gone) CloseHandle(gone);
    ReleaseClass();
    return nullptr;
  }
  return std::make_shared<Win32StatusWindow>(hwnd, gone);
}

}  // namespace qz
