#pragma once
// Command lines from whatever the operator's input delivers: characters
// typed one by one, a pasted block, or a pipe that hands over many lines in
// one read and may end without a newline. Every complete line comes out
// once, in order.

#include <string>
#include <string_view>
#include <vector>

namespace qzhost {

class LineSplitter {
 public:
  // Bytes as they arrived; returns the lines they completed (CR, LF or CR LF
  // end a line).
  std::vector<std::string> Feed(std::string_view bytes);
  // The input ended: a last line without its newline still counts.
  std::vector<std::string> Finish();

 private:
  std::string partial_;
  bool afterCr_ = false;
};

// Where the main loop gets commands from.
class CommandSource {
 public:
  virtual ~CommandSource() = default;
  // Waits up to ms for input (pumping the platform's messages meanwhile)
  // and returns every command that is complete by then.
  virtual std::vector<std::string> Wait(int ms) = 0;
  // False once the input has ended.
  virtual bool Open() const = 0;
  // Around a redraw of the screen: keeps what the operator is typing.
  virtual void BeforeOutput() {}
  virtual void AfterOutput() {}
};

}  // namespace qzhost
