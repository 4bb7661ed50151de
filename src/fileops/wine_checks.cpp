#include "fileops/wine_checks.h"

#include "fileops/checked_file.h"
#include "fileops/listed_path.h"
#include "platform/handles.h"
#include "platform/long_path.h"
#include "platform/nt_file.h"
#include "platform/open_without_following.h"

namespace fileops {
namespace {

// A swapping owner holds each state for moments, unless the system does not let it run:
// the first tries follow each other at once, the rest a millisecond apart, for two seconds
// in all on a busy machine.
constexpr int kQuickTries = 400;
constexpr DWORD kRetryMs = 2000;

}  // namespace

bool PathStillReaches(const ListedPath& path, const CheckedFile& file) {
    const platform::OpenedObject again =
        platform::OpenWithoutFollowing(platform::LiteralForm(path.path), 0, platform::kShareAll);
    // Some platforms refuse a new open of a file marked for deletion: it is still the file
    // the handle holds, since the name has not been given to another meanwhile.
    if (!again.handle) return again.error == ERROR_ACCESS_DENIED;
    return again.number == file.number;
}

bool FolderIsNamedByItsPath(HANDLE folder, const std::wstring& folderPath) {
    if (folderPath.size() <= 3) return true;
    uint64_t held = 0;
    if (platform::QueryFileNumber(folder, held) != ERROR_SUCCESS) return false;
    // A handle of its own for the listing: a folder's handle lists by the first name asked.
    const platform::OpenedObject parent = platform::OpenWithoutFollowing(
        platform::LiteralForm(FolderOf(folderPath)), FILE_LIST_DIRECTORY | SYNCHRONIZE, platform::kShareAll);
    uint64_t number = 0;
    DWORD attributes = 0;
    return parent.handle &&
           platform::FindFolderEntry(parent.handle.get(), LeafOf(folderPath), number, attributes) == ERROR_SUCCESS &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) && number == held;
}

bool FileIsIn(HANDLE folder, const std::wstring& name, uint64_t number) {
    platform::UniqueFile found;
    uint64_t foundNumber = 0;
    return platform::OpenInFolder(folder, name, FILE_READ_ATTRIBUTES, found) == ERROR_SUCCESS &&
           platform::QueryFileNumber(found.get(), foundNumber) == ERROR_SUCCESS && foundNumber == number;
}

DWORD RenameAgainWhileMissing(HANDLE file, HANDLE folder, const std::wstring& name) {
    DWORD error = ERROR_SUCCESS;
    const DWORD start = ::GetTickCount();
    for (int attempt = 0;; ++attempt) {
        error = platform::RenameOpenFile(file, folder, name, false);
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && error != ERROR_ALREADY_EXISTS &&
            error != ERROR_FILE_EXISTS) {
            return error;
        }
        if (attempt >= kQuickTries && ::GetTickCount() - start > kRetryMs) return error;
        ::Sleep(attempt < kQuickTries ? 0 : 1);
    }
}

}  // namespace fileops
