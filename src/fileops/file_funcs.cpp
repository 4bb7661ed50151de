#include "fileops/file_funcs.h"

#include <vector>

#include "fileops/checked_file.h"
#include "fileops/own_file.h"
#include "fileops/pending_deletes.h"
#include "fileops/staging.h"
#include "platform/long_path.h"
#include "platform/nt_file.h"
#include "platform/win32.h"

using fileops::CheckedFile;
using fileops::JudgePathForFileCalls;
using fileops::ListedPath;
using fileops::OpenChecked;
using fileops::PathKind;
using fileops::Reached;

namespace {

// A file that could not be opened for the change but checks out when asked for nothing
// but its attributes is there (the change failed); otherwise the source is not there.
int32_t FailedOrMissing(const ListedPath& path) {
    return OpenChecked(path, FILE_READ_ATTRIBUTES).outcome == Reached::File ? cFileFuncs::kFailed
                                                                             : cFileFuncs::kSourceMissing;
}

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
    if (fileops::CreateUnderFreeName(folder, nameOf, GENERIC_WRITE | DELETE | FILE_WRITE_ATTRIBUTES, copy,
                                     temporary) != ERROR_SUCCESS) {
        return cFileFuncs::kFailed;
    }
    auto abandon = [&copy] {
        platform::SetDeleteMark(copy.get(), true);
        return cFileFuncs::kFailed;
    };

    std::vector<char> buffer(1 << 20);
    for (;;) {
        DWORD got = 0, written = 0;
        if (!::ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return abandon();
        if (got == 0) break;
        if (!::WriteFile(copy.get(), buffer.data(), got, &written, nullptr) || written != got) return abandon();
    }
    if (!::FlushFileBuffers(copy.get())) return abandon();
    if (platform::SetDeleteMark(source, true) != ERROR_SUCCESS) return abandon();
    if (platform::RenameOpenFile(copy.get(), folder, leaf, replace) != ERROR_SUCCESS) {
        platform::SetDeleteMark(source, false);
        return abandon();
    }
    // Attributes last: a read-only copy could not have been removed on a failure.
    platform::SetBasics(copy.get(), basics);
    return cFileFuncs::kDone;
}

}  // namespace

cFileFuncs::cFileFuncs() = default;

cFileFuncs::cFileFuncs(std::wstring stagingFolder)
    : staging_(std::make_unique<fileops::StagingFolder>(std::move(stagingFolder))) {}

// A file held for a next step that never came is let go with the object.
cFileFuncs::~cFileFuncs() { fileops::ReleaseChecked(); }

bool cFileFuncs::DoesFileExist(std::wstring sFile) const {
    fileops::ReleaseChecked();
    const std::optional<ListedPath> path = fileops::JudgeForFileCall(sFile);
    if (!path) return false;
    // The handle the next step will act through, checked once and held for it.
    CheckedFile file = OpenChecked(*path, fileops::kRouteAccess);
    if (file.outcome == Reached::File) {
        fileops::HoldChecked(sFile, {*path, std::move(file)});
        return true;
    }
    // In use without delete sharing: asked for nothing but the attributes, it still shows.
    if (file.outcome == Reached::Failed) file = OpenChecked(*path, FILE_READ_ATTRIBUTES);
    if (file.outcome == Reached::Redirected || file.outcome == Reached::Failed) fileops::SetRefusal(file.error);
    return file.outcome == Reached::File;
}

