// Load and Save on the real list file beside the test executable.
#include <gtest/gtest.h>

#include "activitylog/activity_log.h"
#include "list_bytes.h"
#include "pendinglist/pending_reboot_files.h"
#include "platform/handles.h"
#include "platform/win32.h"
#include "support/log_reader.h"
#include "support/process.h"
#include "support/test_files.h"

namespace basPendingRebootFiles {
namespace {

using list_bytes::Record;
using namespace testing_support;

class ListFile : public ::testing::Test {
protected:
    std::wstring path = ListFilePath();
    std::wstring damaged = ListFilePath() + L".bad";

    void SetUp() override { Reset(); }
    void TearDown() override {
        Reset();
        basQuorvaneService::DebugMode = false;
    }
    void Reset() {
        std::vector<std::wstring> files = {path, path + L".svc.new", path + L".new",
                                          basQuorvaneService::LogFilePath()};
        for (int copy = 0; copy < kDamagedCopies; ++copy) files.push_back(path + DamagedCopySuffix(copy));
        for (const std::wstring& p : files) {
            ::SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(p.c_str());
        }
        ::RemoveDirectoryW(path.c_str());
        List().Clear();
        basQuorvaneService::DebugMode = true;
    }
    std::vector<LogEntryBytes> Log() const {
        return ParseLog(ReadBytes(basQuorvaneService::LogFilePath()));
    }
};

TEST_F(ListFile, PathIsTheListNameBesideTheExecutable) {
    EXPECT_EQ(path, BinDir() + L"QuorvanePendingRebootList.dat");
}

TEST_F(ListFile, AMissingFileIsCreatedAsTheEmptyListWithoutALogLine) {
    Load();
    EXPECT_EQ(ReadBytes(path), Record({}));
    EXPECT_EQ(ReadBytes(path).size(), 46u);
    EXPECT_EQ(List().Count(), 0);
    EXPECT_FALSE(FileExists(basQuorvaneService::LogFilePath()));
}

TEST_F(ListFile, LoadReplacesTheListWithTheFileAsItStands) {
    List().Append(L"C:\\stale", L"", 0);
    WriteBytes(path, Record({{"C:\\a.tmp", "ex", 3}, {"C:\\b.tmp", "", 0}}, "Other", "7.1", "top"));
    Load();
    const PendingRebootList& list = List();
    EXPECT_EQ(list.Header, L"Other");
    EXPECT_EQ(list.Version, L"7.1");
    EXPECT_EQ(list.Extra, L"top");
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Entry(0).Path, L"C:\\a.tmp");
    EXPECT_EQ(list.Entry(0).Extra, L"ex");
    EXPECT_EQ(list.Entry(0).Flag, 3);
    EXPECT_EQ(list.Entry(1).Path, L"C:\\b.tmp");
    EXPECT_FALSE(FileExists(basQuorvaneService::LogFilePath()));
    EXPECT_EQ(ReadBytes(path), Record({{"C:\\a.tmp", "ex", 3}, {"C:\\b.tmp", "", 0}}, "Other", "7.1", "top"))
        << "a good file is only read";
}

TEST_F(ListFile, DoubleByteTextsStoreTheirByteLength) {
    ASSERT_EQ(::GetACP(), 936u);
    const std::wstring chinese = L"C:\\临时\\文件.tmp";  // 8 ASCII characters and 4 Chinese ones
    List().Append(chinese, L"附加", 0);
    Save();
    const std::string bytes = ReadBytes(path);
    ASSERT_GT(bytes.size(), 52u);
    EXPECT_EQ(static_cast<uint8_t>(bytes[50]), 8 + 4 * 2);
    EXPECT_EQ(bytes.substr(52, 16), Ansi(chinese));
    List().Clear();
    Load();
    ASSERT_EQ(List().Count(), 1);
    EXPECT_EQ(List().Entry(0).Path, chinese);
    EXPECT_EQ(List().Entry(0).Extra, L"附加");
}

TEST_F(ListFile, EveryTruncationIsKeptAsideAndReplacedByAFreshList) {
    const std::string whole =
        Record({{"C:\\a.tmp", "x", 0}, {"C:\\bb.tmp", "", 1}, {"C:\\ccc.tmp", "yz", 0}});
    for (size_t length = 0; length < whole.size(); ++length) {
        Reset();
        const std::string cut = whole.substr(0, length);
        WriteBytes(path, cut);
        Load();
        ASSERT_EQ(List().Count(), 0) << length;
        EXPECT_EQ(ReadBytes(damaged), cut) << length;
        EXPECT_EQ(ReadBytes(path), Record({})) << length;
        const auto log = Log();
        ASSERT_EQ(log.size(), 1u) << length;
        EXPECT_EQ(log[0].message, "(PendingRebootFiles.Load)");
        EXPECT_EQ(log[0].errorPart, "0:62:Input past end of file");
    }
}

TEST_F(ListFile, AMalformedEntryBlockIsUnreadableToo) {
    std::string bytes = Record({{"C:\\a.tmp", "", 0}});
    bytes[40] = 2;
    WriteBytes(path, bytes);
    WriteBytes(damaged, "an older damaged copy");
    Load();
    EXPECT_EQ(ReadBytes(damaged), "an older damaged copy") << "a copy is never replaced";
    EXPECT_EQ(ReadBytes(path + L".bad.1"), bytes);
    EXPECT_EQ(ReadBytes(path), Record({}));
    const auto log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].errorPart, "0:321:Invalid file format");
}

