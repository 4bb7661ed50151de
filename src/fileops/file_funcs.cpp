#include "fileops/file_funcs.h"

#include <vector>

#include "fileops/boot_carry.h"
#include "ownfiles/own_file.h"
#include "fileops/restart_requests.h"
#include "fileops/staging.h"
#include "platform/ascii.h"
#include "platform/long_path.h"
#include "platform/nt_file.h"
#include "platform/win32.h"
#include "trust/path_chain.h"
#include "trust/object_security.h"

using fileops::CheckedFile;
using fileops::JudgePathForFileCalls;
using fileops::ListedPath;
using fileops::OpenChecked;
using fileops::PathKind;
using fileops::Reached;

namespace {

// The copy of a move to another volume: written under a name of its own in the checked
// destination folder and flushed (the write-through), then the source marked for deletion
// through its handle, then the copy renamed onto the destination's name. Any failure
// removes the copy and leaves the source where it was.
int32_t MoveAcrossVolumes(HANDLE source, HANDLE folder, const std::wstring& leaf, bool replace) {
    platform::FileBasics basics;
    if (platform::QueryBasics(source, basics) != ERROR_SUCCESS) return cFileFuncs::kFailed;
    platform::UniqueFile copy;
    std::wstring temporary;
    const auto nameOf = [](int attempt) {
        return L"~qmove-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
               std::to_wstring(::GetTickCount() + attempt) + L".tmp";
    };
    if (ownfiles::CreateUnderFreeName(folder, nameOf, GENERIC_WRITE | DELETE | FILE_WRITE_ATTRIBUTES, copy,
                                     temporary) != ERROR_SUCCESS) {
        return cFileFuncs::kFailed;
    }
    auto abandon = [&copy] {
        platform::BestEffort(platform::SetDeleteMark(copy.get(), true));
        return cFileFuncs::kFailed;
    };

    if (platform::CopyContents(source, copy.get()) != ERROR_SUCCESS) return abandon();
    if (platform::SetDeleteMark(source, true) != ERROR_SUCCESS) return abandon();
    if (platform::RenameOpenFile(copy.get(), folder, leaf, replace) != ERROR_SUCCESS) {
        platform::BestEffort(platform::SetDeleteMark(source, false));
        return abandon();
    }
    // Attributes last: a read-only copy could not have been removed on a failure.
    platform::BestEffort(platform::SetBasics(copy.get(), basics));
    return cFileFuncs::kDone;
}

// The drive the route's own folder lies on: the staging folder's, else the system's, the
// volume that is there whenever the system starts.
wchar_t OwnDrive(const std::wstring& stagingFolder) {
    std::wstring own = stagingFolder;
    if (own.empty()) {
        own.assign(MAX_PATH, L'\0');
        own.resize(::GetSystemWindowsDirectoryW(own.data(), MAX_PATH));
    }
    own = platform::WithoutLiteralPrefix(own);
    return own.size() > 2 && own[1] == L':' ? platform::AsciiUpper(own[0]) : L'\0';
}

// The design's move and delete of a pattern fail: the attribute reset meets the pattern's
// own text and nothing is deleted. The route never searches a pattern, so every one fails.
bool NamesPattern(const std::wstring& text) { return JudgePathForFileCalls(text).pattern; }

bool OnDrive(const std::wstring& path, wchar_t drive) {
    return drive != L'\0' && path.size() > 2 && path[1] == L':' && platform::AsciiUpper(path[0]) == drive;
}

}  // namespace

cFileFuncs::cFileFuncs() = default;

cFileFuncs::cFileFuncs(RouteSetup setup) : setup_(std::move(setup)) {
    if (!setup_.stagingFolder.empty()) {
        staging_ = std::make_unique<fileops::StagingFolder>(setup_.stagingFolder);
        if (!setup_.serviceName.empty()) {
            carry_ = std::make_unique<fileops::BootCarry>(*staging_, setup_.serviceName);
        }
    }
}

cFileFuncs::~cFileFuncs() = default;

std::optional<ListedPath> cFileFuncs::Judge(const std::wstring& text) {
    held_ = Held();
    refusal_ = 0;
    ListedPath judged = JudgePathForFileCalls(text);
    if (judged.kind == PathKind::Refused) refusal_ = judged.refusal;
    if (judged.kind != PathKind::File) return std::nullopt;
    return judged;
}

