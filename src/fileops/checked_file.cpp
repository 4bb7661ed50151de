#include "fileops/checked_file.h"

#include "fileops/wine_checks.h"
#include "platform/long_path.h"
#include "platform/nt_file.h"
#include "platform/open_without_following.h"
#include "platform/text.h"
#include "platform/win32.h"

namespace fileops {
namespace {

// The path with short (8.3) names expanded; the path itself when none can be.
std::wstring LongFormOf(const std::wstring& full) {
    // The literal form only where it is needed: Wine expands no short name behind it.
    const std::wstring asked = full.size() < MAX_PATH ? full : platform::LiteralForm(full);
    const DWORD needed = ::GetLongPathNameW(asked.c_str(), nullptr, 0);
    if (needed == 0) return full;
    std::wstring expanded(needed, L'\0');
    const DWORD length = ::GetLongPathNameW(asked.c_str(), expanded.data(), needed);
    if (length == 0 || length >= needed) return full;
    expanded.resize(length);
    return platform::WithoutLiteralPrefix(std::move(expanded));
}

// A junction, a symbolic link or a mount point anywhere on the path, a subst or mapped
// drive: the object's own path differs from the path it was opened by. Only when the two
// differ are short names expanded, so the common case costs one final-path read. 0 with
// `same`, or the error of the final path's reading.
DWORD FinalPathIs(HANDLE handle, const std::wstring& full, bool& same) {
    std::wstring final;
    if (const DWORD error = platform::FinalPathOf(handle, final)) return error;
    same = platform::SamePathText(final, full) || platform::SamePathText(final, LongFormOf(full));
    return ERROR_SUCCESS;
}

CheckedFile Redirected() {
    CheckedFile result;
    result.outcome = Reached::Redirected;
    result.error = kErrorReparsePointEncountered;
    return result;
}

// The listed-file policy on the one open that follows no link: the object at the path
// is no link itself, and its final path is the judged path.
CheckedFile Open(const std::wstring& full, DWORD access, bool keepFolder) {
    CheckedFile result;
    platform::OpenedObject opened =
        platform::OpenWithoutFollowing(platform::LiteralForm(full), access, platform::kShareAll);
    if (!opened.handle) {
        result.error = opened.error;
        result.outcome = opened.Missing() ? Reached::NotFound : Reached::Failed;
        return result;
    }
    // Opened itself, where the platform does not follow it: a link named by the path.
    if (opened.attributes & FILE_ATTRIBUTE_REPARSE_POINT) return Redirected();
    bool same = false;
    if (const DWORD error = FinalPathIs(opened.handle.get(), full, same)) {
        result.error = error;
        return result;
    }
    if (!same) return Redirected();
    result.handle = std::move(opened.handle);
    if (opened.attributes & FILE_ATTRIBUTE_DIRECTORY) {
        result.outcome = Reached::Folder;
        if (!keepFolder) result.handle.reset();
        return result;
    }
    result.number = opened.number;
    result.outcome = Reached::File;
    // A handle that is to change the file: see wine_checks.h.
    if ((access & DELETE) && !PathStillReaches(ListedPath{PathKind::File, full, 0}, result)) return Redirected();
    return result;
}

}  // namespace

ListedPath JudgePathForFileCalls(const std::wstring& text) {
    ListedPath judged = JudgeListedPath(text);
    if (judged.kind == PathKind::File && !platform::ToAnsiExact(text)) {
        judged = ListedPath{PathKind::Refused, {}, kErrorInvalidName, true};
    }
    return judged;
}

CheckedFile OpenChecked(const ListedPath& path, DWORD access) {
    return Open(path.path, access, false);
}

CheckedFile OpenCheckedFolder(const std::wstring& folder) {
    // Held as the root of later opens and renames inside it.
    CheckedFile result = Open(folder, FILE_READ_ATTRIBUTES | FILE_TRAVERSE, true);
    if (result.outcome == Reached::File) {
        // A file where a folder was meant: what the platform answers for a file opened as
        // a folder (STATUS_NOT_A_DIRECTORY).
        result = CheckedFile{};
        result.error = ERROR_DIRECTORY;
    }
    return result;
}

CheckedFile OpenNearestFolder(const ListedPath& path) {
    std::wstring folder = path.path;
    for (;;) {
        folder = FolderOf(folder);
        CheckedFile result = OpenCheckedFolder(folder);
        if (result.outcome != Reached::NotFound || folder.size() <= 3) return result;
    }
}

DWORD MarkForDeletion(const CheckedFile& file) {
    // Wine deletes a marked file by its path as the last handle closes, and only while that
    // path still reaches the file: a folder swapped for a link since the check leaves the
    // file in place rather than take the delete elsewhere. No look after the mark would
    // close that window, only move it; the look after the open (Open) is what keeps a
    // victim's file from being held at all.
    return platform::SetDeleteMark(file.handle.get(), true);
}

}  // namespace fileops
