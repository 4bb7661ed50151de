#include "fileops/checked_file.h"

#include <optional>

#include "fileops/file_api.h"
#include "platform/final_path.h"
#include "platform/text.h"
#include "platform/win32.h"

namespace fileops {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A reparse point in the last component is opened itself, never followed.
constexpr DWORD kOpenFlags = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;

DWORD LastErrorOr(DWORD fallback) {
    const DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring WithoutLiteralPrefix(std::wstring path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0) path.erase(0, 4);
    return path;
}

// The path of the object behind the handle, as "X:\dir\name". The platform's own answer
// where it gives one; where it fails on a long path, the name on the volume joined to
// the judged path's drive, once the handle is known to be on that drive's volume.
std::optional<std::wstring> FinalPathOf(HANDLE handle, const std::wstring& judged) {
    std::wstring path;
    if (platform::FinalPathByHandle(handle, path)) return WithoutLiteralPrefix(std::move(path));
    if (!platform::PathWithinVolume(handle, path)) return std::nullopt;
    DWORD handleSerial = 0, driveSerial = 0;
    const std::wstring root = judged.substr(0, 3);
    if (!::GetVolumeInformationByHandleW(handle, nullptr, 0, &handleSerial, nullptr, nullptr, nullptr, 0) ||
        !::GetVolumeInformationW(root.c_str(), nullptr, 0, &driveSerial, nullptr, nullptr, nullptr, 0) ||
        handleSerial != driveSerial) {
        return std::nullopt;
    }
    return judged.substr(0, 2) + path;
}

// The judged path with short (8.3) names expanded; the path itself when none can be.
std::wstring LongFormOf(const std::wstring& judged) {
    const std::wstring asked = judged.size() < MAX_PATH ? judged : L"\\\\?\\" + judged;
    const DWORD needed = ::GetLongPathNameW(asked.c_str(), nullptr, 0);
    if (needed == 0) return judged;
    std::wstring expanded(needed, L'\0');
    const DWORD length = ::GetLongPathNameW(asked.c_str(), expanded.data(), needed);
    if (length == 0 || length >= needed) return judged;
    expanded.resize(length);
    return WithoutLiteralPrefix(std::move(expanded));
}

platform::UniqueFile OpenWithoutFollowing(const std::wstring& judged, DWORD access) {
    return platform::UniqueFile(::CreateFileW((L"\\\\?\\" + judged).c_str(), access, kShareAll, nullptr,
                                              OPEN_EXISTING, kOpenFlags, nullptr));
}

using NtQueryInformationFileCall = LONG(WINAPI*)(HANDLE file, void* status, void* info, ULONG length,
                                                int infoClass);
constexpr int kFileInternalInformation = 6;

// The file's number on its volume. The file system's own record gives it at once; the
// classic call also works out the volume's serial number, which some platforms do at
// length (under Wine it is most of an open's cost).
bool IdentityOf(HANDLE handle, FileIdentity& identity) {
    static const auto query = reinterpret_cast<NtQueryInformationFileCall>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationFile")));
    if (query) {
        struct {
            LONG_PTR status;
            ULONG_PTR information;
        } io = {};
        LARGE_INTEGER index = {};
        if (query(handle, &io, &index, sizeof(index), kFileInternalInformation) >= 0) {
            identity.index = static_cast<unsigned long long>(index.QuadPart);
            return true;
        }
    }
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!::GetFileInformationByHandle(handle, &info)) return false;
    identity.index = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

bool AttributesOf(HANDLE handle, DWORD& attributes) {
    FILE_BASIC_INFO basic = {};
    if (!::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof(basic))) return false;
    attributes = basic.FileAttributes;
    return true;
}

// The path opened a second time reaches the file the handle holds. Where the platform
// reads a handle's final path from the path it was opened by, a folder swapped back in
// time for that reading would pass it; the file itself does not change with the swap.
bool ReachesSameFile(const std::wstring& judged, const FileIdentity& identity) {
    platform::UniqueFile again = OpenWithoutFollowing(judged, FILE_READ_ATTRIBUTES);
    FileIdentity reached;
    return again && IdentityOf(again.get(), reached) && reached == identity;
}

CheckedFile Open(const std::wstring& judged, DWORD access) {
    CheckedFile result;
    result.handle = OpenWithoutFollowing(judged, access);
    if (!result.handle) {
        result.error = LastErrorOr(ERROR_ACCESS_DENIED);
        const bool missing = result.error == ERROR_FILE_NOT_FOUND || result.error == ERROR_PATH_NOT_FOUND;
        result.outcome = missing ? OpenOutcome::NotFound : OpenOutcome::Failed;
        return result;
    }
    DWORD attributes = 0;
    if (!AttributesOf(result.handle.get(), attributes) || !IdentityOf(result.handle.get(), result.identity)) {
        result.error = LastErrorOr(ERROR_ACCESS_DENIED);
        result.handle.reset();
        return result;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        result.outcome = OpenOutcome::Directory;
        result.handle.reset();
        return result;
    }
    if (!NamesJudgedPath(result.handle.get(), judged) || !ReachesSameFile(judged, result.identity)) {
        result.outcome = OpenOutcome::Redirected;
        result.error = kErrorReparsePointEncountered;
        result.handle.reset();
        return result;
    }
    result.outcome = OpenOutcome::Opened;
    return result;
}

}  // namespace