cFileFuncs::Held cFileFuncs::Take(const std::wstring& listed) {
    Held taken;
    if (held_.file.handle && held_.listed == listed) taken = std::move(held_);
    held_ = Held();
    refusal_ = 0;
    return taken;
}

// The file opened for every step of the route; one in use without delete sharing (32)
// still shows to an open that asks for its attributes and its permissions alone.
cFileFuncs::Held cFileFuncs::OpenForRoute(const ListedPath& path, const std::wstring& listed) {
    Held opened{listed, path, OpenChecked(path, fileops::kRouteAccess), 0};
    if (opened.file.outcome == Reached::Failed && opened.file.error == ERROR_SHARING_VIOLATION) {
        CheckedFile shown = OpenChecked(path, FILE_READ_ATTRIBUTES | READ_CONTROL);
        if (shown.outcome != Reached::Failed) {
            opened.file = std::move(shown);
            opened.openError = ERROR_SHARING_VIOLATION;
        }
    }
    return opened;
}

bool cFileFuncs::DoesFileExist(std::wstring sFile) {
    const std::optional<ListedPath> path = Judge(sFile);
    if (!path) return false;
    Held opened = OpenForRoute(*path, sFile);
    if (opened.file.outcome == Reached::File && PredictedGone(opened.file.number)) {
        opened.file.outcome = Reached::NotFound;
    }
    switch (opened.file.outcome) {
    case Reached::File:
        // Held for the step that follows on the same path.
        held_ = std::move(opened);
        return true;
    case Reached::NotFound:
        PathCleared(path->path);
        return false;
    case Reached::Folder:
        return false;
    default:
        // Redirected (4395), or refused to the route for another reason: access denied
        // even with the backup privileges is no proof that the file is gone.
        refusal_ = opened.file.error;
        return false;
    }
}

bool cFileFuncs::DeleteNow(const std::wstring& path) {
    deleteError_ = 0;
    Held held = Take(path);
    if (!held.file.handle) {
        const std::optional<ListedPath> judged = Judge(path);
        if (!judged) return false;
        held = OpenForRoute(*judged, path);
    }
    if (held.file.outcome == Reached::Redirected) refusal_ = held.file.error;
    if (held.file.outcome != Reached::File) return false;
    // Deleted when the platform took the mark: the file goes as the handle closes, or, held
    // open by another program that shares deletion, as that program closes it.
    if (held.openError == ERROR_SUCCESS) {
        held.markError = MarkOrWeigh(held.file);
        if (held.markError == ERROR_SUCCESS) {
            PathCleared(held.path.path);
            return true;
        }
    }
    // Read-only, running, or in use: held for the restart's step, which acts through it.
    deleteError_ = held.openError != ERROR_SUCCESS ? held.openError : held.markError;
    held_ = std::move(held);
    return false;
}

int32_t cFileFuncs::MoveFile2(std::wstring strSourceFile, std::wstring strDestination, bool blnReplace) {
    const std::optional<ListedPath> judged = Judge(strSourceFile);
    if (!judged) return NamesPattern(strSourceFile) ? kFailed : kSourceMissing;
    const ListedPath& source = *judged;
    const CheckedFile file = OpenChecked(source, DELETE | FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE);
    if (file.outcome == Reached::Failed) {
        // Not opened for the move, but there when asked for nothing but its attributes.
        return OpenChecked(source, FILE_READ_ATTRIBUTES).outcome == Reached::File ? kFailed : kSourceMissing;
    }
    if (file.outcome != Reached::File) {
        if (file.outcome == Reached::Redirected) refusal_ = file.error;
        return kSourceMissing;
    }

    // A relative destination would depend on the working folder (System32 for a service).
    const ListedPath destination = JudgePathForFileCalls(strDestination);
    if (destination.kind != PathKind::File) return kFailed;
    const CheckedFile folder = fileops::OpenCheckedFolder(fileops::FolderOf(destination.path));
    if (folder.outcome != Reached::Folder) return kFailed;

    const std::wstring leaf = fileops::LeafOf(destination.path);
    const DWORD error = platform::RenameOpenFile(file.handle.get(), folder.handle.get(), leaf, blnReplace);
    if (error == ERROR_NOT_SAME_DEVICE) {
        return MoveAcrossVolumes(file.handle.get(), folder.handle.get(), leaf, blnReplace);
    }
    if (error != ERROR_SUCCESS) return kFailed;
    // Done only when the handle's own path is the destination now: a rename reported done
    // that left the file where it was did not happen.
    std::wstring now;
    return platform::FinalPathOf(file.handle.get(), now) == ERROR_SUCCESS &&
                   !platform::SamePathText(now, source.path)
               ? kDone
               : kFailed;
}

