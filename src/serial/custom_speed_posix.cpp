// Rates without a termios speed code (14400, 56000, 128000, 256000). Kept
// apart because the kernel's termios2 header clashes with <termios.h>.

#include <cerrno>
#include <cstdint>

#ifdef __linux__
#include <asm/ioctls.h>
#include <asm/termbits.h>
extern "C" int ioctl(int fd, unsigned long request, ...);
#endif

namespace qz {

int SetCustomSpeed(int fd, std::int32_t baudrate) {
#if defined(__linux__) && defined(BOTHER)
  termios2 t{};
  if (ioctl(fd, TCGETS2, &t) != 0) return -1;
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ispeed = static_cast<speed_t>(baudrate);
  t.c_ospeed = static_cast<speed_t>(baudrate);
  return ioctl(fd, TCSETS2, &t);
#else
  (void)fd;
  (void)baudrate;
  errno = EINVAL;
  return -1;
#endif
}

}  // namespace qz
