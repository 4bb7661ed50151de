#include "pendinglist/pending_reboot_files.h"

#include <new>
#include <vector>

#include "activitylog/activity_log.h"
#include "ownfiles/own_file.h"
#include "fileops/staging.h"
#include "pendinglist/ansi_codec.h"
#include "pendinglist/list_file_io.h"
#include "pendinglist/list_format.h"
#include "pendinglist/list_lock.h"
#include "platform/file_errors.h"
#include "platform/final_path.h"
#include "platform/nt_file.h"
#include "platform/win32.h"
#include "service/nt_service.h"

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

void LogFailure(const wchar_t* entry, DWORD error) { LogFailure(entry, platform::FileError(error, kSource)); }

// The list file as it was read, to tell whether the file still standing at its name
// later is the same one.
struct ReadFacts {
    uint64_t number = 0;  // the folder is the service's own: the volume is that one
    uint64_t size = 0;
    int64_t lastWrite = 0;
    bool operator==(const ReadFacts& other) const {
        return number == other.number && size == other.size && lastWrite == other.lastWrite;
    }
};

DWORD FactsOf(HANDLE file, ReadFacts& facts) {
    platform::StandardFacts standard;
    platform::FileBasics basics;
    if (const DWORD error = platform::QueryFileNumber(file, facts.number)) return error;
    if (const DWORD error = platform::QueryStandard(file, standard)) return error;
    if (const DWORD error = platform::QueryBasics(file, basics)) return error;
    facts.size = standard.size;
    facts.lastWrite = basics.lastWrite;
    return ERROR_SUCCESS;
}

// Stamps the header and version and writes the whole list beside the list file, then
// renames it onto the list's name: over an existing file only when `replace`. Raises.
void WriteList(const ownfiles::OwnFolder& folder, bool replace) {
    PendingRebootList& list = List();
    list.Header = kListHeader;
    list.Version = kListVersion;
    std::string bytes;
    if (!WriteListBytes(list, SystemCodec(), bytes)) {
        throw platform::NumberedError(platform::kErrOverflow, kSource);
    }
    const std::wstring name = kListFileName;
    if (const DWORD error = WriteThenRename(folder, name, name + kTemporarySuffix, bytes, replace)) {
        throw platform::FileError(error, kSource);
    }
}

// The update lock, held while the service rewrites the list; QuorvaneTool takes it for
// every update. The list is named through the service's folder, open already.
ListFileIdentity ListIn(const ownfiles::OwnFolder& folder) {
    return IdentityInFolder(folder.FinalPath(), kListFileName);
}

// A lock that cannot be had in time counts as the file locked.
void RequireLock(const ListFileLock& lock) {
    if (!lock.Error()) return;
    throw platform::FileError(lock.Error() == WAIT_TIMEOUT ? ERROR_LOCK_VIOLATION : lock.Error(), kSource);
}

// There is no list: a fresh empty one, never over a file that appeared meanwhile (it is
// someone else's list, kept).
void CreateMissing(const ownfiles::OwnFolder& folder, JobRecord& record) {
    record.list = ListState::Created;
    try {
        const ListFileLock lock(ListIn(folder), kServiceListLockTimeoutMs);
        RequireLock(lock);
        WriteList(folder, false);
    } catch (const std::exception& failure) {
        record.rewriteFailed = true;
        LogFailure(kSaveEntry, failure);
    }
}

// A list read in full and found malformed: moved whole to the first free copy name, then
// a fresh one written in its place; all of it under the update lock, and only while the
// file at the list's name is still the one read. A copy is never replaced.
void ReplaceDamaged(const ownfiles::OwnFolder& folder, const ReadFacts& read, JobRecord& record) {
    try {
        const ListFileLock lock(ListIn(folder), kServiceListLockTimeoutMs);
        RequireLock(lock);
        ownfiles::OwnFile again = folder.OpenFile(kListFileName, DELETE, platform::kShareAll);
        ReadFacts now;
        if (again.state != ownfiles::OwnState::Opened ||
            FactsOf(again.handle.get(), now) != ERROR_SUCCESS ||
            !(now == read)) {
            // Replaced by an update since it was read: that list is not the damaged one.
            throw platform::FileError(ERROR_FILE_EXISTS, kSource);
        }
        std::vector<std::wstring> names;
        for (int copy = 0; copy < kDamagedCopies; ++copy) {
            names.push_back(std::wstring(kListFileName) + DamagedCopySuffix(copy));
        }
        std::wstring taken;
        if (const DWORD error = MoveToFreeName(folder, again.handle.get(), names, taken)) {
            // Rewriting a list that could not be moved aside would lose it: it stays.
            record.rewriteFailed = true;
            LogFailure(kLoadEntry, error);
            return;
        }
        record.keptCopy = folder.PathOf(taken);
        again.handle.reset();
        WriteList(folder, true);
    } catch (const std::exception& failure) {
        record.rewriteFailed = true;
        LogFailure(kSaveEntry, failure);
    }
}

}  // namespace

