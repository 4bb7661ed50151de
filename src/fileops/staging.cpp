#include "fileops/staging.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "fileops/wine_checks.h"
#include "fileops/checked_file.h"
#include "fileops/restart_requests.h"
#include "platform/final_path.h"
#include "platform/long_path.h"
#include "platform/nt_file.h"
#include "platform/win32.h"
#include "trust/object_security.h"
#include "trust/path_chain.h"

namespace fileops {
namespace {

// What keeps the platform's delete at restart (and the sweep) from removing a staged file.
constexpr DWORD kBlockingAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr size_t kRecordLimit = 70000;  // bytes: a path of 32767 characters and the rest
constexpr DWORD kStagedAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;

// A file with a second name keeps its attributes: they belong to that name's file too.
void ClearBlockingAttributes(HANDLE file, uint32_t links) {
    DWORD attributes = 0;
    if (links == 1 && platform::QueryAttributes(file, attributes) == ERROR_SUCCESS &&
        (attributes & kBlockingAttributes)) {
        platform::BestEffort(platform::SetAttributes(file, attributes & ~kBlockingAttributes));
    }
}

bool NumberIs(HANDLE file, uint64_t expected) {
    uint64_t number = 0;
    return platform::QueryFileNumber(file, number) == ERROR_SUCCESS && number == expected;
}

}  // namespace

StagingFolder::StagingFolder(std::wstring folder) : path_(std::move(folder)) {
    if (!path_.empty() && path_.back() == L'\\') path_.pop_back();
}

DWORD StagingFolder::OpenFolder(bool create) {
    if (open_) return ERROR_SUCCESS;
    if (create && !platform::NativeCalls().CreateDirectoryW(platform::LiteralForm(path_).c_str(), nullptr) &&
        ::GetLastError() != ERROR_ALREADY_EXISTS) {
        return ::GetLastError();
    }
    if (const DWORD error = folder_.Open(path_)) return error;
    // The folder itself must be the one inside the service's folder, not a link to another.
    ownfiles::OwnFolder parent;
    if (const DWORD error = parent.Open(FolderOf(path_))) return error;
    if (!platform::SamePathText(folder_.FinalPath(), parent.PathOf(LeafOf(path_)))) {
        return kErrorReparsePointEncountered;
    }
    open_ = true;
    return ERROR_SUCCESS;
}

std::wstring StagingFolder::NewName() {
    // The time of staging, the process and a sequence number: names sort by their age and
    // never repeat.
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    wchar_t text[64];
    std::swprintf(text, 64, L"%08lX%08lX-%lX-%u", now.dwHighDateTime, now.dwLowDateTime, ::GetCurrentProcessId(),
                  ++sequence_);
    return text;
}

DWORD StagingFolder::CreateRecord(const std::wstring& text, const wchar_t* suffix, std::wstring& name) {
    ownfiles::OwnFile record;
    std::wstring created;
    const auto nameOf = [this, suffix](int) { return NewName() + suffix; };
    if (const DWORD error = ownfiles::CreateUnderFreeName(folder_.Handle(), nameOf, GENERIC_WRITE | DELETE | SYNCHRONIZE,
                                                record.handle, created)) {
        return error;
    }
    record.state = ownfiles::OwnState::Opened;
    if (const DWORD error = ownfiles::WriteAllFlushed(record.handle.get(), text.data(), text.size() * sizeof(wchar_t))) {
        platform::BestEffort(ownfiles::RemoveOwnFile(record));
        return error;
    }
    name = created.substr(0, created.size() - std::wcslen(suffix));
    return ERROR_SUCCESS;
}

DWORD StagingFolder::ReadText(const std::wstring& fileName, std::wstring& text) {
    ownfiles::OwnFile record = folder_.OpenFile(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE);
    if (record.state == ownfiles::OwnState::Missing) return ERROR_FILE_NOT_FOUND;
    if (record.state != ownfiles::OwnState::Opened) return record.error;
    text.assign(kRecordLimit / sizeof(wchar_t), L'\0');
    DWORD got = 0;
    if (!::ReadFile(record.handle.get(), text.data(), kRecordLimit, &got, nullptr)) return ::GetLastError();
    text.resize(got / sizeof(wchar_t));
    return ERROR_SUCCESS;
}

std::vector<std::wstring> StagingFolder::Names(const wchar_t* suffix) {
    std::vector<std::wstring> names, all;
    // Through the held folder: the names are this folder's even if its path led elsewhere now.
    if (OpenFolder(false) != ERROR_SUCCESS || platform::ListFileNames(folder_.Handle(), all) != ERROR_SUCCESS) {
        return names;
    }
    const size_t length = std::wcslen(suffix);
    for (const std::wstring& name : all) {
        if (name.size() > length && name.compare(name.size() - length, length, suffix) == 0) {
            names.push_back(name.substr(0, name.size() - length));
        }
    }
    std::sort(names.begin(), names.end());  // the names begin with the time they were made
    return names;
}

DWORD StagingFolder::RemoveRecord(const std::wstring& name, const wchar_t* suffix) {
    ownfiles::OwnFile record = folder_.OpenFile(name + suffix, DELETE, platform::kShareAll);
    if (record.state == ownfiles::OwnState::Missing) return ERROR_SUCCESS;
    if (record.state != ownfiles::OwnState::Opened) return record.error;
    return ownfiles::RemoveOwnFile(record);
}

// The file that arrived at the staged name is not the one checked, and cannot be put back:
// it stays, with its record saying so, for an administrator to put back.
DWORD StagingFolder::KeepAsForeign(const std::wstring& name, ownfiles::OwnFile& arrived, const StagedRecord& record) {
    StagedRecord foreign = record;
    foreign.foreign = true;
    // Kept by the number of the file checked where the arrived one's cannot be read: the
    // sweep deletes neither.
    platform::BestEffort(platform::QueryFileNumber(arrived.handle.get(), foreign.number));
    DWORD attributes = 0;
    if (platform::QueryAttributes(arrived.handle.get(), attributes) == ERROR_SUCCESS) foreign.attributes = attributes;
    ownfiles::OwnFile file = folder_.OpenFile(name + kRecordSuffix, GENERIC_WRITE, 0);
    if (file.state != ownfiles::OwnState::Opened) return file.error;
    const std::wstring text = StagedRecordText(foreign);
    if (!platform::NativeCalls().SetEndOfFile(file.handle.get())) return ::GetLastError();
    return ownfiles::WriteAllFlushed(file.handle.get(), text.data(), text.size() * sizeof(wchar_t));
}

DWORD StagingFolder::Stage(const CheckedFile& file, const std::wstring& listedPath, std::wstring& staged) {
    if (const DWORD error = OpenFolder(true)) return error;
    DWORD attributes = 0;
    platform::StandardFacts facts;
    if (const DWORD error = platform::QueryAttributes(file.handle.get(), attributes)) return error;
    if (const DWORD error = platform::QueryStandard(file.handle.get(), facts)) return error;

    // The record first, naming the staged name and the file's number: a run ended after
    // the rename leaves a staged file with its record, one ended before it a record
    // without a file, which the next sweep removes.
    StagedRecord record{listedPath, attributes, true, file.number, {}, false};
    ownfiles::OwnFile recordFile;
    std::wstring name;
    for (int attempt = 0; attempt < 100 && !recordFile.handle; ++attempt) {
        name = NewName();
        const DWORD error = platform::CreateNewFileIn(folder_.Handle(), name + kRecordSuffix,
                                                      GENERIC_WRITE | DELETE | SYNCHRONIZE, 0, recordFile.handle);
        if (error != ERROR_SUCCESS && error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return error;
    }
    if (!recordFile.handle) return ERROR_ALREADY_EXISTS;
    recordFile.state = ownfiles::OwnState::Opened;
    record.stagedName = name + kStagedSuffix;
    const std::wstring text = StagedRecordText(record);
    DWORD error = ownfiles::WriteAllFlushed(recordFile.handle.get(), text.data(), text.size() * sizeof(wchar_t));
    recordFile.handle.reset();
    // Wine renames by the path the handle was opened by: a folder swapped for a link since
    // the check would move the link's file instead. One more look just before.
    if (error == ERROR_SUCCESS && !PathStillReaches(ListedPath{PathKind::File, listedPath, 0}, file)) {
        error = kErrorReparsePointEncountered;
    }
    if (error == ERROR_SUCCESS) error = platform::RenameOpenFile(file.handle.get(), folder_.Handle(), record.stagedName, false);
    if (error != ERROR_SUCCESS) {
        platform::BestEffort(RemoveRecord(name, kRecordSuffix));
        return error;
    }

    // And one after, through the folder's handle: the file at the staged name must be the
    // one held. A second name of it is no obstacle.
    if (FileIsIn(folder_.Handle(), record.stagedName, record.number)) {
        ClearBlockingAttributes(file.handle.get(), facts.links);
        staged = folder_.PathOf(record.stagedName);
        return ERROR_SUCCESS;
    }
    ownfiles::OwnFile arrived = folder_.OpenFile(record.stagedName, kStagedAccess, platform::kShareAll, true);
    if (arrived.state == ownfiles::OwnState::Missing) {
        platform::BestEffort(RemoveRecord(name, kRecordSuffix));
    } else if (arrived.state == ownfiles::OwnState::Opened) {
        // Another file came by the path: it goes straight back the way it came, which the
        // held file keeps from reaching the held file's own folder.
        if (RenameAgainWhileMissing(arrived.handle.get(), nullptr, L"\\??\\" + listedPath) == ERROR_SUCCESS) {
            arrived.handle.reset();
            platform::BestEffort(RemoveRecord(name, kRecordSuffix));
        } else {
            platform::BestEffort(KeepAsForeign(name, arrived, record));
        }
    }
    return kErrorReparsePointEncountered;
}

namespace {

// The staged file written anew under `leaf` in the held folder and the staged file marked
// for deletion: a create inside a held folder reaches that folder whatever its path leads
// to now, where a rename (under Wine) goes by the folder's path. A copy cut short is left
// empty rather than deleted, as Wine would delete it by that path too.
DWORD CopyInto(HANDLE staged, HANDLE folder, const std::wstring& leaf, const platform::FileBasics& basics) {
    platform::UniqueFile copy;
    if (const DWORD error = platform::CreateNewFileIn(folder, leaf, GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0, copy)) {
        return error;
    }
    DWORD error = platform::CopyContents(staged, copy.get());
    if (error == ERROR_SUCCESS) error = platform::SetDeleteMark(staged, true);
    if (error != ERROR_SUCCESS) {
        LARGE_INTEGER zero = {};
        if (::SetFilePointerEx(copy.get(), zero, nullptr, FILE_BEGIN)) platform::NativeCalls().SetEndOfFile(copy.get());
        return error;
    }
    platform::BestEffort(platform::SetBasics(copy.get(), basics));
    return ERROR_SUCCESS;
}

}  // namespace

DWORD StagingFolder::WeighStage(const CheckedFile& file) {
    DWORD error = OpenFolder(false);
    ownfiles::OwnFolder parent;
    HANDLE folder = folder_.Handle();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        error = parent.Open(FolderOf(path_));
        folder = parent.Handle();
    }
    if (error != ERROR_SUCCESS) return error;
    uint32_t fileVolume = 0, folderVolume = 0;
    if (const DWORD failed = platform::QueryVolumeSerial(file.handle.get(), fileVolume)) return failed;
    if (const DWORD failed = platform::QueryVolumeSerial(folder, folderVolume)) return failed;
    return fileVolume == folderVolume ? ERROR_SUCCESS : ERROR_NOT_SAME_DEVICE;
}

std::vector<StagedFile> StagingFolder::Sweep() {
    // A start type record a run was cut off writing, before it was renamed into place:
    // that run changed nothing yet.
    for (const std::wstring& name : Names(L".new")) platform::BestEffort(RemoveRecord(name, L".new"));
    std::vector<StagedFile> deletable;
    std::vector<std::wstring> withdrawn, finished;
    for (const std::wstring& name : Names(kRecordSuffix)) {
        StagedFile staged;
        const bool readable = Read(name, staged);
        if (!staged.present) {
            // A record cut short before its file arrived, or one whose file the restart
            // deleted: its request goes first, then the record.
            withdrawn.push_back(folder_.PathOf(name + kStagedSuffix));
            finished.push_back(name);
            continue;
        }
        // Only a file the record names by its number: never one that arrived in its
        // place, nor one an earlier version staged without a number (its restart deletes it).
        if (readable && !staged.record.foreign && staged.record.numberKnown) deletable.push_back(std::move(staged));
    }
    // A record outlives its request: taken back first, so that no request is left for a
    // name without a record.
    if (WithdrawDeletes(withdrawn) == ERROR_SUCCESS) {
        for (const std::wstring& name : finished) platform::BestEffort(RemoveRecord(name, kRecordSuffix));
    }
    return deletable;
}

bool StagingFolder::Clear(const StagedFile& staged, RequestedDeletes& requested) {
    const std::wstring stagedPath = folder_.PathOf(staged.name + kStagedSuffix);
    ownfiles::OwnFile file = folder_.OpenFile(staged.name + kStagedSuffix, kStagedAccess, platform::kShareAll, true);
    if (file.state != ownfiles::OwnState::Opened || !NumberIs(file.handle.get(), staged.record.number)) return false;
    ClearBlockingAttributes(file.handle.get(), file.links);
    if (ownfiles::RemoveOwnFile(file) != ERROR_SUCCESS) {
        // Still running, or mapped by another program: left for the restart.
        if (!requested.Has(stagedPath) && RequestDeleteAtRestart(stagedPath) == ERROR_SUCCESS) requested.Add(stagedPath);
        return false;
    }
    if (WithdrawDeletes({stagedPath}) == ERROR_SUCCESS) platform::BestEffort(RemoveRecord(staged.name, kRecordSuffix));
    return true;
}

bool StagingFolder::Read(const std::wstring& name, StagedFile& staged) {
    if (OpenFolder(false) != ERROR_SUCCESS) return false;
    staged = StagedFile{};
    staged.name = name;
    const ownfiles::OwnFile file = folder_.OpenFile(name + kStagedSuffix, FILE_READ_ATTRIBUTES, platform::kShareAll, true);
    staged.present = file.state != ownfiles::OwnState::Missing;
    std::wstring text;
    return ReadText(name + kRecordSuffix, text) == ERROR_SUCCESS && ParseStagedRecord(text, staged.record);
}

std::vector<StagedFile> StagingFolder::List() {
    std::vector<StagedFile> files;
    for (const std::wstring& name : Names(kRecordSuffix)) {
        StagedFile staged;
        if (Read(name, staged)) files.push_back(std::move(staged));
    }
    return files;
}

RestoreResult StagingFolder::Restore(const StagedFile& staged) {
    if (!staged.present) return {RestoreResult::NotMoved, ERROR_FILE_NOT_FOUND};
    const std::wstring& name = staged.name;
    const std::wstring stagedName = name + kStagedSuffix;
    const ListedPath destination = JudgePathForFileCalls(staged.record.listedPath);
    if (destination.kind == PathKind::Refused) return {RestoreResult::NotMoved, destination.refusal};
    if (destination.kind != PathKind::File) return {RestoreResult::NotMoved, ERROR_BAD_PATHNAME};
    // Read too: it may have to be written anew at its listed path.
    ownfiles::OwnFile file = folder_.OpenFile(stagedName, kStagedAccess | FILE_READ_DATA, platform::kShareAll, true);
    if (file.state == ownfiles::OwnState::Missing) return {RestoreResult::NotMoved, ERROR_FILE_NOT_FOUND};
    if (file.state != ownfiles::OwnState::Opened) return {RestoreResult::NotMoved, file.error};
    uint64_t number = 0;
    if (const DWORD error = platform::QueryFileNumber(file.handle.get(), number)) return {RestoreResult::NotMoved, error};
    const std::wstring folderPath = FolderOf(destination.path);
    const CheckedFile folder = OpenCheckedFolder(folderPath);
    if (folder.outcome == Reached::NotFound) return {RestoreResult::NotMoved, ERROR_PATH_NOT_FOUND};
    if (folder.outcome != Reached::Folder) return {RestoreResult::NotMoved, folder.error};
    // The folder held must be the one its path names, not one a link led to a moment ago.
    if (!FolderIsNamedByItsPath(folder.handle.get(), folderPath)) {
        return {RestoreResult::NotMoved, kErrorReparsePointEncountered};
    }

    // Where others could swap a folder on the way, the file is written anew through the held
    // folder; where no one but an administrator could, it is renamed there, which keeps its
    // number, permissions and streams.
    if (!trust::CheckFoldersAbove(destination.path, trust::ProcessAccountSid()).passes) {
        platform::FileBasics basics;
        if (const DWORD error = platform::QueryBasics(file.handle.get(), basics)) return {RestoreResult::NotMoved, error};
        basics.attributes = staged.record.attributes;
        const DWORD copied = CopyInto(file.handle.get(), folder.handle.get(), LeafOf(destination.path), basics);
        if (copied != ERROR_SUCCESS) {
            return {RestoreResult::NotMoved, copied == ERROR_ALREADY_EXISTS ? DWORD{ERROR_FILE_EXISTS} : copied};
        }
        file.handle.reset();  // the staged file goes
        if (WithdrawDeletes({folder_.PathOf(stagedName)}) == ERROR_SUCCESS) platform::BestEffort(RemoveRecord(name, kRecordSuffix));
        return {RestoreResult::Restored, 0};
    }
    const DWORD renamed =
        platform::RenameOpenFile(file.handle.get(), folder.handle.get(), LeafOf(destination.path), false);
    // Where the file is now decides, not what the rename answered: a platform that renames
    // by path may have moved it elsewhere, or moved it and reported a failure.
    if (FileIsIn(folder.handle.get(), LeafOf(destination.path), number)) {
        platform::BestEffort(platform::SetAttributes(file.handle.get(), staged.record.attributes));
        // A record outlives its request (see Sweep); a restore ended between the two leaves
        // a record whose file is gone, which the next sweep finishes.
        if (WithdrawDeletes({folder_.PathOf(stagedName)}) == ERROR_SUCCESS) platform::BestEffort(RemoveRecord(name, kRecordSuffix));
        return {RestoreResult::Restored, 0};
    }
    if (FileIsIn(folder_.Handle(), stagedName, number)) {
        return {RestoreResult::NotMoved,
                renamed == ERROR_ALREADY_EXISTS ? static_cast<DWORD>(ERROR_FILE_EXISTS) : renamed};
    }
    // Somewhere else: back into the staging folder, under its name, its record unchanged.
    const DWORD back = RenameAgainWhileMissing(file.handle.get(), folder_.Handle(), stagedName);
    if (back == ERROR_SUCCESS && FileIsIn(folder_.Handle(), stagedName, number)) {
        return {RestoreResult::BroughtBack, 0};
    }
    std::wstring where;
    platform::BestEffort(platform::FinalPathOf(file.handle.get(), where));
    return {RestoreResult::Astray, back, where};
}

std::vector<CarriedEntry> StagingFolder::Carried() {
    std::vector<CarriedEntry> entries;
    for (const std::wstring& name : Names(kCarriedSuffix)) {
        CarriedEntry entry{name, {}};
        std::wstring text;
        if (ReadText(name + kCarriedSuffix, text) == ERROR_SUCCESS && ParseCarriedRecord(text, entry.record)) {
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

std::vector<PathRequest> StagingFolder::PathRequests() {
    std::vector<PathRequest> requests;
    for (const std::wstring& name : Names(kPathRequestSuffix)) {
        PathRequest request{name, {}};
        std::wstring text;
        if (ReadText(name + kPathRequestSuffix, text) == ERROR_SUCCESS && ParsePathRequest(text, request.listedPath)) {
            requests.push_back(std::move(request));
        }
    }
    return requests;
}

DWORD StagingFolder::RecordCarried(const CarriedRecord& record) {
    if (const DWORD error = OpenFolder(true)) return error;
    std::wstring name;
    return CreateRecord(CarriedRecordText(record), kCarriedSuffix, name);
}

DWORD StagingFolder::RecordPathRequest(const std::wstring& listedPath) {
    if (const DWORD error = OpenFolder(true)) return error;
    std::wstring name;
    return CreateRecord(PathRequestText(listedPath), kPathRequestSuffix, name);
}

DWORD StagingFolder::ReadStartType(StartTypeRecord& record) {
    if (const DWORD error = OpenFolder(false)) return error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : error;
    std::wstring text;
    if (const DWORD error = ReadText(kStartTypeRecordName, text)) return error;
    return ParseStartTypeRecord(text, record) ? ERROR_SUCCESS : static_cast<DWORD>(ERROR_INVALID_DATA);
}

DWORD StagingFolder::WriteStartType(const StartTypeRecord& record) {
    if (const DWORD error = OpenFolder(true)) return error;
    std::wstring name;
    if (const DWORD error = CreateRecord(StartTypeRecordText(record), L".new", name)) return error;
    ownfiles::OwnFile written = folder_.OpenFile(name + L".new", DELETE, platform::kShareAll);
    if (written.state != ownfiles::OwnState::Opened) return written.error;
    const DWORD error = folder_.RenameInto(written.handle.get(), kStartTypeRecordName, false);
    if (error == ERROR_SUCCESS) return ERROR_SUCCESS;
    platform::BestEffort(ownfiles::RemoveOwnFile(written));
    // One there already holds the start type found first.
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? ERROR_SUCCESS : error;
}

}  // namespace fileops
