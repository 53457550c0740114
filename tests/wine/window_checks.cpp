#include "window_checks.h"

#ifdef _WIN32
#define WT_WIN32_WINDOW 1
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

#include "diag/status_window_ids.h"
#include "pump.h"
#endif

namespace wt {

namespace {

const std::string kDriverInfo = "Vorlan-RK/VL2, RS232/485, v.5.017";

}  // namespace

#ifndef WT_WIN32_WINDOW

WindowProbe::WindowProbe(const std::string& name) : caption_(name + ": " + kDriverInfo) {
  skip_ = "no Win32 window on this platform";
}
void WindowProbe::CheckLayout(Checks& checks) const { checks.Skip("window layout", skip_); }
void WindowProbe::CheckRunning(Checks& checks, const LineSession&) const { checks.Skip("window while running", skip_); }
void WindowProbe::CheckHostControl(Checks& checks, const LineSession&) const { checks.Skip("DriverProc", skip_); }
void WindowProbe::Screenshot(Checks& checks, const std::string&) const { checks.Skip("screenshot", skip_); }
void WindowProbe::CheckGoneAfterDone(Checks& checks, double) const { checks.Skip("window gone after Done", skip_); }
void WindowProbe::CheckFailedStart(Checks& checks) const { checks.Skip("window after a failed Init", skip_); }
bool WindowProbe::Exists() const { return false; }

#else

namespace {

constexpr int kClientWidth = 337;
constexpr int kClientHeight = 301;
constexpr int kAny = -1;
constexpr int kSettleMs = 150;

// One control of the window: its place in the parent's client area (the
// window, or the group box for the status lines and their bullets), its
// size where the layout fixes it, and its caption where it is fixed at start.
struct ControlLayout {
  const char* Name;
  int Id;
  int ParentId;  // 0: the window itself
  const char* Class;
  int Left, Top, Width, Height;
  const char* Caption;  // nullptr: not fixed
  bool CaptionIsPrefix;
};

// Windows-1250 captions.
constexpr ControlLayout kControls[] = {
    {"EventList", QZ_ID_EVENT_LIST, 0, "Edit", 8, 45, 321, 137, nullptr, false},
    {"Image1", QZ_ID_IMAGE1, 0, "Static", 251, 2, 80, 37, nullptr, false},
    {"LabelName", QZ_ID_LABEL_NAME, 0, "Static", 8, 8, kAny, kAny, "Vorlan RK/RKm/VL2, RS232/RS485, max. 100 stanic",
     false},
    {"LabelVersion", QZ_ID_LABEL_VERSION, 0, "Static", 8, 24, kAny, kAny, "5.017 - 2007/08/20", false},
    {"GroupBox1", QZ_ID_GROUP_BOX1, 0, "Button", 8, 184, 321, 113, "Stav ovlada\xE8" "e", false},
    {"LabelCOM", QZ_ID_LABEL_COM, QZ_ID_GROUP_BOX1, "Static", 24, 16, kAny, kAny,
     "P\xF8ipojen\xED: COM12, 9600Bd, 8N1", false},
    {"LabelIdle", QZ_ID_LABEL_IDLE, QZ_ID_GROUP_BOX1, "Static", 24, 32, kAny, kAny, nullptr, false},
    {"LabelTransmit", QZ_ID_LABEL_TRANSMIT, QZ_ID_GROUP_BOX1, "Static", 24, 48, kAny, kAny, nullptr, false},
    {"LabelPacket", QZ_ID_LABEL_PACKET, QZ_ID_GROUP_BOX1, "Static", 24, 64, kAny, kAny, nullptr, false},
    {"LabelPRN", QZ_ID_LABEL_PRN, QZ_ID_GROUP_BOX1, "Static", 24, 80, kAny, kAny, "Log: C:\\QZDRK485_", true},
    {"LabelMem", QZ_ID_LABEL_MEM, QZ_ID_GROUP_BOX1, "Static", 24, 96, kAny, kAny, nullptr, false},
    {"Image2", QZ_ID_IMAGE2, QZ_ID_GROUP_BOX1, "Static", 8, 17, 12, 12, nullptr, false},
    {"Image3", QZ_ID_IMAGE2 + 1, QZ_ID_GROUP_BOX1, "Static", 8, 33, 12, 12, nullptr, false},
    {"Image4", QZ_ID_IMAGE2 + 2, QZ_ID_GROUP_BOX1, "Static", 8, 49, 12, 12, nullptr, false},
    {"Image5", QZ_ID_IMAGE2 + 3, QZ_ID_GROUP_BOX1, "Static", 8, 65, 12, 12, nullptr, false},
    {"Image6", QZ_ID_IMAGE6, QZ_ID_GROUP_BOX1, "Static", 8, 81, 12, 12, nullptr, false},
    {"Image7", QZ_ID_IMAGE7, QZ_ID_GROUP_BOX1, "Static", 8, 97, 12, 12, nullptr, false},
};

HWND Hwnd(void* p) { return static_cast<HWND>(p); }

double SentCount(const LineSession& line) {
  const auto counters = line.Counters();
  return counters ? counters->Sent : -1;
}

std::string Text(HWND hwnd) {
  const int length = GetWindowTextLengthA(hwnd);
  std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
  const int got = GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()));
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return text;
}

