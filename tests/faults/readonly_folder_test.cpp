// The service's own folder made unwritable, as an administrator's lock-down would: no
// log can be created there, and the list can be neither created, moved aside nor
// replaced. Wine runs as root and ignores mode bits, so the folder is made immutable with
// chattr; readonly_folder_test.sh runs these tests in a folder of their own and makes it
// writable again however they end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>

#include "fault_support.h"
#include "platform/handles.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "support/list_writer.h"
#include "support/log_reader.h"
#include "support/service_sandbox.h"

namespace {

using namespace testing_support;
using namespace fault_support;

// The folder set aside by readonly_folder_test.sh, as Windows and as Unix see it.
struct FaultRoot {
    std::wstring windows;
    std::string unix;
};

FaultRoot Root() {
    const char* windows = std::getenv("QUORVANE_FAULT_ROOT");
    const char* unix = std::getenv("QUORVANE_FAULT_ROOT_UNIX");
    if (!windows || !unix) return {};
    return {platform::FromUtf8(windows), unix};
}

bool CanCreateIn(const std::wstring& dir) {
    // A fresh name each time: a probe created just before the folder turned immutable
    // cannot be deleted again, and must not make every later probe fail.
    static unsigned serial = 0;
    const std::wstring probe = dir + L"immutable-probe-" + std::to_wstring(serial++);
    platform::UniqueFile file(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    file.reset();
    ::DeleteFileW(probe.c_str());
    return true;
}

// Wine starts a Unix program from CreateProcess but reports no exit code for it, so the
// effect is what is waited for: a file can (or can no longer) be created in the folder.
void SetImmutable(const std::wstring& dir, bool on) {
    const FaultRoot root = Root();
    std::string unixPath = root.unix + platform::ToUtf8(dir.substr(root.windows.size()));
    for (char& c : unixPath) {
        if (c == '\\') c = '/';
    }
    std::wstring command = L"/usr/bin/chattr " + std::wstring(on ? L"+i" : L"-i") + L" \"" +
                           platform::FromUtf8(unixPath) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info)) {
        throw std::runtime_error("cannot start chattr");
    }
    platform::UniqueHandle process(info.hProcess), thread(info.hThread);
    for (int i = 0; i < 400; ++i) {
        if (CanCreateIn(dir) != on) return;
        ::Sleep(50);
    }
    throw std::runtime_error(on ? "chattr +i did not make the folder unwritable"
                                : "chattr -i did not make the folder writable again");
}

class ImmutableFolder {
public:
    explicit ImmutableFolder(const std::wstring& dir) : dir_(dir) { SetImmutable(dir_, true); }
    ~ImmutableFolder() { SetImmutable(dir_, false); }
    ImmutableFolder(const ImmutableFolder&) = delete;
    ImmutableFolder& operator=(const ImmutableFolder&) = delete;

private:
    std::wstring dir_;
};

class ReadOnlyFolder : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The sandboxes are temp folders: put them where the script can unlock them.
        const FaultRoot root = Root();
        if (!root.windows.empty()) {
            ::SetEnvironmentVariableW(L"TMP", root.windows.c_str());
            ::SetEnvironmentVariableW(L"TEMP", root.windows.c_str());
        }
    }
    void SetUp() override {
        ASSERT_FALSE(Root().windows.empty()) << "run through readonly_folder_test.sh";
        sandbox = std::make_unique<ServiceSandbox>();
        ASSERT_EQ(sandbox->Dir().rfind(Root().windows, 0), 0u);
        sandbox->Register(L"/debugmode");
    }
    void TearDown() override { sandbox.reset(); }

    // One run with the service's folder locked; the folder is checked before it opens.
    void RunLocked(const std::function<void()>& checkWhileLocked) {
        ImmutableFolder locked(sandbox->Dir());
        sandbox->Start();
        ASSERT_TRUE(sandbox->WaitUntilFinished(120000));
        ExpectEndedStopped(*sandbox);
        EXPECT_FALSE(FileExists(sandbox->LogPath())) << "a log in a folder that cannot be written";
        checkWhileLocked();
    }

    std::unique_ptr<ServiceSandbox> sandbox;
    TempDir files;
};

TEST_F(ReadOnlyFolder, TheLogIsLostButEveryListedFileIsStillDeleted) {
    std::vector<std::wstring> paths;
    std::vector<ListedFile> entries;
    for (int i = 0; i < 3; ++i) {
        paths.push_back(files / (L"listed-" + std::to_wstring(i) + L".tmp"));
        WriteBytes(paths.back(), "x");
        entries.push_back({paths.back()});
    }
    entries.push_back({files / L"missing.tmp"});
    const std::string list = ListFileBytes(entries);
    WriteBytes(sandbox->ListPath(), list);
    RunLocked([&] { EXPECT_EQ(ReadBytes(sandbox->ListPath()), list); });
    for (const auto& p : paths) EXPECT_FALSE(FileExists(p));
}

TEST_F(ReadOnlyFolder, AMissingListCannotBeCreatedAndTheRunStillStops) {
    RunLocked([&] { EXPECT_FALSE(FileExists(sandbox->ListPath())); });
}

TEST_F(ReadOnlyFolder, ADamagedListStaysAsItIsUntilItCanBeMovedAside) {
    const std::wstring listed = files / L"listed.tmp";
    WriteBytes(listed, "x");
    const std::string damaged = ListFileBytes({{listed}, {listed}}).substr(0, 60);
    WriteBytes(sandbox->ListPath(), damaged);
    RunLocked([&] {
        EXPECT_EQ(ReadBytes(sandbox->ListPath()), damaged) << "the damaged list was lost";
        EXPECT_FALSE(FileExists(sandbox->ListPath() + L".bad"));
    });
    EXPECT_TRUE(FileExists(listed));

    // Unlocked, the next run keeps it aside and starts a fresh list.
    sandbox->Start();
    ASSERT_TRUE(sandbox->WaitUntilFinished(120000));
    ExpectEndedStopped(*sandbox);
    EXPECT_EQ(ReadBytes(sandbox->ListPath() + L".bad"), damaged);
    EXPECT_EQ(ReadBytes(sandbox->ListPath()), ListFileBytes({}));
    EXPECT_EQ(Messages(ParseLog(sandbox->ReadLog())), DebugRun({}, {"(PendingRebootFiles.Load)"}));
}

}  // namespace
