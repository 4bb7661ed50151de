#pragma once
// The path of the object behind an open handle, which names the object itself rather than
// the spelling it was opened by, and the object's identity.
#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace platform {

// A file's identity: its volume and its number there.
struct FileIdentity {
    uint32_t volume = 0;
    uint64_t number = 0;
    bool operator==(const FileIdentity& other) const {
        return volume == other.volume && number == other.number;
    }
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

// The identity of a file on `drive`, which the caller has already held the handle to (by
// its final path). The drive's volume serial is read once per process (a serial query
// costs about half a millisecond under Wine, a file number nothing).
DWORD IdentityOnDrive(HANDLE file, wchar_t drive, FileIdentity& identity);

// The final path of the object, "C:\dir\name" or "\\server\share\dir\name", without the
// "\\?\" prefix. The platform's own answer where it has one (Vista on); otherwise (before
// Vista, and under Wine beyond about 264 characters) the object's path within its volume
// under the first drive (or share) through which that path reaches the same object.
// 0, or the error.
DWORD FinalPathOf(HANDLE handle, std::wstring& path);

}  // namespace platform
