// Calls the driver through its header and library: prints the version and
// the driver's check byte.
#include <qzdrk485.h>

#include <cstdio>

int main() {
  std::printf("version %d check %d\n", static_cast<int>(Version()), static_cast<int>(Check()));
  return Version() > 0 ? 0 : 1;
}
