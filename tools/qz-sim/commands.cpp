#include "commands.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <map>

namespace qz::sim {

namespace {

using Words = std::vector<std::string>;

constexpr const char* kHelp =
    "commands:\n"
    "  set ST ITEM VALUE | get ST ITEM\n"
    "  step ST ITEM at TIME to V | ramp ST ITEM from A to B over TIME [repeat]\n"
    "  toggle ST ITEM every TIME [between A B] | count ST ITEM by N every TIME | still ST\n"
    "  header ST y|short\n"
    "  fault ST|* silence|badcheck|garbage [N]|truncate [N]|foreign [MASTER]|late [MS]|error CODE [once|times N]\n"
    "  clear ST|* [FAULT] | report ST h|x [now]\n"
    "  history ST add [CODE [VALUE]] | every TIME [code C] | fill N [every TIME] | capacity 50000|6500 | user U POS\n"
    "  turnaround MS | unplug TIME | dump ST|* | stats | help | quit\n"
    "items: bi N, bo N, ai N, ct N, mi N, mo N, qq B.G.I, mem ADDR [byte|word|real], blk BLOCK.ITEM\n";

CommandResult Fail(std::string text) { return {false, false, std::move(text)}; }
CommandResult Done(std::string text = {}) { return {true, false, std::move(text)}; }

class Context {
 public:
  Context(Responder& r, const Words& w, std::int64_t now) : r_(r), w_(w), now_(now) {}

