#include "pendinglist/list_lock.h"

#include <cstdint>
#include <cwchar>
#include <vector>

#include "ownfiles/own_file.h"
#include "platform/long_path.h"
#include "platform/win32.h"

namespace basPendingRebootFiles {
namespace {

uint64_t Fnv1a(const std::wstring& text) {
    uint64_t hash = 1469598103934665603ull;
    for (wchar_t c : text) {
        hash ^= static_cast<uint16_t>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace

ListFileIdentity IdentityInFolder(const std::wstring& folderFinalPath, const std::wstring& name) {
    // With a final backslash, so that a drive's root ("C:" alone is drive-relative) takes
    // the literal form too; the backslash goes again after.
    std::wstring folder = platform::LiteralForm(
        !folderFinalPath.empty() && folderFinalPath.back() == L'\\' ? folderFinalPath : folderFinalPath + L'\\');
    folder.pop_back();
    return {std::move(folder), name};
}

DWORD IdentifyListFile(const std::wstring& fullPath, ListFileIdentity& identity) {
    const size_t slash = fullPath.find_last_of(L'\\');
    if (slash == std::wstring::npos) return ERROR_INVALID_NAME;
    std::wstring folderSpelling = fullPath.substr(0, slash);
    if (folderSpelling.empty() || folderSpelling.back() == L':') folderSpelling += L'\\';  // a drive root
    std::wstring folderPath;
    DWORD error = ownfiles::FinalFolderPath(folderSpelling, folderPath);
    // A share's root opens only with its backslash.
    if (error && folderSpelling.back() != L'\\') error = ownfiles::FinalFolderPath(folderSpelling + L'\\', folderPath);
    if (error) return error;

    std::wstring name = fullPath.substr(slash + 1);
    // An 8.3 name becomes the long one; a pattern would name whatever it matched first.
    if (name.find_first_of(L"*?") == std::wstring::npos) {
        WIN32_FIND_DATAW found;
        platform::UniqueFind search(::FindFirstFileW(platform::ExtendedPath(fullPath).c_str(), &found));
        if (search) name = found.cFileName;
    }
    identity = IdentityInFolder(folderPath, name);
    return 0;
}

ListFileLock::ListFileLock(const std::wstring& fullPath, DWORD timeoutMs) {
    error_ = IdentifyListFile(fullPath, identity_);
    if (!error_) Take(timeoutMs);
}

ListFileLock::ListFileLock(ListFileIdentity identity, DWORD timeoutMs) : identity_(std::move(identity)) {
    Take(timeoutMs);
}

void ListFileLock::Take(DWORD timeoutMs) {
    // Spellings differ in letter case only where the file system ignores it.
    std::wstring key = identity_.Path();
    ::CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    const DWORD long hash = Fnv1a(key);
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
