// Starts of QuorvaneService.exe that do not lead to a run: by hand instead of by the
// service control manager, on a platform outside the NT family, and a second instance.
#include <gtest/gtest.h>

#include "driver/instance_lock.h"
#include "platform/handles.h"
#include "support/wine_version.h"
#include "platform/win32.h"
#include "support/log_texts.h"
#include "support/message_box.h"
#include "support/process.h"
#include "support/test_files.h"

namespace {

using namespace testing_support;
using namespace testing_support::texts;
using basQuorvaneService::kInstanceLockName;

// A copy of the service in a folder of its own, so that a log written by mistake shows.
struct HandStart {
    TempDir dir;
    std::wstring exe;
    explicit HandStart(const std::wstring& name = L"QuorvaneService.exe") : exe(dir / name) {
        EXPECT_TRUE(::CopyFileW((BinDir() + L"QuorvaneService.exe").c_str(), exe.c_str(), FALSE));
    }
    bool LogExists() const {
        WIN32_FIND_DATAW data;
        platform::UniqueFind find(::FindFirstFileW((dir / L"*Log.txt").c_str(), &data));
        return static_cast<bool>(find);
    }
};

TEST(StartupRefusal, StartedByHandShowsBoxBAndLogsNothing) {
    HandStart start;
    platform::UniqueHandle process = LaunchProcess(L"\"" + start.exe + L"\" /debugmode");
    // Outside the service control manager the dispatcher fails; in a prefix whose
    // manager has not run a service yet, only after about ten seconds.
    const SeenMessageBox box = DismissMessageBox(kTitle, 60000);
    ASSERT_TRUE(box.found) << "no message box: is there an X display?";
    EXPECT_EQ(box.text, std::wstring(kTitle) + kNeedsServiceStart);
    DWORD exitCode = 99;
    ASSERT_TRUE(WaitForExit(process.get(), 10000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(start.LogExists());
}

TEST(StartupRefusal, OutsideTheNtFamilyShowsBoxA) {
    const std::wstring name = L"QuorvaneService98.exe";
    WineVersionOverride win98(name, L"win98");
    HandStart start(name);
    platform::UniqueHandle process = LaunchProcess(L"\"" + start.exe + L"\"");
    const SeenMessageBox box = DismissMessageBox(kTitle, 30000);
    ASSERT_TRUE(box.found) << "no message box: is there an X display?";
    EXPECT_EQ(box.text, std::wstring(kTitle) + kNeedsNtFamily);
    DWORD exitCode = 99;
    ASSERT_TRUE(WaitForExit(process.get(), 10000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(start.LogExists());
}

TEST(StartupRefusal, ASecondInstanceExitsAtOnceWithoutABox) {
    HandStart start;
    // The lock as a running instance holds it: shared with no one.
    platform::UniqueFile first(::CreateFileW((start.dir / kInstanceLockName).c_str(), GENERIC_READ | DELETE, 0,
                                             nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    ASSERT_TRUE(first);
    platform::UniqueHandle process = LaunchProcess(L"\"" + start.exe + L"\" /debugmode");
    DWORD exitCode = 99;
    ASSERT_TRUE(WaitForExit(process.get(), 5000, &exitCode)) << "the second instance kept running";
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(IsMessageBoxShown(kTitle));
    EXPECT_FALSE(start.LogExists());
}

}  // namespace
