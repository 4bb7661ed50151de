#include "fileops/pending_deletes.h"

#include <vector>

#include "platform/handles.h"
#include "platform/win32.h"

namespace fileops {
namespace {

constexpr wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kValue[] = L"PendingFileRenameOperations";

std::vector<wchar_t> ReadValue() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return {};
    }
    platform::UniqueHKey owner(key);
    std::vector<wchar_t> data;
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        const LONG status = ::RegQueryValueExW(key, kValue, nullptr, &type,
                                               reinterpret_cast<BYTE*>(data.data()), &size);
        if (status == ERROR_SUCCESS && !data.empty()) {
            if (type != REG_MULTI_SZ) return {};
            data.resize(size / sizeof(wchar_t));
            return data;
        }
        if (status != ERROR_MORE_DATA && status != ERROR_SUCCESS) return {};
        data.resize(size / sizeof(wchar_t) + 2);  // grown meanwhile: ask again
    }
    return {};
}

}  // namespace

PendingDeletes PendingDeletes::Read() {
    PendingDeletes pending;
    const std::vector<wchar_t> data = ReadValue();
    // Pairs of strings: the file, then its new name, empty for a delete.
    std::vector<std::wstring> strings;
    size_t start = 0;
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] != L'\0') continue;
        strings.emplace_back(data.data() + start, i - start);
        start = i + 1;
    }
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
        if (!strings[i].empty() && strings[i + 1].empty()) pending.keys_.insert(KeyOf(strings[i]));
    }
    return pending;
}

std::wstring PendingDeletes::KeyOf(std::wstring path) {
    if (path.rfind(L"\\??\\", 0) == 0) path.erase(0, 4);
    if (!path.empty()) ::CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
    return path;
}

bool PendingDeletes::Has(const std::wstring& judged) const { return keys_.count(KeyOf(judged)) != 0; }

void PendingDeletes::Add(const std::wstring& judged) { keys_.insert(KeyOf(judged)); }

}  // namespace fileops
