#include "platform/final_path.h"

#include <optional>
#include <vector>

#include "platform/handles.h"
#include "platform/nt_file.h"

namespace platform {
namespace {


std::wstring WithoutLiteralPrefix(std::wstring path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0) path.erase(0, 4);
    return path;
}

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
        const std::wstring spelled =
            candidate.rfind(L"\\\\", 0) == 0 ? L"\\\\?\\UNC" + candidate.substr(1) : L"\\\\?\\" + candidate;
        UniqueFile other(::CreateFileW(spelled.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
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

DWORD DriveSerial(wchar_t drive, HANDLE onDrive, uint32_t& serial) {
    static std::optional<uint32_t> known[26];
    const int slot = (drive & ~0x20) - L'A';
    if (slot < 0 || slot >= 26) {
        if (QueryVolumeSerial(onDrive, serial) != ERROR_SUCCESS) serial = 0;
        return ERROR_SUCCESS;
    }
    if (!known[slot]) {
        // A file system that reports no serial (some do not, under Wine a tmpfs among
        // them) gives every file of the drive the serial 0: files of one drive are then
        // told apart by their numbers alone, which is what they are compared by anyway.
        uint32_t read = 0;
        if (QueryVolumeSerial(onDrive, read) != ERROR_SUCCESS) read = 0;
        known[slot] = read;
    }
    serial = *known[slot];
    return ERROR_SUCCESS;
}

DWORD IdentityOnDrive(HANDLE file, wchar_t drive, FileIdentity& identity) {
    if (const DWORD error = DriveSerial(drive, file, identity.volume)) return error;
    return QueryFileNumber(file, identity.number);
}

DWORD IdentityOf(HANDLE file, FileIdentity& identity) {
    if (const DWORD error = QueryVolumeSerial(file, identity.volume)) return error;
    return QueryFileNumber(file, identity.number);
}

DWORD FinalPathOf(HANDLE handle, std::wstring& path) {
    if (PlatformFinalPath(handle, path)) return ERROR_SUCCESS;
    return FinalPathThroughDrives(handle, path);
}

}  // namespace platform
