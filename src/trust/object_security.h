#pragma once
// An object's owner, DACL and attributes, read through a handle that follows no link, and
// the accounts the judgements name.
#include <cstdint>
#include <string>

#include "trust/access_entries.h"

namespace trust {

struct ObjectFacts {
    bool read = false;
    uint32_t error = 0;       // when not read: the platform's error
    uint32_t attributes = 0;  // from the same handle, the reparse point bit included
    // The handle's own path is not the one it was opened by: a link the platform followed
    // all the same (Wine does, in the last component), a short name, a subst drive.
    bool redirected = false;
    SecurityFacts security;

    // Not there: ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND.
    bool Missing() const { return !read && (error == 2 || error == 3); }
};

// The real reading: CreateFileW(READ_CONTROL | FILE_READ_ATTRIBUTES, no reparse point
// followed, sharing everything) on the path's "\\?\" form, GetSecurityInfo, the DACL
// walked entry by entry. A folder's path may end in "\".
ObjectFacts ReadObjectFacts(const std::wstring& path);

// The owner (a SID) and the DACL (an ACL, null for none) of a descriptor as entries; 0, or
// the error of the walk. Pointers, so that this header needs no windows.h.
uint32_t FactsOf(const void* owner, const void* dacl, SecurityFacts& facts);

// The same through a handle held already (opened with READ_CONTROL, following no link),
// for the object at `path`.
ObjectFacts ReadObjectFactsThrough(void* object, const std::wstring& path);  // a HANDLE

// What the judgements read through. Wine derives every descriptor from Unix mode bits, so
// a test puts in descriptors that only Windows has: inherit-only, deny and Creator Owner
// entries, the real defaults of a Windows installation.
extern ObjectFacts (*ReadObject)(const std::wstring& path);

// The SID string of the account this process runs as; empty when it cannot be read.
std::wstring ProcessAccountSid();

// "DOMAIN\name" (or "name" where the account has no domain), else the SID text itself.
std::wstring AccountName(const std::wstring& sid);

}  // namespace trust
