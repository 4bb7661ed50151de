#pragma once
// cVersion: which Windows this is, as a line of text, whether the product supports it, and
// if not, why. The system is queried once, when the object is made.
#include <cstdint>
#include <string>

#include "platform/win32.h"

class cVersion {
public:
    // Fills the narrow version record whose size field is set; GetVersionExA by default.
    // Tests hand in another to produce what the platform cannot, such as a failed query.
    using VersionQuery = BOOL(WINAPI*)(OSVERSIONINFOA*);

    cVersion();
    explicit cVersion(VersionQuery query);

    // 0 refused, 1 Windows 9x, 2 NT 4 with SP 4 or later, 3 NT 5 or later past build 2030.
    int32_t TypeValidOS() const { return typeValid_; }
    // The refusal message; empty when the system is accepted.
    const std::wstring& OS_TypeError() const { return typeError_; }
    const std::wstring& OS_VersionText() const { return versionText_; }

private:
    void ExamineOS(VersionQuery query);

    OSVERSIONINFOA record_{};
    std::wstring versionText_;
    std::wstring typeError_;
    int32_t typeValid_ = 0;
};
