#pragma once
// One run at a time: a lock file beside the executable, which only a program that may
// write the service's folder can create. An object in a namespace that every account
// shares (a named mutex) can be created first by anyone, and would then keep the service
// from ever running.
#include <string>

#include "platform/handles.h"

namespace basQuorvaneService {

inline constexpr wchar_t kInstanceLockName[] = L"QuorvaneService.lock";

enum class InstanceClaim {
    Held,             // this run holds the lock
    AnotherInstance,  // another run holds it: this one exits
    Unavailable,      // the lock could not be had for another reason: the run goes on
};

// Creates the lock in `folder` (the executable's, with or without its backslash), never
// through a link: granted to SYSTEM and Administrators alone, shared with no one, gone as
// its handle closes. A lock a killed run left behind is taken over. Only a sharing
// violation on the lock means another instance.
InstanceClaim ClaimInstanceLock(const std::wstring& folder, platform::UniqueFile& lock);

}  // namespace basQuorvaneService
