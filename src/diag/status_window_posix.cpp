// POSIX builds have no window of their own: hosts read the model (the host
// harness through the window query).
#include "diag/status_window.h"

namespace qz {

std::shared_ptr<StatusWindow> CreateStatusWindow(std::shared_ptr<const WindowModel> /*model*/) { return nullptr; }

}  // namespace qz
