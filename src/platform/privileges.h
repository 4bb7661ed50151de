#pragma once
// The backup and restore privileges of the process's token, which let an open that asks
// for backup semantics reach a file whatever its permissions say, as the platform's own
// delete at restart does.
#include "platform/win32.h"

namespace platform {

// Enables both: 0, or the error (ERROR_NOT_ALL_ASSIGNED when the token lacks one).
[[nodiscard]] DWORD EnableBackupAndRestorePrivileges();

}  // namespace platform
