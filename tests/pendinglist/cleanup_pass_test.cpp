// The cleanup pass over the process-wide list, on real files in a temp folder.
#include <gtest/gtest.h>

#include "activitylog/activity_log.h"
#include "pendinglist/pending_reboot_files.h"
#include "platform/handles.h"
#include "platform/win32.h"
#include "support/log_reader.h"
#include "support/pass_lines.h"
#include "support/pending_renames.h"
#include "support/test_files.h"

namespace basPendingRebootFiles {
namespace {

using namespace testing_support;

class Pass : public ::testing::Test {
protected:
    TempDir dir;

    // The staging folder lies beside the test program, as it lies beside the service.
    const std::wstring staging = BinDir() + L"QuorvaneStaging";

    void SetUp() override {
        ::DeleteFileW(basQuorvaneService::LogFilePath().c_str());
        RemoveTree(staging);
        basQuorvaneService::DebugMode = false;  // the pass's lines are always written
        List().Clear();
    }
    void TearDown() override {
        ::DeleteFileW(basQuorvaneService::LogFilePath().c_str());
        RemoveTree(staging);
        List().Clear();
    }
    std::wstring MakeFile(const std::wstring& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        const std::wstring path = dir / name;
        WriteBytes(path, "x");
        ::SetFileAttributesW(path.c_str(), attributes);
        return path;
    }
    std::vector<std::string> LogLines() const {
        return Messages(ParseLog(ReadBytes(basQuorvaneService::LogFilePath())));
    }
    std::vector<std::wstring> ListPaths() const {
        std::vector<std::wstring> paths;
        for (int32_t i = 0; i < List().Count(); ++i) paths.emplace_back(List().Entry(i).Path);
        return paths;
    }
};

TEST_F(Pass, AnEmptyListWritesNothing) {
    CleanupPass();
    EXPECT_FALSE(FileExists(basQuorvaneService::LogFilePath()));
}

TEST_F(Pass, FlaggedEntriesAreLeftAlone) {
    const std::wstring kept = MakeFile(L"kept.tmp");
    List().Append(kept, L"", 1);
    List().Append(kept, L"", -1);
    CleanupPass();
    EXPECT_TRUE(FileExists(kept));
    EXPECT_EQ(List().Count(), 2);
    EXPECT_FALSE(FileExists(basQuorvaneService::LogFilePath()));
}

TEST_F(Pass, DeletesEveryFileInOrderAndReleasesTheEmptyList) {
    const std::wstring a = MakeFile(L"a.tmp"), b = MakeFile(L"b.tmp"), c = MakeFile(L"c.tmp");
    for (const auto& p : {a, b, c}) List().Append(p, L"", 0);
    CleanupPass();
    EXPECT_FALSE(FileExists(a) || FileExists(b) || FileExists(c));
    EXPECT_EQ(LogLines(), (std::vector<std::string>{Start(a), Deleted(a), Start(b), Deleted(b),
                                                    Start(c), Deleted(c)}));
    EXPECT_EQ(List().Count(), 0);
    EXPECT_FALSE(List().HasEntryStorage());
}

// Held by another program that shares deletion: the delete is accepted, so the line says
// deleted, and the file goes as that program closes it.
TEST_F(Pass, AFileHeldWithDeleteSharingIsReportedDeleted) {
    const std::wstring held = MakeFile(L"held.tmp");
    platform::UniqueFile holder(::CreateFileW(held.c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    List().Append(held, L"", 0);
    CleanupPass();
    EXPECT_EQ(LogLines(), (std::vector<std::string>{Start(held), Deleted(held)}));
    EXPECT_EQ(List().Count(), 0);
    holder.reset();
    EXPECT_FALSE(FileExists(held));
}

TEST_F(Pass, AVanishedFileDoesNotStopTheNextOne) {
    const std::wstring gone = dir / L"gone.tmp", there = MakeFile(L"there.tmp");
    List().Append(gone, L"", 0);
    List().Append(there, L"", 0);
    CleanupPass();
    EXPECT_EQ(LogLines(),
              (std::vector<std::string>{Start(gone), Gone(gone), Start(there), Deleted(there)}));
    EXPECT_FALSE(FileExists(there));
}

// Staged for the restart: moved into the staging folder, whose name is requested; the
// entry stays, and its line names the listed path.
TEST_F(Pass, AFileThatCannotBeDeletedIsStagedForRestartAndItsEntryStays) {
    PendingRenamesGuard restore;
    const std::wstring readOnly = MakeFile(L"ro.tmp", FILE_ATTRIBUTE_READONLY);
    List().Append(readOnly, L"", 0);
    CleanupPass();
    EXPECT_EQ(LogLines(), (std::vector<std::string>{Start(readOnly), Scheduled(readOnly)}));
    EXPECT_EQ(ListPaths(), (std::vector<std::wstring>{readOnly}));
    EXPECT_FALSE(FileExists(readOnly));
    EXPECT_FALSE(HasPendingDelete(readOnly));
    WIN32_FIND_DATAW found;
    platform::UniqueFind search(::FindFirstFileW((staging + L"\\*.staged").c_str(), &found));
    ASSERT_TRUE(search);
    EXPECT_TRUE(HasPendingDelete(staging + L"\\" + found.cFileName));
    EXPECT_FALSE(::FindNextFileW(search.get(), &found)) << "one staged file";
}

TEST_F(Pass, DirectoriesEmptyAndRelativePathsNameNoFile) {
    const std::wstring sub = dir / L"sub";
    ::CreateDirectoryW(sub.c_str(), nullptr);
    // A relative path must not reach the file of that name in the working directory.
    const std::wstring relative = L"relative.tmp";
    MakeFile(relative);
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ::SetCurrentDirectoryW(dir.Path().c_str());
    for (const auto& p : {sub, std::wstring(), relative}) List().Append(p, L"", 0);
    CleanupPass();
    ::SetCurrentDirectoryW(previous);

    EXPECT_TRUE(DirectoryExists(sub));
    EXPECT_TRUE(FileExists(dir / relative));
    EXPECT_EQ(LogLines(), (std::vector<std::string>{Start(sub), Gone(sub), Start(L""), Gone(L""),
                                                    Start(relative), Gone(relative)}));
    EXPECT_EQ(List().Count(), 0);
}

TEST_F(Pass, LinesNameTheEntryInHandAlsoWhenRemovalTookAnEarlierDuplicate) {
    const std::wstring file = MakeFile(L"dup.tmp");
    std::wstring upper = file;
    for (auto& ch : upper) ch = static_cast<wchar_t>(towupper(ch));
    List().Append(upper, L"flagged", 1);
    List().Append(file, L"mine", 0);
    CleanupPass();
    EXPECT_FALSE(FileExists(file));
    EXPECT_EQ(LogLines(), (std::vector<std::string>{Start(file), Deleted(file)}));
    // The first match in any letter case goes: the flagged entry, not the one in hand.
    ASSERT_EQ(List().Count(), 1);
    EXPECT_EQ(List().Entry(0).Path, file);
    EXPECT_EQ(List().Entry(0).Extra, L"mine");
}

TEST_F(Pass, DuplicateEntriesOfOneFileAreEachTakenUp) {
    const std::wstring file = MakeFile(L"twice.tmp");
    List().Append(file, L"", 0);
    List().Append(file, L"", 0);
    CleanupPass();
    EXPECT_EQ(LogLines(),
              (std::vector<std::string>{Start(file), Deleted(file), Start(file), Gone(file)}));
    EXPECT_EQ(List().Count(), 0);
}

}  // namespace
}  // namespace basPendingRebootFiles
