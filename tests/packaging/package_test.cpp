// The Windows Installer package under Wine's msiexec and service control manager: a silent
// install registers the service as the product's installer does, the installed programs
// run a pass, an earlier version is upgraded in place, and an uninstall removes the
// service and the programs but leaves the service's own files. package_test.sh builds the
// packages and hands them over in the environment.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "support/list_writer.h"
#include "support/message_box.h"
#include "support/process.h"
#include "support/service_sandbox.h"
#include "support/test_files.h"

#include <msi.h>

namespace {

using namespace testing_support;

std::wstring Env(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? value : L"";
}

std::wstring InstallDir() { return Env(L"ProgramW6432") + L"\\Quorvane\\"; }

struct ServiceRegistration {
    bool found = false;
    DWORD type = 0, startType = 0, errorControl = 0;
    std::wstring binaryPath, account;
};

ServiceRegistration QueryRegistration() {
    ServiceRegistration result;
    UniqueScHandle service = OpenShieldService(SERVICE_QUERY_CONFIG);
    if (!service) return result;
    DWORD needed = 0;
    ::QueryServiceConfigW(service.get(), nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (needed == 0 || !::QueryServiceConfigW(service.get(), config, needed, &needed)) return result;
    result.found = true;
    result.type = config->dwServiceType;
    result.startType = config->dwStartType;
    result.errorControl = config->dwErrorControl;
    result.binaryPath = config->lpBinaryPathName ? config->lpBinaryPathName : L"";
    result.account = config->lpServiceStartName ? config->lpServiceStartName : L"";
    // Windows Installer quotes a path with blanks; Wine's does not.
    if (result.binaryPath.size() >= 2 && result.binaryPath.front() == L'"' &&
        result.binaryPath.back() == L'"') {
        result.binaryPath = result.binaryPath.substr(1, result.binaryPath.size() - 2);
    }
    return result;
}

const wchar_t kEventSourceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\QuorvaneShield";

struct EventSource {
    LONG opened = ERROR_SUCCESS;
    DWORD messageFileType = 0, typesType = 0, types = 0;
    std::wstring messageFile;  // as stored, not expanded
};

EventSource QueryEventSource() {
    EventSource source;
    HKEY key = nullptr;
    source.opened = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, KEY_QUERY_VALUE, &key);
    if (source.opened != ERROR_SUCCESS) return source;
    const platform::UniqueHKey owner(key);
    wchar_t file[MAX_PATH] = {};
    DWORD size = sizeof(file) - sizeof(wchar_t);
    if (::RegQueryValueExW(key, L"EventMessageFile", nullptr, &source.messageFileType,
                           reinterpret_cast<BYTE*>(file), &size) == ERROR_SUCCESS) {
        source.messageFile = file;
    }
    size = sizeof(source.types);
    ::RegQueryValueExW(key, L"TypesSupported", nullptr, &source.typesType,
                       reinterpret_cast<BYTE*>(&source.types), &size);
    return source;
}

std::vector<std::wstring> InstalledProducts() {
    std::vector<std::wstring> products;
    const std::wstring upgradeCode = Env(L"QUORVANE_UPGRADE_CODE");
    wchar_t product[39] = {};
    for (DWORD i = 0; ::MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, i, product) == ERROR_SUCCESS; ++i) {
        products.emplace_back(product);
    }
    return products;
}

std::wstring InstalledVersion(const std::wstring& product) {
    wchar_t version[64] = {};
    DWORD length = 64;
    if (::MsiGetProductInfoW(product.c_str(), L"VersionString", version, &length) != ERROR_SUCCESS) return {};
    return version;
}

DWORD Msiexec(const std::wstring& action, const std::wstring& package) {
    const ProcessResult r = RunProcess(L"msiexec.exe " + action + L" \"" + package + L"\" /qn", 300000);
    return r.finished ? r.exitCode : 0xFFFFFFFFu;
}

bool WaitUntilStopped(unsigned timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        UniqueScHandle service = OpenShieldService(SERVICE_QUERY_STATUS);
        SERVICE_STATUS status = {};
        const bool stopped = service && ::QueryServiceStatus(service.get(), &status) &&
                             status.dwCurrentState == SERVICE_STOPPED;
        if (stopped && !IsInstanceRunning(InstallDir())) return true;
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(50);
    }
}

class PackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(Env(L"QUORVANE_MSI").empty()) << "run through package_test.sh";
        Clean();
    }
    // Leaves no product, service or folder behind for the other tests.
    void TearDown() override { Clean(); }

    static void Clean() {
        for (const std::wstring& product : InstalledProducts()) Msiexec(L"/x", product);
        UniqueScHandle service = OpenShieldService(DELETE);
        if (service) ::DeleteService(service.get());
        RemoveTree(InstallDir());
    }

    // Lists a file of its own with the installed tool, starts the installed service, waits
    // for the end of its run, and expects the file gone and named in the log.
    void RunPassOverOneFile(const wchar_t* name) {
        const std::wstring victim = files / name;
        WriteBytes(victim, "x");
        const ProcessResult added = RunProcess(L"\"" + InstallDir() + L"QuorvaneTool.exe\" list add \"" +
                                               listPath + L"\" \"" + victim + L"\"");
        ASSERT_EQ(added.exitCode, 0u) << added.output;
        const ProcessResult started = RunProcess(L"net.exe start QuorvaneShield", 120000);
        ASSERT_TRUE(started.finished) << started.output;
        ASSERT_TRUE(WaitUntilStopped(120000));
        EXPECT_FALSE(FileExists(victim));
        EXPECT_NE(ReadBytes(logPath).find(Ansi(victim)), std::string::npos) << ReadBytes(logPath);
    }

    TempDir files;
    const std::wstring listPath = InstallDir() + L"QuorvanePendingRebootList.dat";
    const std::wstring logPath = InstallDir() + L"QuorvaneServiceLog.txt";
};

