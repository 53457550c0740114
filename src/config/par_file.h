#pragma once
// Loading of the parameter file named by ParFileName into the state.

namespace qz {

struct DriverState;
class WindowModel;

// Reads [COM], [GLOBAL] and the [STATION] groups. On failure returns false
// with the first error in ParseErrorText. Progress goes to the event list.
bool LoadParameterFile(DriverState& state, WindowModel* window);

}  // namespace qz
