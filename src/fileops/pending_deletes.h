#pragma once
// The delete-at-restart requests the platform already holds, read once per pass, so that
// a file that stays undeletable start after start is requested once, not once a start.
#include <string>
#include <unordered_set>

namespace fileops {

class PendingDeletes {
public:
    // The session manager's PendingFileRenameOperations as it stands now; empty when the
    // value is absent or cannot be read.
    static PendingDeletes Read();

    // Whether a delete of the judged path ("X:\dir\name") is requested, in any letter case.
    bool Has(const std::wstring& judged) const;
    void Add(const std::wstring& judged);

private:
    static std::wstring KeyOf(std::wstring path);
    std::unordered_set<std::wstring> keys_;
};

}  // namespace fileops