std::string ClassOf(HWND hwnd) {
  char name[64] = {};
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

// Every descendant of the window.
std::vector<HWND> Descendants(HWND window) {
  std::vector<HWND> all;
  EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&all));
  return all;
}

HWND ControlOf(HWND window, int id) {
  for (HWND child : Descendants(window))
    if (GetDlgCtrlID(child) == id) return child;
  return nullptr;
}

// The control's rectangle in its parent's client area, from GetWindowRect.
RECT PlaceInParent(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::string Describe(const RECT& r) {
  char text[80];
  std::snprintf(text, sizeof text, "(%ld, %ld) %ldx%ld", static_cast<long>(r.left), static_cast<long>(r.top),
                static_cast<long>(r.right - r.left), static_cast<long>(r.bottom - r.top));
  return text;
}

std::string CheckControl(HWND window, const ControlLayout& layout) {
  HWND control = ControlOf(window, layout.Id);
  if (!control) return "no control with ID " + std::to_string(layout.Id);
  HWND expectedParent = layout.ParentId == 0 ? window : ControlOf(window, layout.ParentId);
  std::string faults;
  if (GetParent(control) != expectedParent) faults += "wrong parent; ";
  if (lstrcmpiA(ClassOf(control).c_str(), layout.Class) != 0) faults += "class " + ClassOf(control) + "; ";
  const RECT r = PlaceInParent(control);
  const bool placed = r.left == layout.Left && r.top == layout.Top &&
                      (layout.Width == kAny || r.right - r.left == layout.Width) &&
                      (layout.Height == kAny || r.bottom - r.top == layout.Height);
  if (!placed) faults += "at " + Describe(r) + "; ";
  if (layout.Caption) {
    const std::string text = Text(control);
    const std::string expected = layout.Caption;
    const bool same = layout.CaptionIsPrefix ? text.compare(0, expected.size(), expected) == 0 : text == expected;
    if (!same) faults += "caption \"" + text + "\"; ";
  }
  if (!IsWindowVisible(control)) faults += "not visible; ";
  return faults;
}

// The Windows-1250 captions as the operator reads them: under the Czech code
// page the window's ANSI texts become these characters.
void CheckCzechCaptions(Checks& checks, HWND window) {
  if (GetACP() != 1250) return checks.Skip("Czech captions", "the ANSI code page is " + std::to_string(GetACP()));
  struct WideCaption {
    const char* Name;
    int Id;
    std::wstring Text;
  };
  const WideCaption captions[] = {
      {"GroupBox1", QZ_ID_GROUP_BOX1, L"Stav ovlada\u010De"},
      {"LabelCOM", QZ_ID_LABEL_COM, L"P\u0159ipojen\u00ED: COM12, 9600Bd, 8N1"},
  };
  for (const WideCaption& c : captions) {
    wchar_t text[256] = {};
    GetWindowTextW(ControlOf(window, c.Id), text, 255);
    checks.Expect(std::string("Czech caption of ") + c.Name + " in Unicode", c.Text == text);
  }
}

struct Search {
  std::string Caption;
  HWND Found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM p) {
  auto* s = reinterpret_cast<Search*>(p);
  if (ClassOf(hwnd) == QZ_WINDOW_CLASS && Text(hwnd) == s->Caption) {
    s->Found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// The thread's top-level window of the driver's class with the caption.
HWND FindThreadWindow(const std::string& caption) {
  Search search{caption, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

bool SaveBitmap(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rows) {
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(rows.size());
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + info.biSizeImage;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&info, sizeof info, 1, out) == 1 &&
            std::fwrite(rows.data(), 1, rows.size(), out) == rows.size();
  ok = std::fclose(out) == 0 && ok;
  return ok;
}

// The screen's pixels under the window, bottom-up 24-bit rows.
std::vector<std::uint8_t> Grab(const RECT& r, int& width, int& height) {
  width = r.right - r.left;
  height = r.bottom - r.top;
  const int stride = (width * 3 + 3) & ~3;
  std::vector<std::uint8_t> rows(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height > 0 ? height : 0));
  if (width <= 0 || height <= 0) return rows;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), rows.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return rows;
}

std::size_t DistinctColours(const std::vector<std::uint8_t>& rows) {
  std::vector<std::uint32_t> seen;
  for (std::size_t i = 0; i + 2 < rows.size() && seen.size() < 16; i += 3) {
    const std::uint32_t c = rows[i] | rows[i + 1] << 8 | static_cast<std::uint32_t>(rows[i + 2]) << 16;
    bool known = false;
    for (std::uint32_t s : seen) known = known || s == c;
    if (!known) seen.push_back(c);
  }
  return seen.size();
}

}  // namespace

WindowProbe::WindowProbe(const std::string& name) : caption_(name + ": " + kDriverInfo) {
  window_ = FindThreadWindow(caption_);
}

void WindowProbe::CheckLayout(Checks& checks) const {
  HWND w = Hwnd(window_);
  if (!checks.Expect("window of class " QZ_WINDOW_CLASS " in the host's thread, caption \"" + caption_ + "\"",
                     w != nullptr, "not found"))
    return;
  checks.Expect("window shown by DriverProc 1", IsWindowVisible(w) != FALSE);
  RECT client{};
  GetClientRect(w, &client);
  checks.Expect("client area 337 x 301", client.right == kClientWidth && client.bottom == kClientHeight,
                Describe(client));
  const LONG style = GetWindowLongA(w, GWL_STYLE);
  checks.Expect("fixed border, system menu and minimise only",
                (style & WS_SYSMENU) && (style & WS_MINIMIZEBOX) && !(style & WS_MAXIMIZEBOX) && !(style & WS_THICKFRAME),
                "style " + std::to_string(style));
  for (const ControlLayout& layout : kControls) {
    const std::string faults = CheckControl(w, layout);
    checks.Expect(std::string("control ") + layout.Name, faults.empty(), faults);
  }
  CheckCzechCaptions(checks, w);
  HWND events = ControlOf(w, QZ_ID_EVENT_LIST);
  const LONG eventStyle = events ? GetWindowLongA(events, GWL_STYLE) : 0;
  checks.Expect("event list multi-line and read-only", (eventStyle & ES_MULTILINE) && (eventStyle & ES_READONLY));
  std::string text;
  PumpUntil([&] { return (text = Text(events)).find("Inicializace OK") != std::string::npos; }, 2000);
  checks.Expect("\"Inicializace OK\" in the event list", text.find("Inicializace OK") != std::string::npos,
                "event list \"" + text + "\"");
}

void WindowProbe::CheckRunning(Checks& checks, const LineSession& line) const {
  HWND w = Hwnd(window_);
  if (!w) return checks.Skip("window while running", "no window found");
  HWND packet = ControlOf(w, QZ_ID_LABEL_PACKET);
  const std::string sentLabel = "Vysl\xE1no: ";
  std::string first;
  PumpUntil([&] { return NumberAfter(first = Text(packet), sentLabel).has_value(); }, 3000);
  std::string later;
  const bool moved = PumpUntil(
      [&] {
        later = Text(packet);
        return NumberAfter(later, sentLabel).value_or(0) > NumberAfter(first, sentLabel).value_or(0);
      },
      4000);
  checks.Expect("LabelPacket counts the messages as they flow", moved, "\"" + first + "\" then \"" + later + "\"");

  // The operator's close requests are refused: the window stays, the line runs.
  struct CloseRequest {
    const char* Name;
    std::function<void()> Send;
  };
  const CloseRequest requests[] = {
      {"WM_CLOSE", [w] { SendMessageA(w, WM_CLOSE, 0, 0); }},
      {"system menu Close", [w] { SendMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const CloseRequest& r : requests) {
    const double before = SentCount(line);
    r.Send();
    Pump(kSettleMs);
    const bool stays = IsWindow(w) && IsWindowVisible(w);
    const bool runs = PumpUntil([&] { return SentCount(line) > before; }, 3000);
    checks.Expect(std::string(r.Name) + " leaves the window open and the line running", stays && runs,
                  stays ? "the line stopped" : "the window went");
  }
}

void WindowProbe::CheckHostControl(Checks& checks, const LineSession& line) const {
  HWND w = Hwnd(window_);
  if (!w) return checks.Skip("DriverProc", "no window found");
  struct Case {
    const char* Name;
    std::uint32_t Code;
    std::int32_t A, B, C, D;
    std::function<bool()> Holds;
  };
  // Another window of the host takes the focus first, so that code 4 has
  // something to do.
  HWND other = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 0, 0, 60, 40, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  const auto focused = [w] {
    HWND f = GetFocus();
    return GetActiveWindow() == w && (f == w || IsChild(w, f));
  };
  const auto placedAt = [w](LONG left, LONG top, LONG width, LONG height) {
    RECT r{};
    GetWindowRect(w, &r);
    return r.left == left && r.top == top && r.right - r.left == width && r.bottom - r.top == height;
  };
  const std::int32_t level = static_cast<std::int32_t>(kLineAccessLevel);
  const Case cases[] = {
      {"0 hides", 0, 0, 0, 0, 0, [w] { return !IsWindowVisible(w); }},
      {"1 shows", 1, 0, 0, 0, 0, [w] { return IsWindowVisible(w) != FALSE; }},
      {"2 minimises", 2, 0, 0, 0, 0, [w] { return IsIconic(w) != FALSE; }},
      {"3 restores", 3, 0, 0, 0, 0, [w] { return !IsIconic(w) && IsWindowVisible(w); }},
      {"4 gives the window the input focus", 4, 0, 0, 0, 0, focused},
      {"5 moves and sizes", 5, 40, 30, 420, 380, [&] { return placedAt(40, 30, 420, 380); }},
      {"6 with the access level enables", 6, level, 0, 0, 0, [w] { return IsWindowEnabled(w) != FALSE; }},
      {"6 above the access level disables", 6, level + 1, 0, 0, 0, [w] { return !IsWindowEnabled(w); }},
      {"7 is ignored", 7, 0, 0, 0, 0, [w] { return !IsWindowEnabled(w) && IsWindowVisible(w); }},
      {"6 with level 0 enables again", 6, 0, 0, 0, 0, [w] { return IsWindowEnabled(w) != FALSE; }},
  };
  for (const Case& c : cases) {
    if (c.Code == 4 && other) {
      SetForegroundWindow(other);
      SetActiveWindow(other);
      SetFocus(other);
      Pump(kSettleMs);
    }
    line.Proc(c.Code, c.A, c.B, c.C, c.D);
    const bool holds = PumpUntil(c.Holds, 1000);
    RECT r{};
    GetWindowRect(w, &r);
    checks.Expect(std::string("DriverProc ") + c.Name, holds,
                  "window " + Describe(r) + (IsWindowVisible(w) ? " visible" : " hidden") +
                      (IsIconic(w) ? " minimised" : "") + (IsWindowEnabled(w) ? " enabled" : " disabled") +
                      (focused() ? " focused" : " not focused"));
  }
  if (other) DestroyWindow(other);
}

void WindowProbe::Screenshot(Checks& checks, const std::string& path) const {
  HWND w = Hwnd(window_);
  if (!w) return checks.Skip("screenshot", "no window found");
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Pump(500);
  RECT r{};
  GetWindowRect(w, &r);
  int width = 0;
  int height = 0;
  const std::vector<std::uint8_t> rows = Grab(r, width, height);
  const bool saved = SaveBitmap(path, width, height, rows);
  checks.Expect("screenshot of the shown window saved as " + path, saved && DistinctColours(rows) > 2,
                saved ? "the picture is blank" : "cannot write the file");
}

void WindowProbe::CheckGoneAfterDone(Checks& checks, double doneMs) const {
  HWND w = Hwnd(window_);
  if (!w) return checks.Skip("window gone after Done", "no window found");
  const bool gone = !IsWindow(w) && FindThreadWindow(caption_) == nullptr;
  checks.Expect("Done destroys the window within a second", gone && doneMs < 1000,
                (gone ? "" : std::string("the window is still there; ")) + std::to_string(doneMs) + " ms");
}

void WindowProbe::CheckFailedStart(Checks& checks) const {
  HWND w = Hwnd(window_);
  if (!checks.Expect("window exists after the failed Init", w != nullptr, "not found")) return;
  checks.Expect("window hidden until the host shows it", IsWindowVisible(w) == FALSE);
  const std::string portError = "Chyba p\xF8i otev\xF8" "en\xED portu !";
  std::string text;
  PumpUntil([&] { return (text = Text(ControlOf(w, QZ_ID_EVENT_LIST))).find(portError) != std::string::npos; }, 2000);
  checks.Expect("event list shows the start up to \"Chyba p\xF8i otev\xF8" "en\xED portu !\"",
                text.find("Inicializace OK") != std::string::npos && text.find(portError) != std::string::npos,
                "event list \"" + text + "\"");
}

bool WindowProbe::Exists() const { return FindThreadWindow(caption_) != nullptr; }

#endif

}  // namespace wt