TEST_F(ListFile, FailureLinesAreWrittenOnlyInDebugMode) {
    basQuorvaneService::DebugMode = false;
    WriteBytes(path, "short");
    Load();
    EXPECT_EQ(ReadBytes(path), Record({}));
    EXPECT_EQ(ReadBytes(damaged), "short");
    EXPECT_FALSE(FileExists(basQuorvaneService::LogFilePath()));
}

TEST_F(ListFile, AFileHeldExclusivelyByAnotherProgramIsLeftUntouched) {
    const std::string bytes = Record({{"C:\\a.tmp", "", 0}});
    WriteBytes(path, bytes);
    {
        platform::UniqueFile held(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        Load();
    }
    EXPECT_EQ(List().Count(), 0);
    EXPECT_EQ(ReadBytes(path), bytes);
    EXPECT_FALSE(FileExists(damaged));
    // No rewrite is tried, so no Save entry claims one.
    const auto log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].message, "(PendingRebootFiles.Load)");
    EXPECT_EQ(log[0].errorPart, "0:70:Permission denied");
}

TEST_F(ListFile, ADirectoryInPlaceOfTheFileCountsAsMissingAndCannotBeReplaced) {
    ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr));
    Load();
    EXPECT_TRUE(DirectoryExists(path));
    EXPECT_EQ(List().Count(), 0);
    const auto log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].message, "(PendingRebootFiles.Save)");
}

TEST_F(ListFile, AReadOnlyListIsReadAndAReadOnlyOldFileIsReplacedBySave) {
    WriteBytes(path, Record({{"C:\\a.tmp", "", 0}}));
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    Load();
    EXPECT_EQ(List().Count(), 1);
    Save();
    EXPECT_EQ(ReadBytes(path), Record({{"C:\\a.tmp", "", 0}}));
    EXPECT_FALSE(FileExists(basQuorvaneService::LogFilePath()));
}