int32_t cFileFuncs::MoveFile(std::wstring strSourceFile, std::wstring strDestination) {
    return MoveFile2(std::move(strSourceFile), std::move(strDestination), true);
}

// Read from the process's token once, where the setup names no account.
const std::wstring& cFileFuncs::ServiceSid() {
    if (setup_.serviceSid.empty()) setup_.serviceSid = trust::ProcessAccountSid();
    return setup_.serviceSid;
}

fileops::RequestedDeletes& cFileFuncs::Requested() {
    if (!requested_) requested_ = std::make_unique<fileops::RequestedDeletes>(fileops::RequestedDeletes::Read());
    return *requested_;
}

void cFileFuncs::Request(const std::wstring& full) {
    // A file that stays undeletable start after start is requested once, not once a start.
    if (Dry() || Requested().Has(full)) return;
    if (const DWORD error = fileops::RequestDeleteAtRestart(full)) {
        refusal_ = error;
        return;
    }
    Requested().Add(full);
}

// For a file that stays where it is: its path is requested only when no one but an
// administrator could remove, rename or link any component of it, on the route's own
// volume; otherwise the file is carried to the next start, where the route takes it up
// again; where neither can be done, the error that kept it from being deleted stands.
void cFileFuncs::RequestByPathOrCarry(const ListedPath& path, uint32_t reason, HANDLE held) {
    // The file's own permissions are read through the handle held for it: not opened again.
    const trust::ChainFinding chain = trust::CheckPathChain(path.path, ServiceSid(), held);
    // A link or mount point on the path now: nothing is asked for, nor carried.
    if (!chain.passes && chain.sid.empty() && chain.error == ERROR_SUCCESS) {
        refusal_ = fileops::kErrorReparsePointEncountered;
        return;
    }
    if (OnDrive(path.path, OwnDrive(setup_.stagingFolder)) && chain.passes) {
        // Recorded first, so that a later start takes the request back once the file is gone.
        if (staging_ && !Dry() && !Requested().Has(path.path)) {
            if (const DWORD error = staging_->RecordPathRequest(path.path)) {
                refusal_ = error;
                return;
            }
            pathRequests_.reset();
        }
        Request(path.path);
        if (refusal_ == 0) restartStep_ = RestartStep::RequestedByPath;
        return;
    }
    if (!carry_) {
        // Nothing to carry with: the error that kept the file from being deleted stands;
        // a file that nothing failed on yet is left as it is.
        refusal_ = reason;
        if (reason == ERROR_SUCCESS) restartStep_ = RestartStep::Withheld;
        return;
    }
    if (const DWORD error = Dry() ? ERROR_SUCCESS : carry_->Carry(path.path, reason)) {
        refusal_ = error;
        return;
    }
    restartStep_ = RestartStep::Carried;
}

void cFileFuncs::DeleteFileUntilReboot(std::wstring strFile) { MoveFileUntilReboot(std::move(strFile), std::nullopt); }

