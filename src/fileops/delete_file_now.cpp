#include "fileops/delete_file_now.h"

#include "fileops/checked_file.h"
#include "fileops/file_api.h"
#include "platform/win32.h"

namespace basQuorvaneService {

bool DeleteFileNow(const std::wstring& path) {
    const fileops::ListedPath judged = fileops::JudgePathForFileCalls(path);
    if (judged.kind != fileops::PathKind::File) return false;
    fileops::CheckedFile file = fileops::OpenChecked(judged, DELETE | FILE_READ_ATTRIBUTES);
    if (file.outcome != fileops::OpenOutcome::Opened ||
        fileops::MarkForDeletion(file, judged.path, RealFileApi()) != ERROR_SUCCESS) {
        return false;
    }
    file.handle.reset();
    return fileops::HasLeft(judged, file.identity);
}

}  // namespace basQuorvaneService