std::wstring DamagedCopySuffix(int copy) {
    return copy == 0 ? L".bad" : L".bad." + std::to_wstring(copy);
}

PendingRebootList& List() {
    static PendingRebootList list(PlatformLowerCase);
    return list;
}

cFileFuncs& Files() {
    static cFileFuncs files(
        RouteSetup{basQuorvaneService::AppDir() + fileops::kStagingFolderName, NTService::ServiceName, {}});
    return files;
}

JobRecord& RunRecord() {
    static JobRecord record;
    return record;
}

std::wstring ListFilePath() { return basQuorvaneService::AppDir() + kListFileName; }

void Load() {
    ClearError();
    PendingRebootList& list = List();
    list.Clear();
    JobRecord& record = RunRecord();
    record.list = ListState::Read;
    // Not known to be damaged: it stays exactly as it is.
    const auto unreadable = [&list, &record](const std::exception& failure) {
        list.Clear();
        record.list = ListState::Unreadable;
        LogFailure(kLoadEntry, failure);
    };
    ownfiles::OwnFolder folder;
    if (const DWORD error = folder.Open(basQuorvaneService::AppDir())) {
        return unreadable(platform::FileError(error, kSource));
    }
    // No lock: an update replaces the list with one rename, so this read sees either the
    // old file or the new one. Shared with that rename and with other readers.
    ownfiles::OwnFile file = folder.OpenFile(kListFileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE);
    switch (file.state) {
    case ownfiles::OwnState::Opened:
        break;
    case ownfiles::OwnState::Missing:
    case ownfiles::OwnState::Folder:
        // A folder at the name counts as no list: the write of a fresh one then fails with
        // the platform's own answer, since nothing takes a folder's place.
        CreateMissing(folder, record);
        ClearError();
        return;
    default:
        // A link, or a file held by a writer, locked or unreadable for the moment.
        return unreadable(platform::FileError(file.error, kSource));
    }
    ReadFacts read;
    try {
        FileBytes bytes = ReadWholeFile(file.handle.get());
        const ListCheck check = ReadListBytes(bytes.Data(), bytes.Size(), SystemCodec(), list,
                                              [&bytes](size_t consumed) { bytes.ReleaseBefore(consumed); });
        if (check.ok()) {
            ClearError();
            return;
        }
        list.Clear();
        if (const DWORD error = FactsOf(file.handle.get(), read)) {
            return unreadable(platform::FileError(error, kSource));
        }
        // Let go before the rewrite waits for the update lock: a file held open cannot be
        // replaced, and the update may be about to replace it.
        file.handle.reset();
        record.list = ListState::Damaged;
        LogFailure(kLoadEntry, ReadFault(check.fault));
    } catch (const std::exception& failure) {
        // The read itself failed, or memory ran out holding the file.
        return unreadable(failure);
    }
    ReplaceDamaged(folder, read, record);
    ClearError();
}

void Save() {
    ClearError();
    try {
        ownfiles::OwnFolder folder;
        if (const DWORD error = folder.Open(basQuorvaneService::AppDir())) throw platform::FileError(error, kSource);
        const ListFileLock lock(ListIn(folder), kServiceListLockTimeoutMs);
        RequireLock(lock);
        WriteList(folder, true);
    } catch (const std::exception& failure) {
        LogFailure(kSaveEntry, failure);
    }
    ClearError();
}

int32_t FindEntry(const std::wstring& path) { return List().FindEntry(path); }

void RemoveEntry(const std::wstring& path) { List().RemoveEntry(path); }

}  // namespace basPendingRebootFiles