void cFileFuncs::MoveFileUntilReboot(std::wstring strSourceFile, std::optional<std::wstring> strDestination) {
    restartStep_ = RestartStep::None;
    stageError_ = 0;
    // The file the last test found, when it was this path's and no move is asked for.
    Held held = Take(strDestination ? std::wstring() : strSourceFile);
    if (!held.file.handle) {
        // A request the platform would carry out on another file, or on none, is not made:
        // a pattern, a device, another host, a relative path, a redirected folder.
        const std::optional<ListedPath> judged = Judge(strSourceFile);
        if (!judged) return;
        held = OpenForRoute(*judged, strSourceFile);
    }
    const ListedPath& source = held.path;

    if (strDestination) {
        const ListedPath destination = JudgePathForFileCalls(*strDestination);
        if (destination.kind == PathKind::Refused) {
            refusal_ = destination.refusal;
            return;
        }
        // A relative destination would be resolved against the service's working folder.
        if (destination.kind != PathKind::File) {
            restartStep_ = RestartStep::Withheld;
            return;
        }
        const CheckedFile folder = fileops::OpenNearestFolder(destination);
        if (folder.outcome != Reached::Folder) {
            refusal_ = folder.error;
            return;
        }
        if (held.file.outcome != Reached::File && held.file.outcome != Reached::NotFound) {
            refusal_ = held.file.error;
            return;
        }
        // A move at restart names both paths; no one may be able to redirect either.
        const trust::ChainFinding from = trust::CheckPathChain(source.path, ServiceSid());
        const trust::ChainFinding to = trust::CheckPathChain(destination.path, ServiceSid());
        if (!from.passes || !to.passes) {
            refusal_ = from.passes ? to.error : from.error;
            if (refusal_ == ERROR_SUCCESS) restartStep_ = RestartStep::Withheld;
            return;
        }
        if (!Dry() && !platform::NativeCalls().MoveFileExW(source.OpenForm().c_str(), destination.OpenForm().c_str(),
                                                           MOVEFILE_DELAY_UNTIL_REBOOT)) {
            refusal_ = ::GetLastError();
        }
        return;
    }

    switch (held.file.outcome) {
    case Reached::File:
        if (held.openError == ERROR_SUCCESS && staging_) {
            std::wstring staged;
            const DWORD error = StageOrWeigh(held.file, source.path, staged);
            stageError_ = error;
            if (error == ERROR_SUCCESS) {
                Request(staged);
                if (refusal_ == 0) restartStep_ = RestartStep::Staged;
                return;
            }
            // What arrived at the staged name was not the file checked: a redirection seen.
            if (error == fileops::kErrorReparsePointEncountered) {
                refusal_ = error;
                return;
            }
            return RequestByPathOrCarry(source, error, held.file.handle.get());
        }
        return RequestByPathOrCarry(source, held.openError != ERROR_SUCCESS ? held.openError : held.markError,
                                    held.file.handle.get());
    case Reached::NotFound: {
        // The design asks for these too: a missing file in a missing folder perhaps. The
        // nearest folder that exists must check out.
        const CheckedFile folder = fileops::OpenNearestFolder(source);
        if (folder.outcome != Reached::Folder) {
            refusal_ = folder.error;
            return;
        }
        return RequestByPathOrCarry(source, held.file.error, nullptr);
    }
    case Reached::Folder:
        return RequestByPathOrCarry(source, ERROR_SUCCESS, nullptr);
    default:
        refusal_ = held.file.error;
        return;
    }
}

void cFileFuncs::SafeKill(std::wstring strFile) { DeleteFile(std::move(strFile)); }

