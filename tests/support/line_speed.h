#pragma once
// The rate a tty really has, as the kernel holds it: also rates without a
// termios speed code, which cfgetospeed cannot name.

namespace qz::test {

// Output rate of the tty in Bd, or -1 when it cannot be read.
long LineSpeed(int fd);

}  // namespace qz::test
