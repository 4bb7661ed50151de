#include "driver/instance_lock.h"

#include "ownfiles/own_file.h"
#include "platform/nt_file.h"
#include "platform/win32.h"

#include <sddl.h>

namespace basQuorvaneService {

InstanceClaim ClaimInstanceLock(const std::wstring& folder, platform::UniqueFile& lock) {
    ownfiles::OwnFolder own;
    if (own.Open(folder) != ERROR_SUCCESS) return InstanceClaim::Unavailable;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    // SYSTEM and Administrators, full access; nothing inherited.
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;SY)(A;;FA;;;BA)", SDDL_REVISION_1,
                                                                &descriptor, nullptr)) {
        descriptor = nullptr;
    }
    const platform::UniqueLocal releaseDescriptor(descriptor);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD error = platform::CreateNewFileIn(own.Handle(), kInstanceLockName, GENERIC_READ | DELETE, 0,
                                                      lock, true, descriptor);
        if (error == ERROR_SUCCESS) return InstanceClaim::Held;
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return InstanceClaim::Unavailable;
        ownfiles::OwnFile existing = own.OpenFile(kInstanceLockName, GENERIC_READ | DELETE, 0);
        if (existing.state == ownfiles::OwnState::Failed && existing.error == ERROR_SHARING_VIOLATION) {
            return InstanceClaim::AnotherInstance;
        }
        // Left by a run that was ended: removed, then created anew. A link or a folder at
        // the name is neither followed nor removed.
        if (existing.state != ownfiles::OwnState::Opened || ownfiles::RemoveOwnFile(existing) != ERROR_SUCCESS) {
            return InstanceClaim::Unavailable;
        }
    }
    return InstanceClaim::Unavailable;
}

}  // namespace basQuorvaneService
