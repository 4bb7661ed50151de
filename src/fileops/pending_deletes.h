#pragma once
// The delete-at-restart requests the platform holds (the session manager's
// PendingFileRenameOperations), read once per pass, so that a file that stays undeletable
// start after start is requested once, not once a start.
#include <string>
#include <unordered_set>
#include <vector>

namespace fileops {

class PendingDeletes {
public:
    // The requests as they stand now; empty when the value is absent or cannot be read.
    static PendingDeletes Read();

    // Whether a delete of the full path ("X:\dir\name") is requested, in any letter case.
    bool Has(const std::wstring& full) const;
    void Add(const std::wstring& full);

    // Takes back the request to delete `full` at the restart, leaving every other request
    // as it was. 0, or the registry's error.
    static long Withdraw(const std::wstring& full);

private:
    static std::wstring KeyOf(std::wstring path);
    std::unordered_set<std::wstring> keys_;
};

}  // namespace fileops
