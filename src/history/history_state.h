#pragma once
// The states of a history read-out (HistoryQuery::HistoryState), as the
// host reads them on its channel and the engine, the decoder and the host
// requests move between them.

#include <cstdint>

namespace qz::history_state {

inline constexpr std::int32_t kIdle = 0;
inline constexpr std::int32_t kInvalidSelection = 1;  // station or user out of range
inline constexpr std::int32_t kReadingRecords = 2;
inline constexpr std::int32_t kFailed = 4;
inline constexpr std::int32_t kReadingPositions = 5;
inline constexpr std::int32_t kSelected = 6;  // station and user chosen
inline constexpr std::int32_t kAborted = 7;
inline constexpr std::int32_t kWritingUserPos = 8;
inline constexpr std::int32_t kTimedOut = 9;
inline constexpr std::int32_t kFinished = 255;

}  // namespace qz::history_state
