#pragma once
// The session manager's PendingFileRenameOperations value, where delete-at-restart
// requests land. Tests that add to it save it first and put it back afterwards.
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// The value's REG_MULTI_SZ data as stored, NULs included; nothing when absent.
std::optional<std::wstring> ReadPendingRenamesRaw();

// The strings of the value in order (source, destination, source, ...); empty when absent.
std::vector<std::wstring> ReadPendingRenames();

// True when the value holds the delete request for the path: "\??\" + path followed by
// an empty destination.
bool HasPendingDelete(const std::wstring& path);

class PendingRenamesGuard {
public:
    PendingRenamesGuard();
    ~PendingRenamesGuard();
    PendingRenamesGuard(const PendingRenamesGuard&) = delete;
    PendingRenamesGuard& operator=(const PendingRenamesGuard&) = delete;

private:
    std::optional<std::wstring> saved_;  // the raw REG_MULTI_SZ data, absent when there was none
};

}  // namespace testing_support
