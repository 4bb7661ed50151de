#pragma once
// Whether a listed path may go to the delete-at-restart facility by its own name: only
// when no account outside SYSTEM, Administrators, TrustedInstaller and the service's own
// could remove, rename or turn into a link any component of it before the restart.
#include <cstdint>
#include <string>

namespace trust {

struct ChainFinding {
    bool passes = false;
    std::wstring object;   // the component that failed ("C:\dir" or the file), empty when it passes
    std::wstring sid;      // the account outside the trusted set that could change it; empty when passes or unreadable
    uint32_t rights = 0;   // the rights that account holds there
    uint32_t error = 0;    // the platform's error when a descriptor could not be read, else 0
};

// `path`: a judged, fully qualified local path "X:\dir\...\name" (no \\?\ prefix, no trailing backslash);
// `serviceSid`: the SID string of the account the service runs as (S-1-5-18 for LocalSystem; the
// caller passes it, so a tool can judge as the service would).
// Each component, the root first, is opened without following a link and judged by the
// chain rule (chain_rule.h). A component that is a reparse point, or whose own path is not
// the one it was opened by (a link Wine followed, a short name), fails with no account.
// `object`, when given, is a HANDLE to the object itself held already (READ_CONTROL): it is
// read through that handle rather than opened once more.
ChainFinding CheckPathChain(const std::wstring& path, const std::wstring& serviceSid, void* object = nullptr);

// The folders that hold `path`'s object, judged as CheckPathChain judges them; the object
// itself is not looked at.
ChainFinding CheckFoldersAbove(const std::wstring& path, const std::wstring& serviceSid);

}  // namespace trust
