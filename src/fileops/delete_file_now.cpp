#include "fileops/delete_file_now.h"

#include "fileops/checked_file.h"
#include "platform/win32.h"

namespace basQuorvaneService {

bool DeleteFileNow(const std::wstring& path) {
    // The file the existence test checked, when it was this path's.
    fileops::CheckedFile file = fileops::TakeChecked(path);
    fileops::SetRefusal(0);
    if (!file.handle) {
        const fileops::ListedPath judged = fileops::JudgePathForFileCalls(path);
        if (judged.kind != fileops::PathKind::File) {
            fileops::SetRefusal(judged.refusal);
            return false;
        }
        file = fileops::OpenChecked(judged, fileops::kRouteAccess);
    }
    if (file.outcome == fileops::Reached::Redirected) fileops::SetRefusal(file.error);
    if (file.outcome != fileops::Reached::File) return false;
    // Deleted when the platform took the mark: the file goes as the handle closes, or, held
    // open by another program that shares deletion, as that program closes it.
    if (fileops::MarkForDeletion(file) == ERROR_SUCCESS) return true;
    // Read-only, or running: held for the restart's step, which stages it through this handle.
    fileops::HoldChecked(path, std::move(file));
    return false;
}

}  // namespace basQuorvaneService
