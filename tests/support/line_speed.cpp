// Kept apart from <termios.h>, whose declarations clash with the kernel's
// termios2 header.

#include "support/line_speed.h"

#ifdef __linux__
#include <asm/ioctls.h>
#include <asm/termbits.h>
extern "C" int ioctl(int fd, unsigned long request, ...);
#endif

namespace qz::test {

long LineSpeed(int fd) {
#if defined(__linux__) && defined(TCGETS2)
  termios2 t{};
  if (ioctl(fd, TCGETS2, &t) != 0) return -1;
  return static_cast<long>(t.c_ospeed);
#else
  (void)fd;
  return -1;
#endif
}

}  // namespace qz::test
