#pragma once
// The commands the host gives through driver-level channels: sample and
// history read-outs, the history selection, saving the HDB files, the line
// reset and the indirect write. Run under the instance lock.

#include <cstdint>

struct DriverHandle;

namespace qz {

struct DriverState;

// Clears the samples read so far and starts the sample read-out.
void StartSampleReadout(DriverState& s);

// A station 1..StationCount, or a user 1..8, selects it (state 6); any other
// number makes the selection invalid (state 1).
void SelectHistoryStation(DriverState& s, std::int16_t station);
void SelectHistoryUser(DriverState& s, std::int16_t user);

// Queues the read of the station's positions, unless a read-out runs.
void StartHistoryReadout(DriverHandle& h);
// Ends a running read-out: state 7, queues emptied, line reset.
void AbortHistoryReadout(DriverHandle& h);

// Writes the HDB file of every loaded station that has an image.
void SaveHistories(DriverState& s);

// Empties both queues and the receive buffers; the machine starts idle.
void ResetTheLine(DriverHandle& h);

// The indirect write (65533..65535): while it is pending, the value goes
// into the binary or analog input the channel names.
void ApplyPendingWrite(DriverState& s);

}  // namespace qz
