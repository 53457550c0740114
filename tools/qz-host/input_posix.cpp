#include "input_posix.h"

#include <readline/history.h>
#include <readline/readline.h>
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace qzhost {

namespace {

// Waits up to ms for fd to become readable.
bool Readable(int fd, int ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(fd, &set);
  timeval tv{ms / 1000, (ms % 1000) * 1000};
  const int n = ::select(fd + 1, &set, nullptr, nullptr, &tv);
  return n > 0 && FD_ISSET(fd, &set);
}

class PipeInput : public CommandSource {
 public:
  explicit PipeInput(int fd) : fd_(fd) {}

  std::vector<std::string> Wait(int ms) override {
    if (!open_) {
      ::usleep(static_cast<useconds_t>(ms) * 1000);
      return {};
    }
    std::vector<std::string> lines;
    // Everything that is there now: many lines may have come in one piece.
    for (int wait = ms; open_ && Readable(fd_, wait); wait = 0) {
      char buf[4096];
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n < 0 && errno == EINTR) break;
      if (n <= 0) {
        open_ = false;
        for (auto& l : splitter_.Finish()) lines.push_back(std::move(l));
        break;
      }
      for (auto& l : splitter_.Feed(std::string_view(buf, static_cast<std::size_t>(n)))) lines.push_back(std::move(l));
    }
    return lines;
  }
  bool Open() const override { return open_; }

 private:
  int fd_;
  bool open_ = true;
  LineSplitter splitter_;
};

// readline's alternate interface: select tells when a character is there,
// rl_callback_read_char takes it, and finished lines arrive in OnLine.
class ReadlineInput : public CommandSource {
 public:
  ReadlineInput(int fd, const char* prompt) : fd_(fd), prompt_(prompt) {
    self_ = this;
    in_ = ::fdopen(::dup(fd), "r");
    // The prompt and the echo go to the terminal the keys come from.
    out_ = fd == STDIN_FILENO ? nullptr : ::fdopen(::dup(fd), "w");
    rl_instream = in_;
    rl_outstream = out_ ? out_ : stdout;
    rl_catch_signals = 0;  // the harness stops on SIGINT itself
    rl_catch_sigwinch = 0;
    // A pasted block runs line by line, like typed lines.
    rl_variable_bind("enable-bracketed-paste", "off");
    rl_callback_handler_install(prompt_.c_str(), &ReadlineInput::OnLine);
  }
  ~ReadlineInput() override {
    if (installed_) rl_callback_handler_remove();
    rl_instream = nullptr;
    rl_outstream = nullptr;
    if (in_) std::fclose(in_);
    if (out_) std::fclose(out_);
    self_ = nullptr;
  }
  ReadlineInput(const ReadlineInput&) = delete;
  ReadlineInput& operator=(const ReadlineInput&) = delete;

  std::vector<std::string> Wait(int ms) override {
    if (!open_) {
      ::usleep(static_cast<useconds_t>(ms) * 1000);
      return {};
    }
    for (int wait = ms; open_ && Readable(fd_, wait); wait = 0) rl_callback_read_char();
    std::vector<std::string> lines;
    lines.swap(lines_);
    return lines;
  }
  bool Open() const override { return open_; }

  void BeforeOutput() override {
    if (!open_) return;
    savedPoint_ = rl_point;
    char* text = rl_copy_text(0, rl_end);
    saved_ = text ? text : "";
    std::free(text);
    rl_save_prompt();
    rl_replace_line("", 0);
    rl_redisplay();
  }
  void AfterOutput() override {
    if (!open_) return;
    rl_restore_prompt();
    rl_replace_line(saved_.c_str(), 0);
    rl_point = savedPoint_;
    rl_on_new_line();
    rl_redisplay();
  }

 private:
  static void OnLine(char* line) {
    ReadlineInput* self = self_;
    if (!self) return std::free(line);
    if (!line) {  // end of input (Ctrl-D)
      self->open_ = false;
      rl_callback_handler_remove();
      self->installed_ = false;
      return;
    }
    if (*line) add_history(line);
    // A line may still hold several commands when the terminal passed them through.
    LineSplitter splitter;
    for (auto& l : splitter.Feed(line)) self->lines_.push_back(std::move(l));
    for (auto& l : splitter.Finish()) self->lines_.push_back(std::move(l));
    std::free(line);
  }

  static inline ReadlineInput* self_ = nullptr;
  int fd_;
  std::string prompt_;
  std::FILE* in_ = nullptr;
  std::FILE* out_ = nullptr;
  bool open_ = true;
  bool installed_ = true;
  std::vector<std::string> lines_;
  std::string saved_;
  int savedPoint_ = 0;
};

}  // namespace

std::unique_ptr<CommandSource> MakePosixInput(int fd, bool tty, const char* prompt) {
  if (tty) return std::make_unique<ReadlineInput>(fd, prompt);
  return std::make_unique<PipeInput>(fd);
}

}  // namespace qzhost