  bool More() const { return pos_ < w_.size(); }
  const std::string& Peek() const { return w_[pos_]; }
  bool Accept(std::string_view word) {
    if (More() && Peek() == word) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool Word(std::string& out, const char* what) {
    if (!More()) return Error(std::string("missing ") + what);
    out = w_[pos_++];
    return true;
  }
  bool Expect(std::string_view word) {
    if (Accept(word)) return true;
    return Error("expected '" + std::string(word) + "'" + (More() ? " instead of '" + Peek() + "'" : std::string()));
  }
  bool Number(double& out, const char* what) {
    std::string w;
    if (!Word(w, what)) return false;
    if (!ParseNumber(w, out)) return Error(std::string("bad ") + what + " '" + w + "'");
    return true;
  }
  bool Integer(int& out, const char* what, int lo, int hi) {
    double v = 0;
    if (!Number(v, what)) return false;
    if (v != std::floor(v) || v < lo || v > hi) {
      return Error(std::string(what) + " must be a whole number " + std::to_string(lo) + ".." + std::to_string(hi));
    }
    out = static_cast<int>(v);
    return true;
  }
  bool Duration(std::int64_t& ms, const char* what) {
    std::string w;
    if (!Word(w, what)) return false;
    if (!ParseDuration(w, ms)) return Error(std::string("bad ") + what + " '" + w + "' (500ms, 2s, 1.5, 1m)");
    return true;
  }
  // A simulated station, or every station for "*" when allowed.
  bool Stations(std::vector<std::uint8_t>& out, bool allowAll) {
    std::string w;
    if (!Word(w, "station address")) return false;
    if (w == "*" && allowAll) {
      out = r_.Addresses();
      return true;
    }
    double v = 0;
    if (!ParseNumber(w, v) || v < 0 || v > 255 || v != std::floor(v)) return Error("bad station address '" + w + "'");
    const auto a = static_cast<std::uint8_t>(v);
    if (!r_.Find(a)) return Error("no simulated station with address " + w);
    out = {a};
    return true;
  }
  bool Station(std::uint8_t& out) {
    std::vector<std::uint8_t> one;
    if (!Stations(one, false)) return false;
    out = one.front();
    return true;
  }
  bool Item(ItemRef& item) {
    std::string error;
    if (!ParseItemRef(w_, pos_, item, error)) return Error(error);
    return true;
  }
  bool End() {
    if (More()) return Error("unexpected '" + Peek() + "'");
    return true;
  }
  bool Error(std::string text) {
    if (error_.empty()) error_ = std::move(text);
    return false;
  }
  const std::string& ErrorText() const { return error_; }
  Responder& R() { return r_; }
  std::int64_t Now() const { return now_; }

 private:
  Responder& r_;
  const Words& w_;
  std::int64_t now_;
  std::size_t pos_ = 1;
  std::string error_;
};

CommandResult Finish(Context& c, bool ok, std::string text = {}) {
  return ok ? Done(std::move(text)) : Fail(c.ErrorText());
}

CommandResult CmdSet(Context& c) {
  std::uint8_t st = 0;
  ItemRef item;
  std::string value;
  if (!c.Station(st) || !c.Item(item) || !c.Word(value, "value") || !c.End()) return Fail(c.ErrorText());
  std::string error;
  double v = 0;
  Station* s = c.R().Find(st);
  bool ok = false;
  if (item.Where == ItemRef::Area::QQ && !ParseNumber(value, v)) ok = s->SetText(item, value, error);
  else if (!ParseNumber(value, v)) error = "bad value '" + value + "'";
  else ok = s->Set(item, v, error);
  return ok ? Done() : Fail(error);
}

CommandResult CmdGet(Context& c) {
  std::uint8_t st = 0;
  ItemRef item;
  if (!c.Station(st) || !c.Item(item) || !c.End()) return Fail(c.ErrorText());
  auto v = c.R().Find(st)->Get(item);
  if (!v) return Fail("station " + std::to_string(st) + " has no " + ItemName(item) + " with a number");
  // Whole numbers in full (a LONGINT or CARDINAL has ten digits), others
  // to nine significant digits.
  char buf[64];
  if (*v == std::floor(*v) && std::fabs(*v) < 1e15) std::snprintf(buf, sizeof buf, "%.0f", *v);
  else std::snprintf(buf, sizeof buf, "%.9g", *v);
  return Done(buf);
}

bool CheckItem(Context& c, std::uint8_t st, const ItemRef& item) {
  std::string error;
  Station* s = c.R().Find(st);
  auto v = s->Get(item);
  if (!v || !s->Set(item, *v, error)) return c.Error(error.empty() ? "station " + std::to_string(st) + " has no " + ItemName(item) : error);
  return true;
}

CommandResult CmdDynamic(Context& c, Dynamic::Kind kind) {
  Dynamic d;
  d.What = kind;
  d.StartMs = c.Now();
  bool ok = c.Station(d.Station) && c.Item(d.Item) && CheckItem(c, d.Station, d.Item);
  switch (kind) {
    case Dynamic::Kind::Step:
      ok = ok && c.Expect("at") && c.Duration(d.AtMs, "time") && c.Expect("to") && c.Number(d.B, "value");
      break;
    case Dynamic::Kind::Ramp:
      ok = ok && c.Expect("from") && c.Number(d.A, "value") && c.Expect("to") && c.Number(d.B, "value") &&
           c.Expect("over") && c.Duration(d.PeriodMs, "time");
      if (ok) d.Repeat = c.Accept("repeat");
      break;
    case Dynamic::Kind::Toggle:
      d.A = 0;
      d.B = 1;
      ok = ok && c.Expect("every") && c.Duration(d.PeriodMs, "period");
      if (ok && c.Accept("between")) ok = c.Number(d.A, "value") && c.Number(d.B, "value");
      break;
    case Dynamic::Kind::Count:
      ok = ok && c.Expect("by") && c.Number(d.A, "increment") && c.Expect("every") && c.Duration(d.PeriodMs, "period");
      if (ok) d.Base = c.R().Find(d.Station)->Get(d.Item).value_or(0);
      break;
  }
  if (ok && d.What != Dynamic::Kind::Step && d.PeriodMs <= 0) ok = c.Error("the time must be above 0");
  ok = ok && c.End();
  if (ok) c.R().AddDynamic(d);
  return Finish(c, ok);
}

CommandResult CmdStill(Context& c) {
  std::uint8_t st = 0;
  if (!c.Station(st) || !c.End()) return Fail(c.ErrorText());
  c.R().RemoveDynamics(st);
  return Done();
}

CommandResult CmdHeader(Context& c) {
  std::uint8_t st = 0;
  std::string form;
  if (!c.Station(st) || !c.Word(form, "header form (y or short)") || !c.End()) return Fail(c.ErrorText());
  if (form != "y" && form != "short") return Fail("header form is y or short, not '" + form + "'");
  c.R().Find(st)->Header = form == "y" ? AnswerHeader::Y : AnswerHeader::Short;
  return Done();
}

CommandResult CmdFault(Context& c) {
  std::vector<std::uint8_t> sts;
  std::string name;
  if (!c.Stations(sts, true) || !c.Word(name, "fault kind")) return Fail(c.ErrorText());
  auto kind = FaultByName(name);
  if (!kind) return Fail("unknown fault '" + name + "' (silence badcheck garbage truncate foreign late error)");
  Fault f;
  f.Kind = *kind;
  bool ok = true;
  switch (f.Kind) {
    case FaultKind::Error: ok = c.Integer(f.Arg, "error code", 0, 255); break;
    case FaultKind::Garbage:
    case FaultKind::Truncate:
    case FaultKind::Foreign:
      if (c.More() && c.Peek() != "once" && c.Peek() != "times") ok = c.Integer(f.Arg, "count", 0, 255);
      break;
    case FaultKind::Late:
      if (c.More() && c.Peek() != "once" && c.Peek() != "times") ok = c.Integer(f.Arg, "delay in ms", 0, 600000);
      break;
    default: break;
  }
  if (ok && c.Accept("once")) f.Remaining = 1;
  else if (ok && c.Accept("times")) ok = c.Integer(f.Remaining, "number of answers", 1, 1000000);
  ok = ok && c.End();
  if (!ok) return Fail(c.ErrorText());
  for (std::uint8_t st : sts) c.R().AddFault(st, f);
  return Done();
}

CommandResult CmdClear(Context& c) {
  std::vector<std::uint8_t> sts;
  if (!c.Stations(sts, true)) return Fail(c.ErrorText());
  std::optional<FaultKind> kind;
  if (c.More()) {
    kind = FaultByName(c.Peek());
    if (!kind) return Fail("unknown fault '" + c.Peek() + "'");
    c.Accept(c.Peek());
  }
  if (!c.End()) return Fail(c.ErrorText());
  for (std::uint8_t st : sts) c.R().ClearFaults(st, kind);
  return Done();
}

CommandResult CmdReport(Context& c) {
  std::uint8_t st = 0;
  std::string code;
  if (!c.Station(st) || !c.Word(code, "report kind (h or x)")) return Fail(c.ErrorText());
  if (code != "h" && code != "x" && code != "H" && code != "X") return Fail("a report is h or x, not '" + code + "'");
  const bool now = c.Accept("now");
  if (!c.End()) return Fail(c.ErrorText());
  c.R().QueueReport(st, static_cast<char>(std::toupper(static_cast<unsigned char>(code[0]))), now);
  return Done();
}

CommandResult CmdHistory(Context& c) {
  std::uint8_t st = 0;
  std::string what;
  if (!c.Station(st) || !c.Word(what, "history command")) return Fail(c.ErrorText());
  Station* s = c.R().Find(st);
  const StationSeconds wall = c.R().WallNow(c.Now());
  bool ok = true;
  if (what == "add") {
    int code = 1;
    double value = 0;
    if (c.More()) ok = c.Integer(code, "record code", 0, 65535);
    if (ok && c.More()) ok = c.Number(value, "value");
    if (ok && !(std::fabs(value) <= std::numeric_limits<float>::max())) ok = c.Error("the value does not fit a single");
    ok = ok && c.End();
    if (ok) s->AddHistoryRecord(static_cast<std::uint16_t>(code), wall, static_cast<float>(value));
  } else if (what == "every") {
    std::int64_t ms = 0;
    int code = 1;
    ok = c.Duration(ms, "interval");
    if (ok && c.Accept("code")) ok = c.Integer(code, "record code", 0, 65535);
    ok = ok && c.End();
    if (ok) c.R().SetHistoryEvery(st, ms, static_cast<std::uint16_t>(code), c.Now());
  } else if (what == "fill") {
    int n = 0;
    std::int64_t every = 60000;
    ok = c.Integer(n, "number of records", 1, 50000);
    if (ok && c.Accept("every")) ok = c.Duration(every, "interval");
    ok = ok && c.End();
    for (int i = n; ok && i >= 1; --i) {
      s->AddHistoryRecord(static_cast<std::uint16_t>(1 + (n - i) % 8), wall - i * (every / 1000),
                          static_cast<float>(n - i) * 0.5f);
    }
  } else if (what == "capacity") {
    int cap = 0;
    ok = c.Integer(cap, "capacity", 0, 50000) && c.End();
    if (ok && cap != 50000 && cap != 6500) ok = c.Error("capacity is 50000 or 6500");
    if (ok) s->SetHistoryCapacity(static_cast<std::uint32_t>(cap));
  } else if (what == "user") {
    int user = 0, pos = 0;
    ok = c.Integer(user, "user", 1, 8) && c.Integer(pos, "position", 0, 49999) && c.End();
    if (ok) s->SetUserPos(user, static_cast<std::uint32_t>(pos));
  } else {
    ok = c.Error("unknown history command '" + what + "' (add every fill capacity user)");
  }
  return Finish(c, ok);
}

CommandResult CmdTurnaround(Context& c) {
  int ms = 0;
  if (!c.Integer(ms, "turnaround in ms", 0, 600000) || !c.End()) return Fail(c.ErrorText());
  c.R().SetTurnaround(ms);
  return Done();
}

CommandResult CmdUnplug(Context& c) {
  std::int64_t ms = 0;
  if (!c.Duration(ms, "time off the line") || !c.End()) return Fail(c.ErrorText());
  CommandResult r = Done();
  r.UnplugMs = ms;
  return r;
}

CommandResult CmdDump(Context& c) {
  std::vector<std::uint8_t> sts;
  if (!c.Stations(sts, true) || !c.End()) return Fail(c.ErrorText());
  std::string text;
  for (std::uint8_t st : sts) {
    text += c.R().Find(st)->Dump();
    for (const Fault& f : c.R().Faults(st)) {
      text += std::string("  fault ") + FaultName(f.Kind) + (f.Arg >= 0 ? " " + std::to_string(f.Arg) : "") +
              (f.Remaining > 0 ? " (" + std::to_string(f.Remaining) + " more)" : "") + "\n";
    }
  }
  return Done(text);
}

}  // namespace

std::vector<std::string> SplitWords(std::string_view line, std::string* error) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < line.size()) {
    const char ch = line[i];
    if (ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n') {
      ++i;
    } else if (ch == '#') {
      break;
    } else if (ch == '"') {
      const std::size_t end = line.find('"', i + 1);
      if (end == std::string_view::npos) {
        if (error) *error = "unterminated quoted text";
        return {};
      }
      out.emplace_back(line.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      std::size_t end = i;
      while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r' && line[end] != '\n') ++end;
      out.emplace_back(line.substr(i, end - i));
      i = end;
    }
  }
  return out;
}

bool ParseNumber(std::string_view w, double& value) {
  if (w.empty()) return false;
  int base = 10;
  std::string_view digits = w;
  bool negative = false;
  if (digits.front() == '-') {
    negative = true;
    digits.remove_prefix(1);
  }
  if (digits.starts_with("0x") || digits.starts_with("0X")) {
    base = 16;
    digits.remove_prefix(2);
  } else if (digits.starts_with("$")) {
    base = 16;
    digits.remove_prefix(1);
  }
  if (base == 16) {
    std::uint64_t n = 0;
    auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n, 16);
    if (ec != std::errc() || p != digits.data() + digits.size() || digits.empty()) return false;
    value = negative ? -static_cast<double>(n) : static_cast<double>(n);
    return true;
  }
  double v = 0;
  auto [p, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
  if (ec != std::errc() || p != w.data() + w.size() || !std::isfinite(v)) return false;
  value = v;
  return true;
}

bool ParseDuration(std::string_view w, std::int64_t& ms) {
  double scale = 1000;
  if (w.ends_with("ms")) {
    scale = 1;
    w.remove_suffix(2);
  } else if (w.ends_with("s")) {
    w.remove_suffix(1);
  } else if (w.ends_with("m")) {
    scale = 60000;
    w.remove_suffix(1);
  }
  double v = 0;
  if (w.empty() || w.front() == '-' || w.starts_with("0x") || w.starts_with("$") || !ParseNumber(w, v) ||
      v * scale > 1e12) {
    return false;
  }
  ms = std::llround(v * scale);
  return true;
}

CommandResult Execute(Responder& responder, std::string_view line, std::int64_t nowMs) {
  std::string error;
  const Words words = SplitWords(line, &error);
  if (!error.empty()) return Fail(error);
  if (words.empty()) return Done();
  Context c(responder, words, nowMs);
  const std::string& verb = words[0];
  static const std::map<std::string, std::function<CommandResult(Context&)>> kVerbs = {
      {"set", CmdSet},
      {"get", CmdGet},
      {"step", [](Context& x) { return CmdDynamic(x, Dynamic::Kind::Step); }},
      {"ramp", [](Context& x) { return CmdDynamic(x, Dynamic::Kind::Ramp); }},
      {"toggle", [](Context& x) { return CmdDynamic(x, Dynamic::Kind::Toggle); }},
      {"count", [](Context& x) { return CmdDynamic(x, Dynamic::Kind::Count); }},
      {"still", CmdStill},
      {"header", CmdHeader},
      {"fault", CmdFault},
      {"clear", CmdClear},
      {"report", CmdReport},
      {"history", CmdHistory},
      {"turnaround", CmdTurnaround},
      {"unplug", CmdUnplug},
      {"dump", CmdDump},
  };
  if (verb == "stats") return Done(responder.Summary());
  if (verb == "help") return Done(kHelp);
  if (verb == "quit" || verb == "exit") return {true, true, {}};
  auto it = kVerbs.find(verb);
  if (it == kVerbs.end()) return Fail("unknown command '" + verb + "' (try help)");
  return it->second(c);
}

bool LoadScenario(Responder& responder, std::string_view text, std::string_view name, std::string& error) {
  int lineNo = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = text.substr(start, end - start);
    ++lineNo;
    const CommandResult r = Execute(responder, line, 0);
    if (!r.Ok || r.Quit) {
      error = std::string(name) + ":" + std::to_string(lineNo) + ": " + (r.Quit ? "quit in a scenario" : r.Text);
      return false;
    }
    start = end + 1;
  }
  return true;
}

