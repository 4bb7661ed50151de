#include "fileops/delete_file_now.h"

#include "fileops/checked_file.h"
#include "platform/win32.h"

namespace basQuorvaneService {

bool DeleteFileNow(const std::wstring& path) {
    fileops::SetRefusal(0);
    const fileops::ListedPath judged = fileops::JudgePathForFileCalls(path);
    if (judged.kind != fileops::PathKind::File) {
        fileops::SetRefusal(judged.refusal);
        return false;
    }
    const fileops::CheckedFile file = fileops::OpenChecked(judged, DELETE | FILE_READ_ATTRIBUTES);
    if (file.outcome == fileops::Reached::Redirected) fileops::SetRefusal(file.error);
    if (file.outcome != fileops::Reached::File) return false;
    // Deleted when the platform took the mark: the file goes as the handle closes, or, held
    // open by another program that shares deletion, as that program closes it. A path seen
    // redirected meanwhile is a refusal, not a file to leave for the restart.
    const unsigned long error = fileops::MarkForDeletion(file, judged);
    if (error == fileops::kErrorReparsePointEncountered) fileops::SetRefusal(error);
    return error == ERROR_SUCCESS;
}

}  // namespace basQuorvaneService