// QuorvaneTool, through another spelling of the folder, holds the update lock while it
// pauses before its rename. Any program can hold a lock of that name, so Load reads
// without it at once; only a rewrite waits for it, and never over what the update wrote.
TEST_F(ListFile, LoadReadsAtOnceWhileAnUpdateHoldsTheLockAndLosesNothingOfIt) {
    const std::wstring otherSpelling = L"\\\\?\\" + BinDir() + kListFileName;
    auto pausedTool = [&](const std::wstring& arguments) {
        ::SetEnvironmentVariableW(L"QUORVANE_TOOL_PAUSE_BEFORE_REPLACE_MS", L"3000");
        platform::UniqueHandle tool = LaunchProcess(L"\"" + BinDir() + L"QuorvaneTool.exe\" " + arguments);
        ::SetEnvironmentVariableW(L"QUORVANE_TOOL_PAUSE_BEFORE_REPLACE_MS", nullptr);
        const DWORD start = ::GetTickCount();
        while (!FileExists(path + L".new") && ::GetTickCount() - start < 30000) ::Sleep(10);
        EXPECT_TRUE(FileExists(path + L".new")) << "the tool never wrote its new file";
        return tool;
    };
    auto finished = [](platform::UniqueHandle& tool) {
        DWORD exitCode = 99;
        EXPECT_TRUE(WaitForExit(tool.get(), 60000, &exitCode));
        EXPECT_EQ(exitCode, 0u);
    };

    // A whole list: read as it stands, without waiting for the update.
    WriteBytes(path, Record({{"C:\\before.tmp", "", 0}}));
    platform::UniqueHandle tool = pausedTool(L"list add \"" + otherSpelling + L"\" C:\\added.tmp");
    DWORD start = ::GetTickCount();
    Load();
    EXPECT_LT(::GetTickCount() - start, 1500u);
    ASSERT_EQ(List().Count(), 1);
    EXPECT_EQ(List().Entry(0).Path, L"C:\\before.tmp");
    finished(tool);
    EXPECT_EQ(ReadBytes(path), Record({{"C:\\before.tmp", "", 0}, {"C:\\added.tmp", "", 0}}));
    EXPECT_FALSE(FileExists(basQuorvaneService::LogFilePath()));

    // A damaged list that the update replaces between the read and the rewrite: the new
    // list is kept as it is, never taken for the damaged one and moved aside.
    WriteBytes(path, "damaged");
    tool = pausedTool(L"list create --force \"" + otherSpelling + L"\"");
    Load();
    finished(tool);
    EXPECT_EQ(ReadBytes(path), Record({}));
    EXPECT_FALSE(FileExists(damaged));
    auto log = Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].message, "(PendingRebootFiles.Load)");
    EXPECT_EQ(log[1].message, "(PendingRebootFiles.Save)");
    EXPECT_EQ(log[1].errorPart, "0:58:File already exists");

    // No list: the fresh one waits for the lock and gives way to the update's list.
    ::DeleteFileW(basQuorvaneService::LogFilePath().c_str());
    ::DeleteFileW(path.c_str());
    tool = pausedTool(L"list add \"" + otherSpelling + L"\" C:\\first.tmp");
    start = ::GetTickCount();
    Load();
    EXPECT_GE(::GetTickCount() - start, 1000u) << "the rewrite did not wait for the lock";
    finished(tool);
    EXPECT_EQ(ReadBytes(path), Record({{"C:\\first.tmp", "", 0}}));
    log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].errorPart, "0:58:File already exists");
}

// Save replaces the list by a rename, never by writing into the old file: a longer old
// file leaves no tail behind Count.
TEST_F(ListFile, SaveLeavesExactlyTheRecordOverALongerOldFile) {
    WriteBytes(path, Record({{"C:\\a-much-longer-path.tmp", "extra", 0}}));
    Save();
    EXPECT_EQ(ReadBytes(path), Record({})) << "no old tail behind Count";
}

TEST_F(ListFile, SaveStampsHeaderAndVersionAndKeepsTheOldFileWhenATextIsTooLong) {
    WriteBytes(path, Record({}, "Other", "1.0"));
    List().Append(std::wstring(70000, L'x'), L"", 0);
    Save();
    EXPECT_EQ(List().Header, L"Quorvane Pending Reboot List DB");
    EXPECT_EQ(List().Version, L"3.0");
    EXPECT_EQ(ReadBytes(path), Record({}, "Other", "1.0"));
    const auto log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].message, "(PendingRebootFiles.Save)");
    EXPECT_EQ(log[0].errorPart, "0:6:Overflow");
}

}  // namespace
}  // namespace basPendingRebootFiles
