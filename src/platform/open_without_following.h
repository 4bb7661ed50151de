#pragma once
// The one open of the program that follows no reparse point in the last component of a
// path: the object at the name is opened itself, with backup semantics (a folder opens as
// well as a file), and what it is comes from its handle alone. Two policies stand on it:
// a listed file (fileops/checked_file.h) and the programs' own files
// (ownfiles/own_file.h). Wine follows a link in the last component all the same; the
// policies' final path checks catch it there.
#include <cstdint>
#include <string>

#include "platform/handles.h"
#include "platform/win32.h"

namespace platform {

struct OpenedObject {
    UniqueFile handle;     // empty when the open, or a query after it, failed
    DWORD error = 0;       // then: the failing call's error
    DWORD attributes = 0;  // with the reparse point bit
    uint32_t links = 0;
    uint64_t number = 0;

    bool Missing() const {
        return !handle && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND);
    }
};

// `path` as the platform is to take it (a "\\?\" form beyond the classic limit); `disposition` OPEN_EXISTING, or CREATE_NEW, which creates
// nothing where a link stands, dangling or not.
[[nodiscard]] OpenedObject OpenWithoutFollowing(const std::wstring& path, DWORD access, DWORD share,
                                                DWORD disposition = OPEN_EXISTING);

}  // namespace platform