bool ParseScript(std::string_view text, std::string_view name, std::vector<ScriptLine>& out, std::string& error) {
  out.clear();
  int lineNo = 0;
  std::int64_t previous = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNo;
    std::string splitError;
    const Words words = SplitWords(line, &splitError);
    const std::string where = std::string(name) + ":" + std::to_string(lineNo) + ": ";
    if (!splitError.empty()) {
      error = where + splitError;
      return false;
    }
    if (words.empty()) continue;
    std::string_view time = words[0];
    const bool relative = time.starts_with("+");
    if (relative) time.remove_prefix(1);
    std::int64_t ms = 0;
    if (!ParseDuration(time, ms)) {
      error = where + "a script line starts with a time (2s, 500ms, +1s), not '" + words[0] + "'";
      return false;
    }
    if (words.size() < 2) {
      error = where + "a time without a command";
      return false;
    }
    ms = relative ? previous + ms : ms;
    previous = ms;
    // The command is the rest of the line after the time word.
    std::size_t cmd = line.find_first_not_of(" \t");
    cmd = line.find_first_not_of(" \t", line.find_first_of(" \t", cmd));
    out.push_back({ms, std::string(line.substr(cmd)), lineNo});
  }
  std::stable_sort(out.begin(), out.end(), [](const ScriptLine& a, const ScriptLine& b) { return a.AtMs < b.AtMs; });
  return true;
}

}  // namespace qz::sim
