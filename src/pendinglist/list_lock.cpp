#include "pendinglist/list_lock.h"

#include <cstdint>
#include <cwchar>
#include <vector>

#include "platform/final_path.h"
#include "platform/long_path.h"
#include "platform/win32.h"

namespace basPendingRebootFiles {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A folder opened only to learn what it is.
platform::UniqueFile OpenFolder(const std::wstring& path) {
    return platform::UniqueFile(::CreateFileW(platform::ExtendedPath(path).c_str(),
                                              FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool SameObject(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION first = {}, second = {};
    return ::GetFileInformationByHandle(a, &first) && ::GetFileInformationByHandle(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

// Wine cannot give the final path of a deep folder (beyond about 264 characters), but it
// gives the folder's name within its volume; the first drive through which that name
// leads back to the same folder completes it.
DWORD FinalPathThroughDrives(HANDLE folder, std::wstring& path) {
    std::wstring within;
    if (!platform::PathWithinVolume(folder, within)) return ::GetLastError();
    std::vector<std::wstring> candidates;
    const DWORD drives = ::GetLogicalDrives();
    for (int letter = 0; letter < 26; ++letter) {
        if (!(drives & (1u << letter))) continue;
        const wchar_t root[] = {static_cast<wchar_t>(L'A' + letter), L':', L'\\', L'\0'};
        const UINT type = ::GetDriveTypeW(root);
        // Removable and optical drives are not asked: there may be no medium.
        if (type == DRIVE_FIXED || type == DRIVE_REMOTE || type == DRIVE_RAMDISK) {
            candidates.push_back(L"\\\\?\\" + std::wstring(root, 2) + within);
        }
    }
    candidates.push_back(L"\\\\?\\UNC" + within);  // a share's name within its volume
    for (const std::wstring& candidate : candidates) {
        platform::UniqueFile other = OpenFolder(candidate);
        if (other && SameObject(folder, other.get())) {
            path = candidate;
            return 0;
        }
    }
    return ERROR_PATH_NOT_FOUND;
}

DWORD FinalPath(HANDLE folder, std::wstring& path) {
    return platform::FinalPathByHandle(folder, path) ? 0 : FinalPathThroughDrives(folder, path);
}

uint64_t Fnv1a(const std::wstring& text) {
    uint64_t hash = 1469598103934665603ull;
    for (wchar_t c : text) {
        hash ^= static_cast<uint16_t>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace

DWORD IdentifyListFile(const std::wstring& fullPath, ListFileIdentity& identity) {
    const size_t slash = fullPath.find_last_of(L'\\');
    if (slash == std::wstring::npos) return ERROR_INVALID_NAME;
    std::wstring folderSpelling = fullPath.substr(0, slash);
    if (folderSpelling.empty() || folderSpelling.back() == L':') folderSpelling += L'\\';  // a drive root
    platform::UniqueFile folder = OpenFolder(folderSpelling);
    // A share's root opens only with its backslash.
    if (!folder && folderSpelling.back() != L'\\') folder = OpenFolder(folderSpelling + L'\\');
    if (!folder) return ::GetLastError();
    std::wstring folderPath;
    if (const DWORD error = FinalPath(folder.get(), folderPath)) return error;
    if (!folderPath.empty() && folderPath.back() == L'\\') folderPath.pop_back();  // a drive root

    std::wstring name = fullPath.substr(slash + 1);
    // An 8.3 name becomes the long one; a pattern would name whatever it matched first.
    if (name.find_first_of(L"*?") == std::wstring::npos) {
        WIN32_FIND_DATAW found;
        platform::UniqueFind search(::FindFirstFileW(platform::ExtendedPath(fullPath).c_str(), &found));
        if (search) name = found.cFileName;
    }
    identity.folder = std::move(folderPath);
    identity.name = std::move(name);
    return 0;
}

ListFileLock::ListFileLock(const std::wstring& fullPath, DWORD timeoutMs) {
    error_ = IdentifyListFile(fullPath, identity_);
    if (error_) return;
    // Spellings differ in letter case only where the file system ignores it.
    std::wstring key = identity_.Path();
    ::CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    const unsigned long long hash = Fnv1a(key);
    wchar_t name[64];
    std::swprintf(name, 64, L"Global\\QuorvaneList.%016llx", hash);
    mutex_.reset(::CreateMutexW(nullptr, FALSE, name));
    if (!mutex_) {
        // Without the right to create global objects, updates in this session still
        // exclude each other.
        std::swprintf(name, 64, L"Local\\QuorvaneList.%016llx", hash);
        mutex_.reset(::CreateMutexW(nullptr, FALSE, name));
    }
    if (!mutex_) {
        error_ = ::GetLastError();
        return;
    }
    const DWORD waited = ::WaitForSingleObject(mutex_.get(), timeoutMs);
    // An abandoned mutex belonged to an update that died; its renames leave the file whole.
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return;
    error_ = waited == WAIT_TIMEOUT ? WAIT_TIMEOUT : ::GetLastError();
    mutex_.reset();
}

ListFileLock::~ListFileLock() {
    if (mutex_) ::ReleaseMutex(mutex_.get());
}

}  // namespace basPendingRebootFiles
