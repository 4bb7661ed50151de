#include "fileops/delete_file_now.h"

#include "fileops/checked_file.h"
#include "platform/win32.h"

namespace basQuorvaneService {

bool DeleteFileNow(const std::wstring& path) {
    // The file the existence test checked, when it was this path's.
    fileops::HeldFile held = fileops::TakeChecked(path);
    fileops::SetRefusal(0);
    if (!held.file.handle) {
        const std::optional<fileops::ListedPath> judged = fileops::JudgeForFileCall(path);
        if (!judged) return false;
        held = {*judged, fileops::OpenChecked(*judged, fileops::kRouteAccess)};
    }
    const fileops::CheckedFile& file = held.file;
    if (file.outcome == fileops::Reached::Redirected) fileops::SetRefusal(file.error);
    if (file.outcome != fileops::Reached::File) return false;
    // Deleted when the platform took the mark: the file goes as the handle closes, or, held
    // open by another program that shares deletion, as that program closes it.
    if (fileops::MarkForDeletion(file) == ERROR_SUCCESS) return true;
    // Read-only, or running: held for the restart's step, which stages it through this handle.
    fileops::HoldChecked(path, std::move(held));
    return false;
}

}  // namespace basQuorvaneService
