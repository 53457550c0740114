#pragma once
// The status window's decorations, drawn with GDI at start: the picture in
// the top right corner and the bullets of the status lines. Both sit on the
// face colour of buttons, so they look transparent on the window.

#include <windows.h>

namespace qz {

inline constexpr int kImage1Width = 80;
inline constexpr int kImage1Height = 37;
inline constexpr int kBulletSize = 12;

// Bitmaps the caller owns (DeleteObject); nullptr when GDI refuses.
HBITMAP DrawImage1();
HBITMAP DrawBullet();

}  // namespace qz
