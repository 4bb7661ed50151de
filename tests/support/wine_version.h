#pragma once
// The Windows version Wine reports to one executable, chosen by its file name
// (HKCU\Software\Wine\AppDefaults\<name>\Version: nt40, win2k, winxp, win98, ...).
// Removed again at the end. Tests that use it share the CTest lock "wine_version".
#include <string>

namespace testing_support {

class WineVersionOverride {
public:
    WineVersionOverride(const std::wstring& exeName, const std::wstring& version);
    ~WineVersionOverride();
    WineVersionOverride(const WineVersionOverride&) = delete;
    WineVersionOverride& operator=(const WineVersionOverride&) = delete;

private:
    std::wstring key_;
};

}  // namespace testing_support
