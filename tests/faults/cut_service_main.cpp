// The service with a stop after its Nth change: a test build of QuorvaneService.exe, never
// shipped. Every call with which the service changes a file, a restart request or its
// registration goes through the platform call table; this build wraps that table and,
// after the call numbered by "/cutafter:N", ends its own process as a shutdown, a kill or a
// power cut would, having written what it had just done to the file "/cutrecord:PATH".
// "/cuttrace:PATH" instead appends every change to PATH and cuts nowhere.
#include <cstring>
#include <cwchar>
#include <string>

#include "driver/run_sequence.h"
#include "platform/nt_file.h"
#include "platform/win32.h"
#include "service/nt_service.h"

namespace {

platform::NativeFileCalls real;
unsigned long cutAfter = 0;
unsigned long counted = 0;
std::wstring recordPath;
bool tracing = false;

std::wstring Argument(const wchar_t* commandLine, const wchar_t* name) {
    const wchar_t* at = std::wcsstr(commandLine, name);
    if (!at) return {};
    at += std::wcslen(name);
    const wchar_t* end = at;
    while (*end && *end != L' ') ++end;
    return std::wstring(at, end);
}

std::wstring PathOf(HANDLE handle) {
    wchar_t buffer[1024];
    const DWORD length = real.GetFinalPathNameByHandleW ? real.GetFinalPathNameByHandleW(handle, buffer, 1024, 0) : 0;
    std::wstring path(buffer, length < 1024 ? length : 0);
    if (path.rfind(L"\\\\?\\", 0) == 0) path.erase(0, 4);
    return path;
}

bool EndsWith(const std::wstring& text, const wchar_t* end) {
    const size_t length = std::wcslen(end);
    return text.size() >= length && text.compare(text.size() - length, length, end) == 0;
}

// What a path is to the service, the way the campaign counts its boundaries.
std::wstring Role(const std::wstring& path) {
    const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
    if (path.find(L"\\QuorvaneStaging\\") != std::wstring::npos) {
        if (EndsWith(name, L".path")) return L"staging record";
        if (EndsWith(name, L".staged")) return L"staged file";
        if (EndsWith(name, L".carried")) return L"carried record";
        if (EndsWith(name, L".request")) return L"path request record";
        if (EndsWith(name, L".new") || name == L"start-type.record") return L"start type record";
        return L"staging " + name;
    }
    if (EndsWith(path, L"\\QuorvaneStaging")) return L"staging folder";
    if (EndsWith(name, L"Log.txt")) return L"log";
    if (name == L"QuorvanePendingRebootList.dat") return L"list";
    if (EndsWith(name, L".svc.new")) return L"new list";
    if (name.find(L".dat.bad") != std::wstring::npos) return L"list copy";
    if (name == L"QuorvaneService.lock") return L"instance lock";
    return L"listed " + name;
}

void WriteRecord(const std::wstring& text, DWORD disposition) {
    if (recordPath.empty()) return;
    const HANDLE file = real.CreateFileW(recordPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, disposition,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string bytes(text.begin(), text.end());  // the roles are ASCII
    DWORD written = 0;
    real.WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    real.FlushFileBuffers(file);
    ::CloseHandle(file);
}

void Changed(const std::wstring& what) {
    ++counted;
    if (tracing) WriteRecord(what + L"\r\n", OPEN_ALWAYS);
    if (counted != cutAfter) return;
    WriteRecord(std::to_wstring(counted) + L"\t" + what + L"\r\n", CREATE_ALWAYS);
    // Windows' service manager records a service whose process ended as stopped; Wine's
    // does not notice the end and would show it running for good.
    NTService::SetServiceState(SERVICE_STOPPED);
    ::TerminateProcess(::GetCurrentProcess(), 0xC07);
}

struct RenameInformation {
    BOOLEAN replace;
    HANDLE root;
    ULONG nameLength;
    wchar_t name[1];
};

LONG NTAPI SetInformation(HANDLE file, void* status, void* info, ULONG size, int kind) {
    std::wstring what;
    const std::wstring role = Role(PathOf(file));
    if (kind == 10) {
        const auto* rename = static_cast<const RenameInformation*>(info);
        std::wstring target(rename->name, rename->nameLength / sizeof(wchar_t));
        if (rename->root) target = PathOf(rename->root) + L"\\" + target;
        what = L"rename " + role + L" to " + Role(target);
    } else if (kind == 13) {
        what = (*static_cast<const BOOLEAN*>(info) ? L"delete mark " : L"delete mark taken off ") + role;
    } else if (kind == 4) {
        what = L"attributes of " + role;
    } else {
        what = L"information " + std::to_wstring(kind) + L" of " + role;
    }
    const LONG result = real.NtSetInformationFile(file, status, info, size, kind);
    Changed(what);
    return result;
}

struct UnicodeText {
    USHORT length, capacity;
    const wchar_t* buffer;
};
struct ObjectAttributes {
    ULONG length;
    HANDLE root;
    const UnicodeText* name;
};

LONG NTAPI CreateFile(HANDLE* file, ACCESS_MASK access, void* attributes, void* status, LARGE_INTEGER* allocation,
                      ULONG fileAttributes, ULONG share, ULONG disposition, ULONG options, void* ea, ULONG eaSize) {
    const LONG result = real.NtCreateFile(file, access, attributes, status, allocation, fileAttributes, share,
                                          disposition, options, ea, eaSize);
    if (disposition != 1 /* open */) {
        const auto* object = static_cast<const ObjectAttributes*>(attributes);
        std::wstring path(object->name->buffer, object->name->length / sizeof(wchar_t));
        if (object->root) path = PathOf(object->root) + L"\\" + path;
        Changed(L"create " + Role(path));
    }
    return result;
}

HANDLE WINAPI CreateFileWide(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                             DWORD disposition, DWORD flags, HANDLE model) {
    const HANDLE result = real.CreateFileW(path, access, share, security, disposition, flags, model);
    if (disposition != OPEN_EXISTING) Changed(L"create " + Role(path));
    return result;
}

BOOL WINAPI Write(HANDLE file, LPCVOID bytes, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
    const BOOL result = real.WriteFile(file, bytes, size, written, overlapped);
    Changed(L"write " + Role(PathOf(file)));
    return result;
}

BOOL WINAPI Flush(HANDLE file) {
    const BOOL result = real.FlushFileBuffers(file);
    Changed(L"flush " + Role(PathOf(file)));
    return result;
}

BOOL WINAPI Truncate(HANDLE file) {
    const BOOL result = real.SetEndOfFile(file);
    Changed(L"truncate " + Role(PathOf(file)));
    return result;
}

BOOL WINAPI MakeFolder(LPCWSTR path, LPSECURITY_ATTRIBUTES security) {
    const BOOL result = real.CreateDirectoryW(path, security);
    Changed(L"create " + Role(path));
    return result;
}

BOOL WINAPI Request(LPCWSTR source, LPCWSTR destination, DWORD flags) {
    const BOOL result = real.MoveFileExW(source, destination, flags);
    Changed(L"request " + Role(source));
    return result;
}

LONG WINAPI SetValue(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
    const LONG result = real.RegSetValueExW(key, name, reserved, type, data, size);
    Changed(L"write restart queue");
    return result;
}

LONG WINAPI DeleteValue(HKEY key, LPCWSTR name) {
    const LONG result = real.RegDeleteValueW(key, name);
    Changed(L"delete restart queue");
    return result;
}

BOOL WINAPI ChangeConfig(SC_HANDLE service, DWORD type, DWORD start, DWORD errorControl, LPCWSTR binary,
                         LPCWSTR group, LPDWORD tag, LPCWSTR dependencies, LPCWSTR account, LPCWSTR password,
                         LPCWSTR displayName) {
    const BOOL result = real.ChangeServiceConfigW(service, type, start, errorControl, binary, group, tag, dependencies,
                                                  account, password, displayName);
    Changed(L"set start type");
    return result;
}

BOOL WINAPI ChangeConfig2(SC_HANDLE service, DWORD level, LPVOID info) {
    const BOOL result = real.ChangeServiceConfig2W(service, level, info);
    Changed(L"set delayed start");
    return result;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const wchar_t* commandLine = ::GetCommandLineW();
    real = platform::NativeCalls();
    const std::wstring cut = Argument(commandLine, L"/cutafter:");
    cutAfter = cut.empty() ? 0 : std::wcstoul(cut.c_str(), nullptr, 10);
    recordPath = Argument(commandLine, L"/cutrecord:");
    const std::wstring trace = Argument(commandLine, L"/cuttrace:");
    if (!trace.empty()) {
        tracing = true;
        recordPath = trace;
    }
    platform::NativeFileCalls wrapped = real;
    wrapped.NtSetInformationFile = SetInformation;
    wrapped.NtCreateFile = CreateFile;
    wrapped.CreateFileW = CreateFileWide;
    wrapped.WriteFile = Write;
    wrapped.FlushFileBuffers = Flush;
    wrapped.SetEndOfFile = Truncate;
    wrapped.CreateDirectoryW = MakeFolder;
    wrapped.MoveFileExW = Request;
    wrapped.RegSetValueExW = SetValue;
    wrapped.RegDeleteValueW = DeleteValue;
    wrapped.ChangeServiceConfigW = ChangeConfig;
    wrapped.ChangeServiceConfig2W = ChangeConfig2;
    const platform::NativeCallsOverride cutting(wrapped);
    basQuorvaneService::Main();
    return 0;
}
