#include "fileops/file_funcs.h"

#include "fileops/delete_file_now.h"
#include "fileops/file_api.h"
#include "fileops/platform_path.h"
#include "platform/file_errors.h"
#include "platform/handles.h"
#include "platform/win32.h"

using fileops_detail::AnsiPatternPath;
using fileops_detail::AnsiTargetPath;

const FileApi& RealFileApi() {
    static const FileApi api{::MoveFileExA, ::SetFileAttributesA};
    return api;
}

cFileFuncs::cFileFuncs() : api_(&RealFileApi()) {}

cFileFuncs::cFileFuncs(const FileApi& api) : api_(&api) {}

bool cFileFuncs::DoesFileExist(std::wstring sFile) const {
    const auto pattern = AnsiPatternPath(sFile);
    if (!pattern) return false;
    WIN32_FIND_DATAA found;
    platform::UniqueFind search(::FindFirstFileA(pattern->c_str(), &found));
    if (!search) return false;
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

int32_t cFileFuncs::MoveFile2(std::wstring strSourceFile, std::wstring strDestination,
                              bool blnReplace) const {
    if (!DoesFileExist(strSourceFile)) return kSourceMissing;
    const auto source = AnsiTargetPath(strSourceFile);
    const auto destination = AnsiTargetPath(strDestination);
    if (!source || !destination) return kFailed;
    const DWORD flags = MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH |
                        (blnReplace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!api_->MoveFileExA(source->c_str(), destination->c_str(), flags)) return kFailed;
    // A move the platform reports done while the source still stands did not happen.
    return DoesFileExist(strSourceFile) ? kFailed : kDone;
}

int32_t cFileFuncs::MoveFile(std::wstring strSourceFile, std::wstring strDestination) const {
    return MoveFile2(std::move(strSourceFile), std::move(strDestination), true);
}

void cFileFuncs::DeleteFileUntilReboot(std::wstring strFile) const {
    MoveFileUntilReboot(std::move(strFile), std::nullopt);
}

void cFileFuncs::MoveFileUntilReboot(std::wstring strSourceFile,
                                     std::optional<std::wstring> strDestination) const {
    // A request the platform could never carry out is not registered at all.
    const auto source = AnsiTargetPath(strSourceFile);
    if (!source) return;
    std::optional<std::string> destination;
    if (strDestination) {
        destination = AnsiTargetPath(*strDestination);
        if (!destination) return;
    }
    // A null destination together with the delay flag asks for a delete at restart.
    api_->MoveFileExA(source->c_str(), destination ? destination->c_str() : nullptr,
                      MOVEFILE_DELAY_UNTIL_REBOOT);
}

void cFileFuncs::SafeKill(std::wstring strFile) const { DeleteFile(std::move(strFile)); }

int32_t cFileFuncs::DeleteFile(std::wstring strFile) const {
    // Every failure inside, the existence test and the attribute reset included, ends
    // the operation with "failed".
    try {
        if (!DoesFileExist(strFile)) return kSourceMissing;
        const auto target = AnsiTargetPath(strFile);
        if (!target) throw platform::FileError(ERROR_INVALID_NAME, L"DeleteFile");
        if (!api_->SetFileAttributesA(target->c_str(), FILE_ATTRIBUTE_NORMAL)) {
            throw platform::FileError(::GetLastError(), L"DeleteFile");
        }
        return basQuorvaneService::DeleteFileNow(strFile) ? kDone : kFailed;
    } catch (...) {
        return kFailed;
    }
}
