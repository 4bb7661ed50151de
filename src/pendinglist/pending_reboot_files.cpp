#include "pendinglist/pending_reboot_files.h"

#include <new>
#include <optional>
#include <vector>

#include "activitylog/activity_log.h"
#include "pendinglist/ansi_codec.h"
#include "pendinglist/list_file_io.h"
#include "pendinglist/list_format.h"
#include "pendinglist/list_lock.h"
#include "platform/file_errors.h"

namespace basPendingRebootFiles {
namespace {

using basQuorvaneService::ClearError;
using basQuorvaneService::RecordError;
using basQuorvaneService::WriteLog;

constexpr wchar_t kSource[] = L"PendingRebootFiles";
constexpr wchar_t kLoadEntry[] = L"(PendingRebootFiles.Load)";
constexpr wchar_t kSaveEntry[] = L"(PendingRebootFiles.Save)";
// QuorvaneTool writes "<list>.new"; a name of the service's own keeps the two apart.
constexpr wchar_t kTemporarySuffix[] = L".svc.new";

platform::RaisedError ReadFault(ListFault fault) {
    return platform::NumberedError(
        fault == ListFault::Truncated ? platform::kErrInputPastEnd : platform::kErrBadFileFormat,
        kSource);
}

void RecordFailure(const std::exception& failure) {
    if (const auto* raised = dynamic_cast<const platform::RaisedError*>(&failure)) {
        RecordError(raised->Number(), raised->Description());
    } else if (dynamic_cast<const std::bad_alloc*>(&failure)) {
        RecordError(7, L"Out of memory");
    } else {
        RecordError(51, L"Internal error");
    }
}

// The entry is written only in debug mode, while the record names the failure.
void LogFailure(const wchar_t* entry, const std::exception& failure) {
    RecordFailure(failure);
    WriteLog(entry, false);
    ClearError();
}

void RequireLock(const ListFileLock& lock) {
    if (lock.Error()) throw platform::FileError(lock.Error(), kSource);
}

// Stamps the header and version and writes the list under `lock`: over an existing file
// only when `replace` is set. A failure, the lock's included, gets the Save entry.
void SaveLocked(const ListFileLock& lock, bool replace) {
    try {
        PendingRebootList& list = List();
        list.Header = kListHeader;
        list.Version = kListVersion;
        std::string bytes;
        if (!WriteListBytes(list, SystemCodec(), bytes)) {
            throw platform::NumberedError(platform::kErrOverflow, kSource);
        }
        RequireLock(lock);
        const ListFileIdentity& file = lock.Identity();
        ReplaceWholeFile(file.Path(), file.Beside(kTemporarySuffix), bytes, replace);
    } catch (const std::exception& failure) {
        LogFailure(kSaveEntry, failure);
    }
}

// A damaged list keeps its bytes under the first free copy name; copies are never
// replaced. Raises the move's error, or "file already exists" when every name is held.
void KeepDamagedCopy(const ListFileIdentity& file) {
    std::vector<std::wstring> names;
    for (int copy = 0; copy < kDamagedCopies; ++copy) {
        names.push_back(file.Beside(DamagedCopySuffix(copy).c_str()));
    }
    MoveToFreeName(file.Path(), names);
}

}  // namespace

std::wstring DamagedCopySuffix(int copy) {
    return copy == 0 ? L".bad" : L".bad." + std::to_wstring(copy);
}

PendingRebootList& List() {
    static PendingRebootList list(PlatformLowerCase);
    return list;
}

std::wstring ListFilePath() { return basQuorvaneService::AppDir() + kListFileName; }

void Load() {
    ClearError();
    PendingRebootList& list = List();
    list.Clear();
    // Held from the read to the write, so that no update of QuorvaneTool falls between.
    const ListFileLock lock(ListFilePath());
    ListCheck check;
    try {
        RequireLock(lock);
        std::optional<FileBytes> bytes = ReadWholeFile(lock.Identity().Path());
        if (!bytes) {
            // A file that appears meanwhile is someone else's list: it is kept.
            SaveLocked(lock, false);
            ClearError();
            return;
        }
        check = ReadListBytes(bytes->Data(), bytes->Size(), SystemCodec(), list,
                              [&bytes](size_t consumed) { bytes->ReleaseBefore(consumed); });
    } catch (const std::exception& failure) {
        // Not known to be damaged: a file held by a writer, locked, or unreadable for the
        // moment stays exactly as it is, and the next start tries again.
        list.Clear();
        LogFailure(kLoadEntry, failure);
        return;
    }
    if (check.ok()) {
        ClearError();
        return;
    }
    list.Clear();
    LogFailure(kLoadEntry, ReadFault(check.fault));
    try {
        KeepDamagedCopy(lock.Identity());
    } catch (const std::exception& failure) {
        // Rewriting a list that could not be moved aside would lose it: it stays as it is.
        LogFailure(kLoadEntry, failure);
        return;
    }
    SaveLocked(lock, true);
    ClearError();
}

void Save() {
    ClearError();
    const ListFileLock lock(ListFilePath());
    SaveLocked(lock, true);
    ClearError();
}

int32_t FindEntry(const std::wstring& path) { return List().FindEntry(path); }

void RemoveEntry(const std::wstring& path) { List().RemoveEntry(path); }

}  // namespace basPendingRebootFiles
