#include "host/window_query.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string_view>

#include "diag/window_model.h"
#include "host/driver_handle.h"
#include "host/lifecycle.h"
#include "qzdrk485.h"

namespace qz {

namespace {

constexpr std::string_view kQueryName = "GetWindow";

void Line(std::string& out, std::string_view key, std::string_view value) {
  out.append(key).append("\t");
  for (char c : value) out += (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
  out += '\n';
}


}  // namespace

std::string WindowText(const WindowView& v) {
  std::string out;
  Line(out, "caption", v.Caption);
  Line(out, "name", v.LabelName);
  Line(out, "version", v.LabelVersion);
  Line(out, "visible", v.Visible ? "1" : "0");
  Line(out, "enabled", v.Enabled ? "1" : "0");
  Line(out, "state", v.State == WindowState::Minimized ? "minimized" : "normal");
  Line(out, "bounds", std::to_string(v.Left) + " " + std::to_string(v.Top) + " " + std::to_string(v.Width) +
                          " " + std::to_string(v.Height));
  for (const auto& e : v.EventList) Line(out, "event", e);
  for (const auto& s : v.StatusLines) Line(out, "status", s);
  return out;
}

void AnswerWindowQuery(DriverHandle* h, std::uint32_t code, const char* name, QueryReply* reply) {
  if (!h || code != kQueryWindow || !name || !reply || !reply->Text || reply->Kind == 0) return;
  if (!HostTextIs(name, kQueryName)) return;
  std::string text;
  {
    std::lock_guard guard(h->Lock);
    if (h->Window) text = WindowText(h->Window->Snapshot());
  }
  const std::size_t n = std::min<std::size_t>(text.size(), reply->Kind - 1);
  std::memcpy(reply->Text, text.data(), n);
  reply->Text[n] = '\0';
}

}  // namespace qz
