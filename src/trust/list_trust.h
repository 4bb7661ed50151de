#pragma once
// Whether the service's folder and what it keeps there are trusted: each object's owner
// and DACL, read through a handle that follows no reparse point, judged with the account
// the service runs as; the folders above the service's folder by the chain rule.
#include <cstdint>
#include <string>

namespace trust {

// The objects judged; the caller names them, so this folder needs nothing above it.
struct ServicePlaces {
    std::wstring folder;   // the service's folder, with its backslash
    std::wstring list;     // the list file
    std::wstring staging;  // the staging folder
    std::wstring log;      // the activity log
    std::wstring serviceSid;  // the account the service runs as (SID text); empty: this process's
};

struct ListTrust {
    bool trusted = true;
    // When not trusted: the object that failed first (a folder above the service's, the
    // service's folder with its backslash, the list, the staging folder or the log); who
    // can change it, as its SID and as support staff know the account (both empty when the
    // descriptor could not be read or names no one); the rights that account holds;
    // ERROR_ACCESS_DENIED, or the error of the failed reading.
    std::wstring object;
    std::wstring sid;
    std::wstring account;
    uint32_t rights = 0;
    uint32_t error = 0;
};

// The folders above the service's folder (each below the root as a component of a path,
// the root for delete child only), the folder itself and what it hands down, then the list,
// the staging folder and the log, each where it exists. The first that fails is named. A
// descriptor that cannot be read or names no owner is no trusted one.
ListTrust CheckListTrust(const ServicePlaces& places);

}  // namespace trust
