// Fuzz target: the HDB loader and what reads a loaded image. The input
// describes a file (its length, up to past 500000 bytes, and a pattern that
// fills it), record selections and read-out positions. Checked:
// - a file of 500000 bytes or more loads as its first 500000 bytes, a
//   shorter one as a cleared image; saving and loading again gives the same;
// - records decode low byte first; the record time decodes to the calendar
//   date (checked against the standard calendar before 2100, where every
//   fourth year is a leap year) and a selected record sets the date words;
// - the read-out of any pair of station positions asks for every byte of
//   the new records once, in order, in chunks of 1..192 bytes of kinds
//   240..247, and for nothing when a position lies outside the ring.

#include <unistd.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "history/history_file.h"
#include "history/history_readout.h"
#include "host/driver_state.h"
#include "scratch_folder.h"

namespace {

void Fail() { __builtin_trap(); }

// A folder of its own for the files of this process.
const std::string& Folder() {
  static const std::string folder = [] {
    const std::filesystem::path base =
        std::filesystem::exists("/dev/shm") ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
    const std::filesystem::path dir = base / ("qz-hdb-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    RemoveAtExit(dir.string());
    ::setenv("QZ_HDB_DIR", dir.c_str(), 1);
    return dir.string();
  }();
  return folder;
}

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos = 0;
  std::uint32_t Take(int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | (pos < size ? data[pos++] : 0);
    return v;
  }
};

std::uint32_t Le(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
  return v;
}

void CheckDate(std::uint32_t seconds) {
  const qz::HistoryDate d = qz::DecodeHistoryTime(seconds);
  if (d.Hour != seconds % 86400 / 3600 || d.Minute != seconds % 3600 / 60 || d.Second != seconds % 60) Fail();
  if (d.Month < 1 || d.Month > 12 || d.Day < 1 || d.Day > 31 || d.Year < 2000 || d.Year > 2137) Fail();
  using namespace std::chrono;
  const sys_days day = sys_days(year(2000) / 1 / 1) + days(seconds / 86400);
  if (day >= sys_days(year(2100) / 2 / 29)) return;  // the calendars part here
  const year_month_day ymd(day);
  if (int(ymd.year()) != d.Year || unsigned(ymd.month()) != d.Month || unsigned(ymd.day()) != d.Day) Fail();
}

void CheckReadout(std::int32_t u, std::int32_t t) {
  const auto requests = qz::HistoryReadoutRequests(3, u, t);
  const auto count = static_cast<std::int32_t>(qz::kHistoryRecordCount);
  const bool inRing = u >= 0 && t >= 0 && u <= count && t <= count;
  // The bytes that must be read, as image offsets in order.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> passes;  // [from, to)
  if (inRing && u < t) passes.push_back({10u * u, 10u * t});
  if (inRing && u > t) {
    passes.push_back({10u * u, static_cast<std::uint32_t>(qz::kHistoryImageSize)});
    if (t != 0) passes.push_back({0, 10u * t});
  }
  std::size_t next = 0;
  for (const auto& [from, to] : passes) {
    for (std::uint32_t at = from; at < to;) {
      if (next >= requests.size()) Fail();
      const qz::Request& r = requests[next++];
      const std::uint32_t address = (static_cast<std::uint32_t>(r.Kind) << 16) | r.Item;
      if (r.Station != 3 || !qz::IsHistoryKind(r.Kind) || address != qz::kHistoryMemoryBase + at) Fail();
      if (r.Data.size() != 1) Fail();
      const std::uint32_t chunk = r.Data.byte(0);
      if (chunk < 1 || chunk > qz::kHistoryChunk || at + chunk > to) Fail();
      if (chunk < qz::kHistoryChunk && at + chunk != to) Fail();
      at += chunk;
    }
  }
  if (next != requests.size()) Fail();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in{data, size};
  const std::uint32_t lengthCode = in.Take(3);
  // Lengths around the image size are the interesting ones.
  const std::size_t length = (lengthCode & 0x800000) ? qz::kHistoryImageSize - 8 + (lengthCode & 0x0F)
                                                     : (lengthCode & 0x7FFFFF) % (qz::kHistoryImageSize + 64);
  const std::size_t patternStart = std::min<std::size_t>(in.pos + 44, size);
  const std::uint8_t* pattern = data + patternStart;
  const std::size_t patternSize = size - patternStart;

  std::vector<std::uint8_t> file(length, 0);
  for (std::size_t i = 0; patternSize > 0 && i < length; ++i) file[i] = static_cast<std::uint8_t>(pattern[i % patternSize] + i / patternSize);

  auto state = std::make_unique<qz::DriverState>();
  qz::InitDriverState(*state);
  state->Config.DriverName = "FUZZ";
  state->Config.StationCount = 2;
  const qz::HdbFiles files = qz::HdbFilesOf(*state);
  const std::string name = Folder() + "/FUZZ1.hdb";
  if (qz::HistoryFileName(state->Config.DriverName.view(), 1) != name) Fail();
  {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  }
  std::unique_ptr<qz::HistoryImage> image = qz::LoadHistory(files, 1);
  if (!image || image->Bytes.size() != qz::kHistoryImageSize) Fail();
  if (length >= qz::kHistoryImageSize) {
    if (std::memcmp(image->Bytes.data(), file.data(), qz::kHistoryImageSize) != 0) Fail();
  } else {
    for (std::uint8_t b : image->Bytes) {
      if (b != 0) Fail();
    }
  }
  if (qz::LoadHistory(files, 2)) Fail();  // no file, no image

  // Records the host selects.
  for (int k = 0; k < 4; ++k) {
    const std::uint32_t index = in.Take(2);
    const qz::HistoryRecord r = qz::ReadHistoryRecord(*image, index);
    if (index < qz::kHistoryRecordCount) {
      const std::size_t at = index * qz::kHistoryRecordSize;
      if (r.Code != Le(image->Bytes, at, 2) || r.Seconds != Le(image->Bytes, at + 2, 4) ||
          r.ValueBits != Le(image->Bytes, at + 6, 4))
        Fail();
    } else if (r.Code != 0 || r.Seconds != 0 || r.ValueBits != 0) {
      Fail();
    }
    CheckDate(r.Seconds);
    CheckDate(in.Take(4));
    state->History.Query.HistoryStation = static_cast<std::int32_t>(in.Take(1) % 4);
    state->History.Query.HistoryRecordIndex = static_cast<std::uint16_t>(index);
    state->History.Query.DateWords = {};
    const bool usable = index < qz::kHistoryRecordCount && state->History.Query.HistoryStation == 1;
    state->History.ImageSlot(1) = std::move(image);
    const bool set = qz::UpdateHistoryDateWords(state->History, state->Config.StationCount);
    image = std::move(state->History.ImageSlot(1));
    if (set != usable) Fail();
    if (set) {
      const qz::HistoryDate d = qz::DecodeHistoryTime(r.Seconds);
      const std::array<std::uint16_t, 6> expected{d.Day, d.Month, d.Year, d.Hour, d.Minute, d.Second};
      if (state->History.Query.DateWords != expected) Fail();
    }
  }

  // Read-out positions as a station may report them.
  for (int k = 0; k < 2; ++k) {
    const auto u = static_cast<std::int32_t>(in.Take(4));
    const auto t = static_cast<std::int32_t>(in.Take(4));
    CheckReadout(u, t);
    CheckReadout(static_cast<std::int32_t>(static_cast<std::uint32_t>(u) % 50001),
                 static_cast<std::int32_t>(static_cast<std::uint32_t>(t) % 50001));
  }

  // Saved and loaded again: the same image.
  if (!qz::SaveHistory(files, 1, *image)) Fail();
  const std::unique_ptr<qz::HistoryImage> again = qz::LoadHistory(files, 1);
  if (!again || again->Bytes != image->Bytes) Fail();
  std::filesystem::remove(name);
  return 0;
}
