#pragma once
// Whether the service may act on what its folder, its list, its staging folder and its log
// hold. The service deletes, as LocalSystem, whatever the list names, so whoever can write
// the folder or the list chooses what goes. Trusted: owned by, and writable by no one but,
// SYSTEM, Administrators, TrustedInstaller or the service's own account.
// Free of the Windows API: the descriptor comes as plain entries (access_entries.h).
#include <cstdint>
#include <string_view>

#include "trust/access_entries.h"

namespace trust {

// The write rights within `rights` once generic ones are mapped as for files: write and
// append data, delete, change permissions, take ownership, and delete child on a folder.
uint32_t WriteRightsOf(uint32_t rights, bool isFolder);

// `serviceSid`: the SID string of the account the service runs as (empty: none). A
// folder is judged for what it hands down too: a write right that its inheritable entries
// give to the files or folders made in it counts as one on the folder itself.
TrustVerdict JudgeDescriptor(const SecurityFacts& facts, bool isFolder, std::wstring_view serviceSid);

}  // namespace trust