TEST_F(PackageTest, InstallRegistersTheServiceWhichRunsAndUninstallLeavesItsFiles) {
    ASSERT_EQ(Msiexec(L"/i", Env(L"QUORVANE_MSI")), 0u);
    EXPECT_TRUE(FileExists(InstallDir() + L"QuorvaneService.exe"));
    EXPECT_TRUE(FileExists(InstallDir() + L"QuorvaneTool.exe"));
    const std::vector<std::wstring> products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(InstalledVersion(products[0]), L"" QUORVANE_VERSION);

    const ServiceRegistration registration = QueryRegistration();
    ASSERT_TRUE(registration.found);
    EXPECT_EQ(_wcsicmp(registration.binaryPath.c_str(), (InstallDir() + L"QuorvaneService.exe").c_str()), 0)
        << platform::ToUtf8(registration.binaryPath);
    EXPECT_EQ(registration.type, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(registration.startType, static_cast<DWORD>(SERVICE_DEMAND_START));
    EXPECT_EQ(registration.errorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_EQ(registration.account, L"LocalSystem");
    // The installation does not start it: the product's programs do, after writing the list.
    EXPECT_TRUE(WaitUntilStopped(0));
    EXPECT_FALSE(FileExists(logPath));
    const EventSource source = QueryEventSource();
    ASSERT_EQ(source.opened, ERROR_SUCCESS);
    EXPECT_EQ(source.messageFileType, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(source.messageFile, InstallDir() + L"QuorvaneService.exe");
    EXPECT_EQ(source.typesType, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(source.types, 7u);

    RunPassOverOneFile(L"installed-run.tmp");
    WriteBytes(listPath + L".bad", "damaged copy");
    const std::string list = ReadBytes(listPath);
    const std::string log = ReadBytes(logPath);

    ASSERT_EQ(Msiexec(L"/x", Env(L"QUORVANE_MSI")), 0u);
    {
        const UniqueScHandle gone = OpenShieldService(SERVICE_QUERY_STATUS);
        const DWORD error = ::GetLastError();
        EXPECT_FALSE(gone);
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    }
    EXPECT_FALSE(FileExists(InstallDir() + L"QuorvaneService.exe"));
    EXPECT_FALSE(FileExists(InstallDir() + L"QuorvaneTool.exe"));
    EXPECT_TRUE(InstalledProducts().empty());
    EXPECT_EQ(QueryEventSource().opened, ERROR_FILE_NOT_FOUND) << "the event source is removed";
    EXPECT_EQ(ReadBytes(listPath), list);
    EXPECT_EQ(ReadBytes(listPath + L".bad"), "damaged copy");
    EXPECT_EQ(ReadBytes(logPath), log);
}

TEST_F(PackageTest, AnEarlierVersionIsUpgradedInPlace) {
    ASSERT_EQ(Msiexec(L"/i", Env(L"QUORVANE_MSI_EARLIER")), 0u);
    ASSERT_EQ(InstalledProducts().size(), 1u);
    const std::wstring earlier = InstalledProducts()[0];
    EXPECT_NE(InstalledVersion(earlier), L"" QUORVANE_VERSION);
    RunPassOverOneFile(L"before-upgrade.tmp");
    const std::string list = ReadBytes(listPath);
    const std::string log = ReadBytes(logPath);

    ASSERT_EQ(Msiexec(L"/i", Env(L"QUORVANE_MSI")), 0u);
    const std::vector<std::wstring> products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_NE(products[0], earlier);
    EXPECT_EQ(InstalledVersion(products[0]), L"" QUORVANE_VERSION);
    EXPECT_EQ(ReadBytes(listPath), list);
    EXPECT_EQ(ReadBytes(logPath), log);
    const ServiceRegistration registration = QueryRegistration();
    ASSERT_TRUE(registration.found);
    EXPECT_EQ(_wcsicmp(registration.binaryPath.c_str(), (InstallDir() + L"QuorvaneService.exe").c_str()), 0);
    EXPECT_EQ(registration.type, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(registration.startType, static_cast<DWORD>(SERVICE_DEMAND_START));

    // The upgraded programs work on the list the earlier ones left.
    RunPassOverOneFile(L"after-upgrade.tmp");
    EXPECT_EQ(ReadBytes(logPath).rfind(log, 0), 0u);
}

// 64-bit Wine is 64-bit Windows to the installer (VersionNT64 is set).
TEST_F(PackageTest, TheX86PackageRefusesSixtyFourBitWindowsAndSaysWhy) {
    const std::wstring x86 = Env(L"QUORVANE_MSI_X86");
    ASSERT_FALSE(x86.empty());
    const std::wstring log = files / L"x86-install.log";
    const ProcessResult silent =
        RunProcess(L"msiexec.exe /i \"" + x86 + L"\" /qn /l*v \"" + log + L"\"", 300000);
    ASSERT_TRUE(silent.finished);
    EXPECT_EQ(silent.exitCode, static_cast<DWORD>(ERROR_INSTALL_FAILURE));
    // The launch conditions are the last action run: nothing installed or registered.
    const std::string logText = ReadBytes(log);
    EXPECT_NE(logText.find("LaunchConditions"), std::string::npos) << logText;
    EXPECT_EQ(logText.find("InstallFiles"), std::string::npos) << logText;
    EXPECT_TRUE(InstalledProducts().empty());
    EXPECT_FALSE(OpenShieldService(SERVICE_QUERY_STATUS));
    EXPECT_EQ(QueryEventSource().opened, ERROR_FILE_NOT_FOUND);

    // Wine's installer shows the condition's message only with a user interface (and then
    // under its own caption), never in its log.
    platform::UniqueHandle shown = LaunchProcess(L"msiexec.exe /i \"" + x86 + L"\" /qb");
    ASSERT_TRUE(shown);
    const SeenMessageBox box = DismissMessageBox(L"Install Failed", 60000);
    DWORD exitCode = 0;
    EXPECT_TRUE(WaitForExit(shown.get(), 120000, &exitCode));
    ASSERT_TRUE(box.found);
    EXPECT_NE(box.text.find(L"This package is for 32-bit Windows."), std::wstring::npos)
        << platform::ToUtf8(box.text);
    EXPECT_NE(box.text.find(L"the x64 package serves there"), std::wstring::npos)
        << platform::ToUtf8(box.text);
    EXPECT_EQ(exitCode, static_cast<DWORD>(ERROR_INSTALL_FAILURE));
    EXPECT_TRUE(InstalledProducts().empty());
}

}  // namespace
