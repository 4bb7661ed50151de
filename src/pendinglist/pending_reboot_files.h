#pragma once
// The pending reboot list: the list file beside the executable, its in-memory mirror
// and the one cleanup pass over it.

namespace basPendingRebootFiles {

// Fills the in-memory list from the list file.
void Load();

// Deletes what the list names, or schedules it for deletion at the next restart.
void CleanupPass();

}  // namespace basPendingRebootFiles
