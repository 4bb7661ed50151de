#include "platform/final_path.h"

#include <vector>

#include "platform/handles.h"
#include "platform/long_path.h"
#include "platform/nt_file.h"

namespace platform {
namespace {

bool PlatformFinalPath(HANDLE handle, std::wstring& path) {
    const auto call = NativeCalls().GetFinalPathNameByHandleW;
    if (!call) return false;
    std::wstring buffer(MAX_PATH + 8, L'\0');
    for (;;) {
        const DWORD length = call(handle, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
        if (length == 0) return false;
        if (length < buffer.size()) {
            buffer.resize(length);
            path = WithoutLiteralPrefix(std::move(buffer));
            return true;
        }
        buffer.resize(length + 1);  // too small: the length asked for counts the NUL
    }
}

// A file's identity across volumes: its volume and its number there, both read from its
// own handle.
struct FileIdentity {
    uint32_t volume = 0;
    uint64_t number = 0;
    bool operator==(const FileIdentity& other) const { return volume == other.volume && number == other.number; }
};

// The identity read from the handle alone, its volume included.
DWORD IdentityOf(HANDLE file, FileIdentity& identity) {
    if (const DWORD error = QueryVolumeSerial(file, identity.volume)) return error;
    return QueryFileNumber(file, identity.number);
}

bool IsUsableDrive(wchar_t letter) {
    const wchar_t root[] = {letter, L':', L'\\', L'\0'};
    const UINT type = ::GetDriveTypeW(root);
    // Removable and optical drives are not asked: there may be no medium.
    return type == DRIVE_FIXED || type == DRIVE_REMOTE || type == DRIVE_RAMDISK;
}

// The drive that leads back to the object: the path within the volume, put under a
// drive, must open the object the handle holds.
DWORD FinalPathThroughDrives(HANDLE handle, std::wstring& path) {
    std::wstring within;
    if (const DWORD error = QueryPathWithinVolume(handle, within)) return error;
    FileIdentity held;
    if (const DWORD error = IdentityOf(handle, held)) return error;

    // In the drives' order, so that every spelling of one object comes to one path.
    std::vector<std::wstring> candidates;
    const DWORD drives = ::GetLogicalDrives();
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        if ((drives & (1u << (letter - L'A'))) && IsUsableDrive(letter)) {
            candidates.push_back(std::wstring(1, letter) + L":" + within);
        }
    }
    candidates.push_back(L"\\" + within);  // a share's path within its volume: "\server\share\..."
    for (const std::wstring& candidate : candidates) {
        UniqueFile other(::CreateFileW(LiteralForm(candidate).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        FileIdentity reached;
        if (other && IdentityOf(other.get(), reached) == ERROR_SUCCESS && reached == held) {
            path = candidate;
            return ERROR_SUCCESS;
        }
    }
    return ERROR_PATH_NOT_FOUND;
}

}  // namespace

DWORD FinalPathOf(HANDLE handle, std::wstring& path) {
    if (PlatformFinalPath(handle, path)) return ERROR_SUCCESS;
    return FinalPathThroughDrives(handle, path);
}

}  // namespace platform