ListedPath JudgePathForFileCalls(const std::wstring& text) {
    ListedPath judged = JudgeListedPath(text);
    if (judged.kind == PathKind::File && !platform::ToAnsiExact(text)) {
        judged = ListedPath{PathKind::Refused, {}, kErrorInvalidName};
    }
    return judged;
}

bool NamesJudgedPath(HANDLE handle, const std::wstring& judged) {
    const auto final = FinalPathOf(handle, judged);
    if (!final) return false;
    if (SameText(*final, judged)) return true;
    // Only when they differ: a short name on the path is no redirection.
    return SameText(*final, LongFormOf(judged));
}

CheckedFile OpenChecked(const ListedPath& path, unsigned long access) {
    return Open(path.path, access);
}

CheckedFile OpenCheckedFolder(const ListedPath& path) {
    const size_t slash = path.path.find_last_of(L'\\');
    // "X:\name" lies in the drive's root, which keeps its backslash.
    const std::wstring folder = path.path.substr(0, slash < 3 ? 3 : slash);
    CheckedFile result;
    result.handle = OpenWithoutFollowing(folder, FILE_READ_ATTRIBUTES);
    if (!result.handle) {
        result.error = LastErrorOr(ERROR_ACCESS_DENIED);
        result.outcome = OpenOutcome::NotFound;
        return result;
    }
    DWORD attributes = 0;
    const bool isFolder = AttributesOf(result.handle.get(), attributes) &&
                          (attributes & FILE_ATTRIBUTE_DIRECTORY);
    std::wstring expected = folder;
    if (expected.size() == 3) expected.pop_back();  // a root's final path is "X:\"
    const auto final = isFolder ? FinalPathOf(result.handle.get(), folder) : std::nullopt;
    std::wstring got = final ? *final : std::wstring();
    if (got.size() == 3 && got.back() == L'\\') got.pop_back();
    if (!isFolder || !final || !(SameText(got, expected) || SameText(got, LongFormOf(expected)))) {
        result.handle.reset();
        result.outcome = OpenOutcome::Redirected;
        result.error = kErrorReparsePointEncountered;
        return result;
    }
    result.outcome = OpenOutcome::Opened;
    return result;
}

unsigned long MarkForDeletion(const CheckedFile& file, const std::wstring& judged, const FileApi& api) {
    const HANDLE handle = file.handle.get();
    FILE_DISPOSITION_INFO disposition = {TRUE};
    ::SetLastError(ERROR_SUCCESS);
    if (!api.SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof(disposition))) {
        // A read-only file; the platform does not always say so.
        return LastErrorOr(ERROR_ACCESS_DENIED);
    }
    // Where the platform deletes by the handle's path when it closes, a folder swapped
    // since the first check would take the delete elsewhere: look once more, just before.
    // A file marked for deletion may refuse a new open (access denied): it is the one the
    // handle holds, and where that happens the platform deletes by the handle.
    // Twice: a swap timed to slip between one reading of the path and one open of it must
    // then be timed to do so again.
    bool same = true;
    for (int look = 0; look < 2 && same; ++look) {
        same = NamesJudgedPath(handle, judged);
        if (same) {
            platform::UniqueFile again = OpenWithoutFollowing(judged, FILE_READ_ATTRIBUTES);
            FileIdentity reached;
            same = again ? IdentityOf(again.get(), reached) && reached == file.identity
                         : ::GetLastError() == ERROR_ACCESS_DENIED;
        }
    }
    if (!same) {
        FILE_DISPOSITION_INFO keep = {FALSE};
        api.SetFileInformationByHandle(handle, FileDispositionInfo, &keep, sizeof(keep));
        return kErrorReparsePointEncountered;
    }
    return ERROR_SUCCESS;
}

bool HasLeft(const ListedPath& path, const FileIdentity& deleted) {
    const CheckedFile now = OpenChecked(path, FILE_READ_ATTRIBUTES);
    switch (now.outcome) {
    case OpenOutcome::NotFound:
        // Not a folder that is missing for the moment: the file is gone from its folder.
        return OpenCheckedFolder(path).outcome == OpenOutcome::Opened;
    case OpenOutcome::Directory:
        return true;
    case OpenOutcome::Opened:
        return !(now.identity == deleted);  // a new file of that name since
    default:
        return false;  // cannot be told through a redirected path
    }
}

unsigned long RequestDeleteAtRestart(const ListedPath& path, const FileApi& api) {
    ::SetLastError(ERROR_SUCCESS);
    // A null destination together with the delay flag asks for a delete at restart.
    if (!api.MoveFileExW(path.OpenForm().c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        return LastErrorOr(ERROR_ACCESS_DENIED);
    }
    return ERROR_SUCCESS;
}

}  // namespace fileops
