#include "support/wine_version.h"

#include "platform/handles.h"
#include "platform/win32.h"

namespace testing_support {

WineVersionOverride::WineVersionOverride(const std::wstring& exeName, const std::wstring& version)
    : key_(L"Software\\Wine\\AppDefaults\\" + exeName) {
    HKEY key = nullptr;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    platform::UniqueHKey owner(key);
    ::RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                     static_cast<DWORD>((version.size() + 1) * sizeof(wchar_t)));
}

WineVersionOverride::~WineVersionOverride() { ::RegDeleteKeyW(HKEY_CURRENT_USER, key_.c_str()); }

}  // namespace testing_support
