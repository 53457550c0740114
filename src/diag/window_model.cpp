#include "diag/window_model.h"

#include "diag/texts.h"

namespace qz {

template <class Change>
void WindowModel::Update(Change&& change) {
  std::lock_guard guard(lock_);
  change();
  revision_.fetch_add(1, std::memory_order_release);
}

WindowModel::WindowModel() {
  view_.Caption = text::kWindowDesignCaption;
  view_.LabelName = text::kLabelNameDesign;
  view_.LabelVersion = text::kLabelVersionDesign;
  view_.GroupCaption = text::kGroupBoxCaption;
  view_.StatusLines = {std::string(text::kLabelIdleDesign), std::string(text::kLabelTransmitDesign),
                       std::string(text::kLabelPacketDesign), std::string(text::kLabelPrnDesign),
                       std::string(text::kLabelComDesign), std::string(text::kLabelMemDesign)};
  events_.emplace_back(text::kEventListDesign);
}

void WindowModel::AddEvent(std::string_view text) {
  Update([&] {
    while (events_.size() >= kEventListLines) events_.pop_front();
    events_.emplace_back(text);
  });
}

void WindowModel::SetCaption(std::string_view text) {
  Update([&] { view_.Caption = text; });
}

void WindowModel::SetLabelName(std::string_view text) {
  Update([&] { view_.LabelName = text; });
}

void WindowModel::SetLabelVersion(std::string_view text) {
  Update([&] { view_.LabelVersion = text; });
}

void WindowModel::SetStatusLine(StatusLine line, std::string_view text) {
  Update([&] { view_.StatusLines[static_cast<std::size_t>(line)] = text; });
}

void WindowModel::SetVisible(bool visible) {
  Update([&] { view_.Visible = visible; });
}

void WindowModel::SetState(WindowState state) {
  Update([&] { view_.State = state; });
}

void WindowModel::Focus() {
  Update([&] { view_.Focused = true; });
}

void WindowModel::SetBounds(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
  Update([&] {
    view_.Left = left;
    view_.Top = top;
    view_.Width = width;
    view_.Height = height;
  });
}

void WindowModel::SetEnabled(bool enabled) {
  Update([&] { view_.Enabled = enabled; });
}

WindowView WindowModel::Snapshot() const {
  std::lock_guard guard(lock_);
  WindowView copy = view_;
  copy.EventList.assign(events_.begin(), events_.end());
  copy.Revision = revision_.load(std::memory_order_relaxed);
  return copy;
}

void AddEvent(WindowModel* window, std::string_view text) {
  if (window) window->AddEvent(text);
}

}  // namespace qz
