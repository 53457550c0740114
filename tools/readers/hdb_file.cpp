#include "hdb_file.h"

#include <algorithm>
#include <cstdio>

#include "history/history_image.h"
#include "protocol/ieee_single.h"

namespace qz::readers {

std::optional<HdbContent> DecodeHdb(std::string_view bytes, std::string& error) {
  const std::size_t whole = std::min(bytes.size() / kHistoryRecordSize, kHistoryRecordCount);
  if (whole == 0) {
    error = bytes.empty() ? "empty file, no history records (500000 bytes expected)"
                          : "only " + std::to_string(bytes.size()) + " bytes, no whole history record";
    return std::nullopt;
  }
  HdbContent content;
  if (bytes.size() != kHistoryImageSize) {
    std::string w = std::to_string(bytes.size()) + " bytes instead of 500000: ";
    w += bytes.size() < kHistoryImageSize ? "short file, the driver would load it as empty; "
                                          : "longer than a history image, the rest is not read; ";
    w += "reading the " + std::to_string(whole) + " whole records";
    content.Warnings.push_back(w);
  }
  HistoryImage image;
  StoreHistoryBytes(image, 0, bytes.substr(0, whole * kHistoryRecordSize));
  content.Records.reserve(whole);
  for (std::size_t i = 0; i < whole; ++i) {
    const HistoryRecord r = ReadHistoryRecord(image, i);
    content.Records.push_back({i, r.Code, r.Seconds, r.ValueBits, r.Code == 0 && r.Seconds == 0 && r.ValueBits == 0});
  }
  return content;
}

HdbValue ValueOf(std::uint32_t bits) {
  const std::string text = SingleToText(bits);
  HdbValue v;
  if (text == "+infinity" || text == "-infinity" || text == "NaN/x87 err") {
    v.IsNumber = false;
    v.Special = text;
  } else {
    v.Number = SingleToValue(bits);
  }
  return v;
}

std::string ValueText(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.7g", v);
  return buf;
}

bool HdbFilter::Matches(const HdbRecord& r) const {
  if (r.Empty && !WithEmpty) return false;
  if (First && r.Index < *First) return false;
  if (Last && r.Index > *Last) return false;
  if (Since && static_cast<std::int64_t>(r.Seconds) < *Since) return false;
  if (Until && static_cast<std::int64_t>(r.Seconds) > *Until) return false;
  if (!Codes.empty() && !Codes.contains(r.Code)) return false;
  return true;
}

HdbSummary Summarise(const std::vector<HdbRecord>& records, std::uint32_t gapSeconds) {
  HdbSummary s;
  std::vector<const HdbRecord*> written;
  const HdbRecord* previous = nullptr;
  for (const HdbRecord& r : records) {
    ++s.Records;
    if (r.Empty) {
      ++s.Empty;
      continue;
    }
    ++s.Codes[r.Code];
    if (!s.FirstTime || r.Seconds < *s.FirstTime) s.FirstTime = r.Seconds;
    if (!s.LastTime || r.Seconds > *s.LastTime) s.LastTime = r.Seconds;
    if (previous && r.Seconds < previous->Seconds) ++s.StepsBack;
    previous = &r;
    written.push_back(&r);
  }
  std::stable_sort(written.begin(), written.end(),
                   [](const HdbRecord* a, const HdbRecord* b) { return a->Seconds < b->Seconds; });
  std::vector<std::uint32_t> steps;
  for (std::size_t i = 1; i < written.size(); ++i) steps.push_back(written[i]->Seconds - written[i - 1]->Seconds);
  if (gapSeconds != 0) {
    s.GapThreshold = gapSeconds;
  } else if (!steps.empty()) {
    std::vector<std::uint32_t> sorted = steps;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
    s.GapThreshold = std::max<std::uint32_t>(1, sorted[sorted.size() / 2]) * 3;
  }
  for (std::size_t i = 0; i < steps.size() && s.GapThreshold != 0; ++i) {
    if (steps[i] > s.GapThreshold) {
      s.Gaps.push_back({written[i]->Index, written[i + 1]->Index, written[i]->Seconds, written[i + 1]->Seconds});
    }
  }
  return s;
}

}  // namespace qz::readers