int32_t cFileFuncs::DeleteFile(std::wstring strFile) {
    // Any error raised during the work, memory exhausted included, is a failure.
    try {
        const std::optional<ListedPath> path = Judge(strFile);
        if (!path) return NamesPattern(strFile) ? kFailed : kSourceMissing;
        const CheckedFile file = OpenChecked(*path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
        if (file.outcome == Reached::Failed) {
            return OpenChecked(*path, FILE_READ_ATTRIBUTES).outcome == Reached::File ? kFailed : kSourceMissing;
        }
        if (file.outcome != Reached::File) {
            if (file.outcome == Reached::Redirected) refusal_ = file.error;
            return kSourceMissing;
        }
        // The attribute reset, through the same handle: read-only, hidden, system and
        // archive cleared. A file with a second name keeps them, since they belong to the
        // other name's file too; its delete then fails if it is read-only.
        platform::StandardFacts facts;
        if (platform::QueryStandard(file.handle.get(), facts) != ERROR_SUCCESS) return kFailed;
        if (facts.links == 1 && platform::SetAttributes(file.handle.get(), FILE_ATTRIBUTE_NORMAL) != ERROR_SUCCESS) {
            return kFailed;
        }
        return fileops::MarkForDeletion(file) == ERROR_SUCCESS ? kDone : kFailed;
    } catch (...) {
        return kFailed;
    }
}

// A request made by the listed path is taken back once its file is deleted or gone, so
// that no old request deletes whatever stands at that path by then.
void cFileFuncs::PathCleared(const std::wstring& full) {
    if (!staging_ || Dry()) return;
    if (!pathRequests_) {
        pathRequests_.emplace();
        for (const fileops::PathRequest& request : staging_->PathRequests()) {
            pathRequests_->push_back(fileops::RequestKey(request.listedPath));
        }
    }
    const std::wstring key = fileops::RequestKey(full);
    bool recorded = false;
    for (const std::wstring& request : *pathRequests_) recorded = recorded || request == key;
    if (!recorded) return;
    if (fileops::WithdrawDeletes({full}) != ERROR_SUCCESS) return;
    for (const fileops::PathRequest& request : staging_->PathRequests()) {
        if (fileops::RequestKey(request.listedPath) == key) platform::BestEffort(staging_->RemoveRecord(request.name, fileops::kPathRequestSuffix));
    }
    pathRequests_.reset();
}

void cFileFuncs::BeginPass() {
    held_ = Held();
    stagedLeft_.clear();
    predictedGone_.clear();
    if (!staging_) return;
    if (Dry()) {
        // What the sweep would hand on: the staged files still there under their records.
        for (fileops::StagedFile& staged : staging_->List()) {
            if (staged.present) stagedLeft_.push_back(std::move(staged));
        }
        return;
    }
    if (carry_) carry_->BeginPass();
    stagedLeft_ = staging_->Sweep();
    // Requests by path: the restart carried them out (no longer queued), or the file is
    // gone or its path leads elsewhere now.
    for (const fileops::PathRequest& request : staging_->PathRequests()) {
        if (!Requested().Has(request.listedPath)) {
            platform::BestEffort(staging_->RemoveRecord(request.name, fileops::kPathRequestSuffix));
            continue;
        }
        const ListedPath path = JudgePathForFileCalls(request.listedPath);
        const Reached reached =
            path.kind == PathKind::File ? OpenChecked(path, FILE_READ_ATTRIBUTES).outcome : Reached::NotFound;
        if (reached == Reached::File || reached == Reached::Folder || reached == Reached::Failed) continue;
        if (fileops::WithdrawDeletes({request.listedPath}) == ERROR_SUCCESS) {
            platform::BestEffort(staging_->RemoveRecord(request.name, fileops::kPathRequestSuffix));
        }
    }
    pathRequests_.reset();
}

bool cFileFuncs::ClearStaged(const std::wstring& listedPath) {
    bool cleared = false;
    const std::wstring key = fileops::RequestKey(listedPath);
    for (auto it = stagedLeft_.begin(); it != stagedLeft_.end();) {
        if (fileops::RequestKey(it->record.listedPath) != key) {
            ++it;
            continue;
        }
        cleared = (Dry() || staging_->Clear(*it, Requested())) || cleared;
        it = stagedLeft_.erase(it);
    }
    return cleared;
}

std::vector<std::wstring> cFileFuncs::StagedLeft() const {
    std::vector<std::wstring> paths;
    for (const fileops::StagedFile& staged : stagedLeft_) paths.push_back(staged.record.listedPath);
    return paths;
}

void cFileFuncs::EndPass() {
    held_ = Held();
    stagedLeft_.clear();
    if (carry_ && !Dry()) carry_->EndPass();
}

bool cFileFuncs::PredictedGone(uint64_t number) const {
    for (const uint64_t gone : predictedGone_) {
        if (gone == number) return true;
    }
    return false;
}

// The delete mark, or, changing nothing, what it would answer: the platform refuses it for
// a read-only file (a running program's file it refuses too, which shows only then).
DWORD cFileFuncs::MarkOrWeigh(const CheckedFile& file) {
    if (!Dry()) return fileops::MarkForDeletion(file);
    DWORD attributes = 0;
    if (const DWORD error = platform::QueryAttributes(file.handle.get(), attributes)) return error;
    if (attributes & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
    predictedGone_.push_back(file.number);
    return ERROR_SUCCESS;
}

DWORD cFileFuncs::StageOrWeigh(const CheckedFile& file, const std::wstring& listedPath, std::wstring& staged) {
    if (!Dry()) return staging_->Stage(file, listedPath, staged);
    const DWORD error = staging_->WeighStage(file);
    if (error == ERROR_SUCCESS) predictedGone_.push_back(file.number);
    return error;
}
