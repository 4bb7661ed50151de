#pragma once
// What the cleanup pass does with one listed file: delete it now through the checked
// handle, or, when it cannot be deleted now, request its delete at the next restart for
// the checked path; never anything for a path that names no file or that is refused.
#include <cstdint>
#include <string>

struct FileApi;

namespace fileops {

class PendingDeletes;

enum class ClearResult {
    Deleted,    // deleted now
    Gone,       // no file at the path (nothing there, a folder, or the path names no file)
    Scheduled,  // to be deleted at the next restart (requested now, or already requested)
    Refused,    // nothing done: see `error`
};

struct ClearOutcome {
    ClearResult result;
    uint32_t error = 0;  // for Refused: a Win32 error number
};

ClearOutcome ClearListedFile(const std::wstring& listed, PendingDeletes& pending);
ClearOutcome ClearListedFile(const std::wstring& listed, PendingDeletes& pending, const FileApi& api);

}  // namespace fileops
