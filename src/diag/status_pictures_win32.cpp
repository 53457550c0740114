#include "diag/status_pictures_win32.h"

namespace qz {

namespace {

// A bitmap compatible with the screen, filled with the face colour, and a
// memory DC that draws into it.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    bitmap_ = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    if (dc_ && bitmap_) {
      old_ = SelectObject(dc_, bitmap_);
      RECT all{0, 0, width, height};
      FillRect(dc_, &all, GetSysColorBrush(COLOR_BTNFACE));
    }
  }
  ~Canvas() {
    if (dc_) {
      if (old_) SelectObject(dc_, old_);
      DeleteDC(dc_);
    }
    if (bitmap_) DeleteObject(bitmap_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  bool Ready() const { return dc_ && bitmap_ && old_; }
  HDC Dc() const { return dc_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // Hands the bitmap over; the canvas is done.
  HBITMAP Take() {
    SelectObject(dc_, old_);
    old_ = nullptr;
    HBITMAP b = bitmap_;
    bitmap_ = nullptr;
    return b;
  }

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

// Selects a pen and a brush for one shape and puts the old ones back.
class Paint {
 public:
  Paint(HDC dc, COLORREF line, COLORREF fill)
      : dc_(dc), pen_(CreatePen(PS_SOLID, 1, line)), brush_(CreateSolidBrush(fill)) {
    oldPen_ = SelectObject(dc_, pen_);
    oldBrush_ = SelectObject(dc_, brush_);
  }
  ~Paint() {
    SelectObject(dc_, oldPen_);
    SelectObject(dc_, oldBrush_);
    DeleteObject(pen_);
    DeleteObject(brush_);
  }
  Paint(const Paint&) = delete;
  Paint& operator=(const Paint&) = delete;

 private:
  HDC dc_;
  HPEN pen_;
  HBRUSH brush_;
  HGDIOBJ oldPen_;
  HGDIOBJ oldBrush_;
};

constexpr COLORREF kNavy = RGB(0, 51, 102);
constexpr COLORREF kSignal = RGB(102, 204, 255);

// Three stations on one line: a bus with three boxes hanging from it.
void DrawLine(HDC dc) {
  {
    Paint p(dc, kNavy, kNavy);
    RoundRect(dc, 0, 0, kImage1Width, kImage1Height, 8, 8);
  }
  Paint p(dc, kSignal, kSignal);
  MoveToEx(dc, 6, 11, nullptr);
  LineTo(dc, kImage1Width - 6, 11);
  for (int i = 0; i < 3; ++i) {
    const int x = 14 + i * 22;
    MoveToEx(dc, x + 5, 11, nullptr);
    LineTo(dc, x + 5, 20);
    Rectangle(dc, x, 20, x + 11, 30);
  }
}

void DrawDot(HDC dc) {
  {
    Paint p(dc, RGB(0, 96, 0), RGB(0, 176, 0));
    Ellipse(dc, 1, 1, kBulletSize - 1, kBulletSize - 1);
  }
  Paint p(dc, RGB(160, 255, 160), RGB(160, 255, 160));
  Ellipse(dc, 3, 3, 6, 6);
}

template <class Draw>
HBITMAP Drawn(int width, int height, Draw draw) {
  Canvas c(width, height);
  if (!c.Ready()) return nullptr;
  draw(c.Dc());
  return c.Take();
}

}  // namespace

HBITMAP DrawImage1() { return Drawn(kImage1Width, kImage1Height, DrawLine); }
HBITMAP DrawBullet() { return Drawn(kBulletSize, kBulletSize, DrawDot); }

}  // namespace qz
