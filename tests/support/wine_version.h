#pragma once
// The Windows version Wine reports to one executable, chosen by its file name
// (HKCU\Software\Wine\AppDefaults\<name>\Version: nt40, win2k, winxp, win98, ...).
// Removed again at the end. Tests that use it share the CTest lock "wine_version".
#include <string>

namespace testing_support {

// What the product's version text should read in this prefix, made from the test
// process's own GetVersionExA record ("Windows NT 6.1 Build 7601 SP 1" in Wine's default
// mode, "Windows NT 5.2 Build 3790 SP 2" under winxp64), so that a test holds in any mode.
std::wstring ReportedVersionText();

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
