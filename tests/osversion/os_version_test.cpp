// cVersion with the real version query under Wine, with stand-ins for the query, and in
// processes to which Wine reports another Windows version.
#include "osversion/os_version.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/handles.h"
#include "support/wine_version.h"
#include "support/process.h"
#include "support/test_files.h"

namespace {

using namespace testing_support;

int queryCalls = 0;
DWORD sizeSeen = 0;

BOOL WINAPI FailingQuery(OSVERSIONINFOA* info) {
    ++queryCalls;
    sizeSeen = info->dwOSVersionInfoSize;
    return FALSE;
}

BOOL WINAPI Nt4Sp5Query(OSVERSIONINFOA* info) {
    ++queryCalls;
    sizeSeen = info->dwOSVersionInfoSize;
    info->dwMajorVersion = 4;
    info->dwMinorVersion = 0;
    info->dwBuildNumber = 1381;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    std::strcpy(info->szCSDVersion, " Service Pack 5 ");
    return TRUE;
}

// Windows 7 SP1 in Wine's default mode, Server 2003 SP2 under winxp64.
TEST(cVersion, ReadsTheVersionThePlatformReports) {
    const cVersion version;
    EXPECT_EQ(version.OS_VersionText(), ReportedVersionText());
    EXPECT_EQ(version.TypeValidOS(), 3);
    EXPECT_EQ(version.OS_TypeError(), L"");
}

TEST(cVersion, AFailedQueryReadsAsWin32s) {
    const cVersion version(&FailingQuery);
    EXPECT_EQ(version.OS_VersionText(), L"Win32s 0.0");
    EXPECT_EQ(version.TypeValidOS(), 0);
    EXPECT_EQ(version.OS_TypeError(), L"You are running Win32s. This is not supported!");
}

TEST(cVersion, QueriesOnceAtConstructionWithTheNarrowRecordSize) {
    queryCalls = 0;
    sizeSeen = 0;
    const cVersion version(&Nt4Sp5Query);
    EXPECT_EQ(queryCalls, 1);
    EXPECT_EQ(sizeSeen, 148u);
    EXPECT_EQ(version.OS_VersionText(), L"Windows NT 4.0 Build 1381 SP 5");
    EXPECT_EQ(version.TypeValidOS(), 2);
    EXPECT_EQ(version.OS_VersionText(), L"Windows NT 4.0 Build 1381 SP 5");
    EXPECT_EQ(queryCalls, 1);
}

// Wine's nt40 says "Service Pack 6a": a lettered release, read by its digit.
TEST(cVersion, UnderWineVersionOverrides) {
    struct Case {
        const wchar_t* wineVersion;
        const char* expected;  // verdict, version text, message: one a line
    } cases[] = {
        {L"nt40", "2\nWindows NT 4.0 Build 1381 SP 6\n\n"},
        {L"win2k", "3\nWindows NT 5.0 Build 2195 SP 4\n\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wineVersion);
        TempDir dir;
        const std::wstring name = std::wstring(L"QuorvaneVersion-") + c.wineVersion + L".exe";
        ASSERT_TRUE(::CopyFileW((BinDir() + L"osversion_probe.exe").c_str(), (dir / name).c_str(),
                                FALSE));
        WineVersionOverride versionOverride(name, c.wineVersion);
        const ProcessResult run = RunProcess(L"\"" + (dir / name) + L"\"");
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.output, c.expected);
    }
}

}  // namespace
