#include "support/pending_renames.h"

#include "platform/handles.h"
#include "platform/win32.h"

namespace testing_support {
namespace {

constexpr wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kValue[] = L"PendingFileRenameOperations";

}  // namespace

std::optional<std::wstring> ReadPendingRenamesRaw() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    platform::UniqueHKey owner(key);
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(key, kValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::wstring data(size / sizeof(wchar_t), L'\0');
    ::RegQueryValueExW(key, kValue, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    data.resize(size / sizeof(wchar_t));
    return data;
}

namespace {

void WriteRaw(const std::optional<std::wstring>& data) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_WRITE, &key) != ERROR_SUCCESS) {
        return;
    }
    platform::UniqueHKey owner(key);
    if (!data) {
        ::RegDeleteValueW(key, kValue);
        return;
    }
    ::RegSetValueExW(key, kValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data->data()),
                     static_cast<DWORD>(data->size() * sizeof(wchar_t)));
}

}  // namespace

std::vector<std::wstring> ReadPendingRenames() {
    std::vector<std::wstring> strings;
    const auto raw = ReadPendingRenamesRaw();
    if (!raw) return strings;
    // Pairs of strings, an empty destination included; the value ends in an extra NUL.
    size_t start = 0;
    while (start < raw->size()) {
        const size_t end = raw->find(L'\0', start);
        if (end == std::wstring::npos) {
            strings.push_back(raw->substr(start));
            break;
        }
        strings.push_back(raw->substr(start, end - start));
        start = end + 1;
    }
    if (strings.size() % 2 == 1 && strings.back().empty()) strings.pop_back();
    return strings;
}

bool HasPendingDelete(const std::wstring& path) {
    const auto strings = ReadPendingRenames();
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
        if (strings[i] == L"\\??\\" + path && strings[i + 1].empty()) return true;
    }
    return false;
}

PendingRenamesGuard::PendingRenamesGuard() : saved_(ReadPendingRenamesRaw()) {}

PendingRenamesGuard::~PendingRenamesGuard() { WriteRaw(saved_); }

}  // namespace testing_support