int32_t cFileFuncs::MoveFile2(std::wstring strSourceFile, std::wstring strDestination, bool blnReplace) const {
    fileops::ReleaseChecked();
    const std::optional<ListedPath> judged = fileops::JudgeForFileCall(strSourceFile);
    if (!judged) return kSourceMissing;
    const ListedPath& source = *judged;
    const CheckedFile file = OpenChecked(source, DELETE | FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE);
    if (file.outcome == Reached::Failed) return FailedOrMissing(source);
    if (file.outcome != Reached::File) {
        if (file.outcome == Reached::Redirected) fileops::SetRefusal(file.error);
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

int32_t cFileFuncs::MoveFile(std::wstring strSourceFile, std::wstring strDestination) const {
    return MoveFile2(std::move(strSourceFile), std::move(strDestination), true);
}

void cFileFuncs::Request(const std::wstring& full) const {
    if (!requested_) requested_ = std::make_unique<fileops::PendingDeletes>(fileops::PendingDeletes::Read());
    // A file that stays undeletable start after start is requested once, not once a start.
    if (requested_->Has(full)) return;
    ::SetLastError(ERROR_SUCCESS);
    // A null destination together with the delay flag asks for a delete at restart.
    if (!platform::NativeCalls().MoveFileExW(platform::LiteralForm(full).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        const DWORD error = ::GetLastError();
        fileops::SetRefusal(error != ERROR_SUCCESS ? error : ERROR_ACCESS_DENIED);
        return;
    }
    requested_->Add(full);
}

void cFileFuncs::DeleteFileUntilReboot(std::wstring strFile) const {
    MoveFileUntilReboot(std::move(strFile), std::nullopt);
}

void cFileFuncs::MoveFileUntilReboot(std::wstring strSourceFile, std::optional<std::wstring> strDestination) const {
    // The file the last test found, when it was this path's and no move is asked for.
    fileops::HeldFile held = fileops::TakeChecked(strDestination ? std::wstring() : strSourceFile);
    fileops::SetRefusal(0);
    // A request the platform would carry out on another file, or on none, is not made:
    // a pattern, a device, another host, a relative path, a redirected folder.
    const std::optional<ListedPath> judged =
        held.file.handle ? std::optional<ListedPath>(held.path) : fileops::JudgeForFileCall(strSourceFile);
    if (!judged) return;
    const ListedPath& source = *judged;
    std::optional<ListedPath> destination;
    if (strDestination) {
        destination = JudgePathForFileCalls(*strDestination);
        if (destination->kind != PathKind::File ||
            fileops::OpenNearestFolder(*destination).outcome != Reached::Folder) {
            fileops::SetRefusal(destination->kind == PathKind::Refused ? destination->refusal
                                                               : fileops::kErrorReparsePointEncountered);
            return;
        }
    }

    CheckedFile file = held.file.handle ? std::move(held.file) : OpenChecked(source, fileops::kRouteAccess);
    if (file.outcome == Reached::File && staging_ && !destination) {
        std::wstring staged;
        const unsigned long error = staging_->Stage(file, source.path, staged);
        if (error == ERROR_SUCCESS) return Request(staged);
        // On another volume, or the staging folder unusable: by its path, below.
    }
    if (file.outcome == Reached::Failed) {
        // In use without delete sharing: checked through an open that asks for nothing
        // but the attributes, held while the request is made.
        file = OpenChecked(source, FILE_READ_ATTRIBUTES);
    }
    switch (file.outcome) {
    case Reached::File:
    case Reached::Folder:
        break;
    case Reached::NotFound:
        // The request stands for a file that is missing, in a folder that may be too: the
        // nearest folder that exists must check out.
        if (fileops::OpenNearestFolder(source).outcome == Reached::Folder) break;
        fileops::SetRefusal(fileops::kErrorReparsePointEncountered);
        return;
    default:
        fileops::SetRefusal(file.error);
        return;
    }
    if (!destination) return Request(source.path);
    ::SetLastError(ERROR_SUCCESS);
    if (!platform::NativeCalls().MoveFileExW(source.OpenForm().c_str(), destination->OpenForm().c_str(),
                                             MOVEFILE_DELAY_UNTIL_REBOOT)) {
        fileops::SetRefusal(::GetLastError());
    }
}

void cFileFuncs::SafeKill(std::wstring strFile) const { DeleteFile(std::move(strFile)); }

int32_t cFileFuncs::DeleteFile(std::wstring strFile) const {
    // Any error raised during the work, memory exhausted included, is a failure.
    try {
        fileops::ReleaseChecked();
        const std::optional<ListedPath> path = fileops::JudgeForFileCall(strFile);
        if (!path) return kSourceMissing;
        const CheckedFile file = OpenChecked(*path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
        if (file.outcome == Reached::Failed) return FailedOrMissing(*path);
        if (file.outcome != Reached::File) {
            if (file.outcome == Reached::Redirected) fileops::SetRefusal(file.error);
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

uint32_t cFileFuncs::LastRefusal() const { return fileops::LastRefusal(); }

void cFileFuncs::RetryStaged() const {
    if (staging_) staging_->Sweep();
}
