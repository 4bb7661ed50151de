#include "support/wine_version.h"

#include <string>

#include "platform/handles.h"
#include "platform/win32.h"

namespace testing_support {

std::wstring ReportedVersionText() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
#ifdef _MSC_VER
#pragma warning(suppress : 4996)  // deprecated, but it is the call the product reads
#endif
    if (!::GetVersionExA(&info)) return L"(GetVersionExA failed)";
    std::wstring text = L"Windows NT " + std::to_wstring(info.dwMajorVersion) + L"." +
                        std::to_wstring(info.dwMinorVersion) + L" Build " +
                        std::to_wstring(info.dwBuildNumber & 0xFFFF);
    // Wine's texts are "Service Pack N" or empty.
    const std::string servicePack = info.szCSDVersion;
    const std::string prefix = "Service Pack ";
    if (servicePack.compare(0, prefix.size(), prefix) == 0 && servicePack.size() > prefix.size()) {
        text += L" SP " + std::wstring(servicePack.begin() + prefix.size(), servicePack.end());
    }
    return text;
}

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
