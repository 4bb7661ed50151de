#pragma once
// The file system's own calls, which every NT since 4.0 exports from ntdll: what an open
// file is (attributes, links, number, name) and the changes made through its handle
// (delete mark, rename, attributes, a file created inside a folder held open). Each
// returns 0 or the Win32 error of the call's status. A handle is all they look at, so a
// caller that checked what a handle reaches acts on exactly that.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/win32.h"

namespace platform {

// The calls, looked up once. A test replaces single entries to produce what a file system
// does not do on demand, or withholds the final path call (absent before Vista). Every
// call with which the service changes a file, a restart request or its own registration
// goes through the table, so that a test build can stop the service after any one of them.
struct NativeFileCalls {
    LONG(NTAPI* NtQueryInformationFile)(HANDLE file, void* status, void* info, ULONG size, int kind);
    LONG(NTAPI* NtSetInformationFile)(HANDLE file, void* status, void* info, ULONG size, int kind);
    LONG(NTAPI* NtQueryVolumeInformationFile)(HANDLE file, void* status, void* info, ULONG size, int kind);
    LONG(NTAPI* NtCreateFile)(HANDLE* file, ACCESS_MASK access, void* attributes, void* status,
                              LARGE_INTEGER* allocation, ULONG fileAttributes, ULONG share,
                              ULONG disposition, ULONG options, void* ea, ULONG eaSize);
    ULONG(NTAPI* RtlNtStatusToDosError)(LONG status);
    BOOLEAN(NTAPI* RtlEqualUnicodeString)(const void* a, const void* b, BOOLEAN ignoreCase);
    // Null where the platform has none (before Vista).
    DWORD(WINAPI* GetFinalPathNameByHandleW)(HANDLE file, LPWSTR path, DWORD size, DWORD flags);
    BOOL(WINAPI* MoveFileExW)(LPCWSTR source, LPCWSTR destination, DWORD flags);
    LONG(NTAPI* NtQueryDirectoryFile)(HANDLE folder, HANDLE event, void* routine, void* context, void* status,
                                      void* info, ULONG size, int kind, BOOLEAN single, const void* name,
                                      BOOLEAN restart);
    HANDLE(WINAPI* CreateFileW)(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE model);
    BOOL(WINAPI* WriteFile)(HANDLE file, LPCVOID bytes, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);
    BOOL(WINAPI* FlushFileBuffers)(HANDLE file);
    BOOL(WINAPI* SetEndOfFile)(HANDLE file);
    BOOL(WINAPI* CreateDirectoryW)(LPCWSTR path, LPSECURITY_ATTRIBUTES security);
    LONG(WINAPI* RegSetValueExW)(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
    LONG(WINAPI* RegDeleteValueW)(HKEY key, LPCWSTR name);
    BOOL(WINAPI* ChangeServiceConfigW)(SC_HANDLE service, DWORD type, DWORD start, DWORD errorControl,
                                       LPCWSTR binary, LPCWSTR group, LPDWORD tag, LPCWSTR dependencies,
                                       LPCWSTR account, LPCWSTR password, LPCWSTR displayName);
    BOOL(WINAPI* ChangeServiceConfig2W)(SC_HANDLE service, DWORD level, LPVOID info);
};

const NativeFileCalls& NativeCalls();

// Replaces the table until the guard goes; tests only.
class NativeCallsOverride {
public:
    explicit NativeCallsOverride(const NativeFileCalls& calls);
    ~NativeCallsOverride();
    NativeCallsOverride(const NativeCallsOverride&) = delete;
    NativeCallsOverride& operator=(const NativeCallsOverride&) = delete;

private:
    const NativeFileCalls* previous_;
};

struct StandardFacts {
    uint64_t size = 0;
    uint32_t links = 0;
};

[[nodiscard]] DWORD QueryAttributes(HANDLE file, DWORD& attributes);  // with the reparse point bit
[[nodiscard]] DWORD QueryStandard(HANDLE file, StandardFacts& facts);
[[nodiscard]] DWORD QueryFileNumber(HANDLE file, uint64_t& number);
// Attributes (with the reparse point bit), link count and number at once: one query where
// the platform has the stat record, the three above where it has not.
[[nodiscard]] DWORD QueryObjectFacts(HANDLE file, DWORD& attributes, uint32_t& links, uint64_t& number);
// The attributes and the four times, as a copy carries them over.
struct FileBasics {
    int64_t creation = 0, lastAccess = 0, lastWrite = 0, change = 0;
    uint32_t attributes = 0;
};
[[nodiscard]] DWORD QueryBasics(HANDLE file, FileBasics& basics);
[[nodiscard]] DWORD SetBasics(HANDLE file, const FileBasics& basics);
// The volume's serial number: costly on some platforms (about half a millisecond under
// Wine), so callers read it once per drive.
[[nodiscard]] DWORD QueryVolumeSerial(HANDLE file, uint32_t& serial);
// "\dir\name" within the file's volume.
[[nodiscard]] DWORD QueryPathWithinVolume(HANDLE file, std::wstring& path);

[[nodiscard]] DWORD SetDeleteMark(HANDLE file, bool remove);
// Attributes and nothing else: zero times mean "unchanged".
[[nodiscard]] DWORD SetAttributes(HANDLE file, DWORD attributes);
// Renames the open file to `name` inside `folder` (a folder handle), or to `name` as a
// full path in the platform's "\??\" form when `folder` is null. Never over an existing
// name unless `replace`; a link standing at the new name is replaced, never followed.
[[nodiscard]] DWORD RenameOpenFile(HANDLE file, HANDLE folder, const std::wstring& name, bool replace);
// Creates `name` as a new file inside `folder`, never over anything that stands there
// (a link included). `deleteOnClose`: the file goes with its last handle; `descriptor`:
// its security descriptor, null for the one the folder hands down.
[[nodiscard]] DWORD CreateNewFileIn(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
                      UniqueFile& file, bool deleteOnClose = false, void* descriptor = nullptr);

// Opens `name` inside `folder` (a folder handle) as it stands there now, whatever the
// folder's path names meanwhile. 0, or the error (ERROR_FILE_NOT_FOUND when nothing is there).
[[nodiscard]] DWORD OpenInFolder(HANDLE folder, const std::wstring& name, ACCESS_MASK access, UniqueFile& file);

// The entry `name` of the folder behind `folder`, a handle opened for listing and not yet
// listed: its file number and attributes as the folder's own listing gives them (a link
// shows FILE_ATTRIBUTE_REPARSE_POINT). 0, or the error (ERROR_FILE_NOT_FOUND).
[[nodiscard]] DWORD FindFolderEntry(HANDLE folder, const std::wstring& name, uint64_t& number, DWORD& attributes);

// Copies what is left to read of `source` to `target` from where each stands, then flushes
// `target`: 0, or the error of the call that failed.
[[nodiscard]] DWORD CopyContents(HANDLE source, HANDLE target);

// The names of the files (not folders) in the folder behind `folder`, a handle opened for
// listing and listed through no mask: read through the handle, so that they are the held
// folder's names whatever its path reaches now. 0, or the error.
[[nodiscard]] DWORD ListFileNames(HANDLE folder, std::vector<std::wstring>& names);

// Equal in the file system's own letter case rules.
bool SamePathText(const std::wstring& a, const std::wstring& b);

}  // namespace platform
