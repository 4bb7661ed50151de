#include "fileops/pending_deletes.h"

#include "platform/handles.h"
#include "platform/win32.h"

namespace fileops {
namespace {

constexpr wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kValue[] = L"PendingFileRenameOperations";

// The value's strings: pairs of a file and its new name, empty for a delete.
LONG ReadStrings(HKEY key, std::vector<std::wstring>& strings) {
    std::vector<wchar_t> data;
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        const LONG status = ::RegQueryValueExW(key, kValue, nullptr, &type,
                                               reinterpret_cast<BYTE*>(data.data()), &size);
        if (status == ERROR_SUCCESS && !data.empty()) {
            if (type != REG_MULTI_SZ) return ERROR_INVALID_DATA;
            data.resize(size / sizeof(wchar_t));
            size_t start = 0;
            for (size_t i = 0; i < data.size(); ++i) {
                if (data[i] != L'\0') continue;
                strings.emplace_back(data.data() + start, i - start);
                start = i + 1;
            }
            return ERROR_SUCCESS;
        }
        if (status != ERROR_MORE_DATA && status != ERROR_SUCCESS) return status;
        data.resize(size / sizeof(wchar_t) + 2);  // grown meanwhile: ask again
    }
    return ERROR_MORE_DATA;
}

}  // namespace

PendingDeletes PendingDeletes::Read() {
    PendingDeletes pending;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return pending;
    }
    const platform::UniqueHKey owner(key);
    std::vector<std::wstring> strings;
    if (ReadStrings(key, strings) != ERROR_SUCCESS) return pending;
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
        if (!strings[i].empty() && strings[i + 1].empty()) pending.keys_.insert(KeyOf(strings[i]));
    }
    return pending;
}

long PendingDeletes::Withdraw(const std::wstring& full) {
    HKEY key = nullptr;
    LONG status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key);
    if (status != ERROR_SUCCESS) return status;
    const platform::UniqueHKey owner(key);
    std::vector<std::wstring> strings;
    status = ReadStrings(key, strings);
    if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    const std::wstring withdrawn = KeyOf(full);
    std::vector<wchar_t> kept;
    bool changed = false;
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
        if (strings[i + 1].empty() && KeyOf(strings[i]) == withdrawn) {
            changed = true;
            continue;
        }
        for (size_t k = i; k < i + 2; ++k) {
            kept.insert(kept.end(), strings[k].begin(), strings[k].end());
            kept.push_back(L'\0');
        }
    }
    if (!changed) return ERROR_SUCCESS;
    if (kept.empty()) return ::RegDeleteValueW(key, kValue);
    kept.push_back(L'\0');
    return ::RegSetValueExW(key, kValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                            static_cast<DWORD>(kept.size() * sizeof(wchar_t)));
}

std::wstring PendingDeletes::KeyOf(std::wstring path) {
    if (path.rfind(L"\\??\\", 0) == 0) path.erase(0, 4);
    if (path.rfind(L"\\\\?\\", 0) == 0) path.erase(0, 4);
    if (!path.empty()) ::CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
    return path;
}

bool PendingDeletes::Has(const std::wstring& full) const { return keys_.count(KeyOf(full)) != 0; }

void PendingDeletes::Add(const std::wstring& full) { keys_.insert(KeyOf(full)); }

}  // namespace fileops
