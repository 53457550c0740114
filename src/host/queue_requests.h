#pragma once
// Requests that the host's input and output requests queue in groups: the
// reads and writes of a QQ variable and the block reads of a sample
// read-out. Run under the instance lock.

#include <cstdint>

#include "config/request.h"

namespace qz {

struct DriverState;
struct QqVariable;

enum class QqAccess : std::uint8_t { Read, Write };

inline constexpr int kSampleReadRequests = 88;
inline constexpr std::uint16_t kSampleReadFirstItem = 0x8000;
inline constexpr std::uint16_t kSampleReadStep = 186;

// Read: kind 16 with the three address bytes into the read queue, eight of
// them (items Item..Item+7) for a STRING. Write: kind 15 with the address
// and four value bytes into the write queue; a STRING is never written.
void QueueQqRequest(DriverState& state, int station, const QqVariable& variable, QqAccess access);

// The sample read-out of the host's sample station: when it is a loaded
// station, it becomes the read-out station, the running flag is set, the 88
// block reads go into the read queue and a registered host buffer is marked
// as started. Returns whether the read-out started.
bool QueueSampleRead(DriverState& state);

}  // namespace qz
