#pragma once
// The delete-at-restart requests the platform holds: the session manager's
// PendingFileRenameOperations, which other programs share. Requests are made one by one
// through the platform's own call, and taken back by one routine that keeps every other
// program's operations byte for byte.
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/win32_result.h"
#include "fileops/restart_queue_text.h"

namespace fileops {

// The delete requests as they stood when read, so that a file that stays undeletable
// start after start is requested once, not once a start.
class RequestedDeletes {
public:
    // Empty when the value is absent or cannot be read.
    static RequestedDeletes Read();

    // Whether a delete of the full path ("X:\dir\name") is requested, in any letter case.
    bool Has(const std::wstring& full) const;
    void Add(const std::wstring& full);

private:
    std::unordered_set<std::wstring> keys_;
};

// Asks the platform to delete `full` at the next restart: 0 or the call's error.
[[nodiscard]] DWORD RequestDeleteAtRestart(const std::wstring& full);

// Takes back the requests to delete any of `fulls` at the restart. The value is read just
// before it is written, and only those delete operations are cut out of it. 0, or the
// registry's error.
[[nodiscard]] DWORD WithdrawDeletes(const std::vector<std::wstring>& fulls);

// The value as it stands: 0 with its text (empty when absent), ERROR_INVALID_DATA when it
// is not REG_MULTI_SZ, or the registry's error.
[[nodiscard]] DWORD ReadRestartQueue(std::wstring& data);

// The upper-case full path a queued source names, for comparing requests.
std::wstring RequestKey(const std::wstring& path);

}  // namespace fileops
