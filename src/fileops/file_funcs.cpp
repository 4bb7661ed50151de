#include "fileops/file_funcs.h"

#include <vector>

#include "fileops/checked_file.h"
#include "fileops/file_api.h"
#include "platform/win32.h"

using fileops::CheckedFile;
using fileops::JudgePathForFileCalls;
using fileops::ListedPath;
using fileops::OpenChecked;
using fileops::OpenOutcome;
using fileops::PathKind;

namespace {

BOOL WINAPI RealSetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID info,
                                           DWORD size) {
    return ::SetFileInformationByHandle(file, kind, info, size);
}

BOOL WINAPI RealMoveFileExW(LPCWSTR source, LPCWSTR destination, DWORD flags) {
    return ::MoveFileExW(source, destination, flags);
}

// What a path that failed to open for a change still is: a file that checks out (the
// operation failed), or none (the source is not there).
bool IsCheckedFile(const ListedPath& path) {
    return OpenChecked(path, FILE_READ_ATTRIBUTES).outcome == OpenOutcome::Opened;
}

// A file that checks out but could not be opened for the change: failed, with the open's
// error left for the caller; otherwise the source is not there.
int32_t FailedOrMissing(const ListedPath& path, DWORD openError) {
    if (!IsCheckedFile(path)) return cFileFuncs::kSourceMissing;
    ::SetLastError(openError);
    return cFileFuncs::kFailed;
}

// A request by path for the next restart names a file checked now, or, for a file that
// is not there, a folder checked now.
bool MayRequestAtRestart(const ListedPath& path) {
    if (path.kind != PathKind::File) return false;
    const CheckedFile file = OpenChecked(path, FILE_READ_ATTRIBUTES);
    if (file.outcome == OpenOutcome::Opened) return true;
    return file.outcome == OpenOutcome::NotFound &&
           fileops::OpenCheckedFolder(path).outcome == OpenOutcome::Opened;
}

}  // namespace

const FileApi& RealFileApi() {
    static const FileApi api{RealSetFileInformationByHandle, RealMoveFileExW};
    return api;
}

cFileFuncs::cFileFuncs() : api_(&RealFileApi()) {}

cFileFuncs::cFileFuncs(const FileApi& api) : api_(&api) {}

bool cFileFuncs::DoesFileExist(std::wstring sFile) const {
    const ListedPath path = JudgePathForFileCalls(sFile);
    return path.kind == PathKind::File && IsCheckedFile(path);
}

int32_t cFileFuncs::MoveFile2(std::wstring strSourceFile, std::wstring strDestination,
                              bool blnReplace) const {
    const ListedPath source = JudgePathForFileCalls(strSourceFile);
    if (source.kind != PathKind::File) return kSourceMissing;
    CheckedFile file = OpenChecked(source, DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE);
    if (file.outcome == OpenOutcome::Failed) return FailedOrMissing(source, file.error);
    if (file.outcome != OpenOutcome::Opened) return kSourceMissing;

    const ListedPath destination = JudgePathForFileCalls(strDestination);
    if (destination.kind != PathKind::File) return kFailed;
    const CheckedFile folder = fileops::OpenCheckedFolder(destination);
    if (folder.outcome != OpenOutcome::Opened) return kFailed;

    // The new name in the platform's own namespace form, which both the rename call and
    // the file system take as it stands.
    const std::wstring target = L"\\??\\" + destination.path;
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = blnReplace ? TRUE : FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    target.copy(rename->FileName, target.size());
    if (!api_->SetFileInformationByHandle(file.handle.get(), FileRenameInfo, rename,
                                          static_cast<DWORD>(buffer.size()))) {
        return kFailed;
    }
    file.handle.reset();
    // A move the platform reports done while the source still stands did not happen.
    return IsCheckedFile(source) ? kFailed : kDone;
}

int32_t cFileFuncs::MoveFile(std::wstring strSourceFile, std::wstring strDestination) const {
    return MoveFile2(std::move(strSourceFile), std::move(strDestination), true);
}

void cFileFuncs::DeleteFileUntilReboot(std::wstring strFile) const {
    MoveFileUntilReboot(std::move(strFile), std::nullopt);
}

void cFileFuncs::MoveFileUntilReboot(std::wstring strSourceFile,
                                     std::optional<std::wstring> strDestination) const {
    // A request the platform would carry out on another file, or on none, is not made.
    const ListedPath source = JudgePathForFileCalls(strSourceFile);
    if (!MayRequestAtRestart(source)) return;
    if (!strDestination) {
        fileops::RequestDeleteAtRestart(source, *api_);
        return;
    }
    const ListedPath destination = JudgePathForFileCalls(*strDestination);
    if (destination.kind != PathKind::File ||
        fileops::OpenCheckedFolder(destination).outcome != OpenOutcome::Opened) {
        return;
    }
    api_->MoveFileExW(source.OpenForm().c_str(), destination.OpenForm().c_str(),
                      MOVEFILE_DELAY_UNTIL_REBOOT);
}

void cFileFuncs::SafeKill(std::wstring strFile) const { DeleteFile(std::move(strFile)); }

int32_t cFileFuncs::DeleteFile(std::wstring strFile) const {
    const ListedPath path = JudgePathForFileCalls(strFile);
    if (path.kind != PathKind::File) return kSourceMissing;
    CheckedFile file = OpenChecked(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
    if (file.outcome == OpenOutcome::Failed) return FailedOrMissing(path, file.error);
    if (file.outcome != OpenOutcome::Opened) return kSourceMissing;

    // The attribute reset, through the same handle: read-only, hidden, system and archive
    // cleared, the times left as they are (zero means "unchanged").
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!api_->SetFileInformationByHandle(file.handle.get(), FileBasicInfo, &basic, sizeof(basic))) {
        return kFailed;
    }
    if (fileops::MarkForDeletion(file, path.path, *api_) != ERROR_SUCCESS) return kFailed;
    file.handle.reset();
    return fileops::HasLeft(path, file.identity) ? kDone : kFailed;
}
