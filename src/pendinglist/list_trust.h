#pragma once
// Whether the service's folder and its list are trusted: each object's owner and DACL,
// read through a handle that follows no reparse point, put to JudgeDescriptor with the
// account the service runs as.
#include <cstdint>
#include <string>

#include "pendinglist/trust_judgement.h"
#include "trust/object_security.h"

namespace basPendingRebootFiles {

// One object's owner and DACL in SDDL form, or the error that kept them from being read.
struct DescriptorText {
    bool read = false;
    uint32_t error = 0;
    std::wstring sddl;
};

// The real reading: CreateFileW(READ_CONTROL, no reparse point followed), GetSecurityInfo,
// ConvertSecurityDescriptorToStringSecurityDescriptorW. A folder's path may end in "\".
DescriptorText ReadObjectDescriptor(const std::wstring& path);

// What the check reads through; Wine gives every file one fixed descriptor, so a test
// puts in its own to produce a folder or list that others can write.
extern DescriptorText (*ReadDescriptor)(const std::wstring& path);

struct ListTrust {
    bool trusted = true;
    // When not trusted: the folder (AppDir(), with its backslash) or the list's path; who
    // can write it, as support staff know the account (empty when the descriptor could not
    // be read or understood); ERROR_ACCESS_DENIED, or the error of the failed reading.
    std::wstring object;
    std::wstring account;
    uint32_t error = 0;
    TrustVerdict verdict;
};

// The folder, then the list when it exists. A descriptor that cannot be read or
// understood is no trusted one.
ListTrust CheckListTrust();

using trust::AccountName;
using trust::ProcessAccountSid;

}  // namespace basPendingRebootFiles
