#include "fileops/restart_requests.h"

#include "platform/handles.h"
#include "platform/long_path.h"
#include "platform/nt_file.h"
#include "platform/win32.h"

namespace fileops {
namespace {

constexpr wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kValue[] = L"PendingFileRenameOperations";

// The value's text as stored; ERROR_FILE_NOT_FOUND when absent.
LONG ReadValue(HKEY key, std::wstring& data) {
    std::vector<wchar_t> buffer;
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        const LONG status = ::RegQueryValueExW(key, kValue, nullptr, &type,
                                               reinterpret_cast<BYTE*>(buffer.data()), &size);
        if (status == ERROR_SUCCESS && (!buffer.empty() || size == 0)) {
            if (type != REG_MULTI_SZ) return ERROR_INVALID_DATA;
            data.assign(buffer.data(), size / sizeof(wchar_t));
            return ERROR_SUCCESS;
        }
        if (status != ERROR_MORE_DATA && status != ERROR_SUCCESS) return status;
        buffer.resize(size / sizeof(wchar_t) + 2);  // grown meanwhile: ask again
    }
    return ERROR_MORE_DATA;
}

}  // namespace

std::wstring RequestKey(const std::wstring& path) {
    std::wstring key = WithoutNtPrefix(path);
    if (!key.empty()) ::CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    return key;
}

DWORD ReadRestartQueue(std::wstring& data) {
    data.clear();
    HKEY key = nullptr;
    LONG status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key);
    if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
    const platform::UniqueHKey owner(key);
    status = ReadValue(key, data);
    return static_cast<DWORD>(status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status);
}

RequestedDeletes RequestedDeletes::Read() {
    RequestedDeletes requested;
    std::wstring data;
    if (ReadRestartQueue(data) != ERROR_SUCCESS) return requested;
    for (const QueuedOperation& operation : ParseRestartQueue(data)) {
        if (operation.IsDelete()) requested.keys_.insert(RequestKey(operation.source));
    }
    return requested;
}

bool RequestedDeletes::Has(const std::wstring& full) const { return keys_.count(RequestKey(full)) != 0; }

void RequestedDeletes::Add(const std::wstring& full) { keys_.insert(RequestKey(full)); }

DWORD RequestDeleteAtRestart(const std::wstring& full) {
    // A null destination together with the delay flag asks for a delete at restart.
    if (platform::NativeCalls().MoveFileExW(platform::LiteralForm(full).c_str(), nullptr,
                                            MOVEFILE_DELAY_UNTIL_REBOOT)) {
        return ERROR_SUCCESS;
    }
    return ::GetLastError();
}

DWORD WithdrawDeletes(const std::vector<std::wstring>& fulls) {
    if (fulls.empty()) return ERROR_SUCCESS;
    HKEY key = nullptr;
    LONG status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key);
    if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
    const platform::UniqueHKey owner(key);
    std::unordered_set<std::wstring> withdrawn;
    for (const std::wstring& full : fulls) withdrawn.insert(RequestKey(full));

    std::wstring data;
    status = ReadValue(key, data);
    if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
    const std::vector<QueuedOperation> operations = ParseRestartQueue(data);
    std::vector<QueuedOperation> removed;
    for (const QueuedOperation& operation : operations) {
        if (operation.IsDelete() && withdrawn.count(RequestKey(operation.source))) removed.push_back(operation);
    }
    if (removed.empty()) return ERROR_SUCCESS;
    if (removed.size() == operations.size()) return static_cast<DWORD>(platform::NativeCalls().RegDeleteValueW(key, kValue));
    const std::wstring kept = WithoutOperations(data, removed);
    return static_cast<DWORD>(platform::NativeCalls().RegSetValueExW(key, kValue, 0, REG_MULTI_SZ,
                                                       reinterpret_cast<const BYTE*>(kept.data()),
                                                       static_cast<DWORD>(kept.size() * sizeof(wchar_t))));
}

}  // namespace fileops
