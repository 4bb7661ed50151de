#include "pendinglist/pending_reboot_files.h"

namespace basPendingRebootFiles {

// The list file and the pass are not built yet: both do nothing so far.
void Load() {}

void CleanupPass() {}

}  // namespace basPendingRebootFiles
