#include "config/par_file.h"

#include "config/driver_state.h"

namespace qz {

bool LoadParameterFile(DriverState& state, WindowModel* /*window*/) {
  state.ParseErrorText = "Parameter file reader not available";
  return false;
}

}  // namespace qz
