// The staging folder in process, on real files under Wine: what Stage, List, Restore, the
// sweep and the weighing of a stage leave on disk, beside the full runs that use them.
#include "fileops/staging.h"

#include <gtest/gtest.h>

#include "fileops/checked_file.h"
#include "platform/win32.h"
#include "support/pending_renames.h"
#include "support/test_files.h"
#include "support/unix_side.h"

namespace {

using namespace testing_support;

class Staging : public ::testing::Test {
protected:
    testing_support::PendingRenamesGuard restoreRenames;
    TempDir dir;
    std::wstring folder = dir / L"QuorvaneStaging";
    fileops::StagingFolder staging{folder};

    static fileops::CheckedFile Checked(const std::wstring& path) {
        return fileops::OpenChecked(fileops::JudgePathForFileCalls(path), fileops::kRouteAccess);
    }
};

TEST_F(Staging, WeighingAStageChangesNothing) {
    const std::wstring path = dir / L"listed.tmp";
    WriteBytes(path, "listed");
    const fileops::CheckedFile file = Checked(path);
    ASSERT_EQ(file.outcome, fileops::Reached::File);
    EXPECT_EQ(staging.WeighStage(file), 0u) << "a file of the folder's own volume can be staged";
    EXPECT_FALSE(DirectoryExists(folder)) << "the staging folder is made only by a stage";
    EXPECT_TRUE(staging.List().empty());
}

TEST_F(Staging, AStagedFileKeepsItsRecordUntilItIsRestoredWithItsAttributes) {
    const std::wstring path = dir / L"listed.tmp";
    WriteBytes(path, "listed");
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    std::wstring staged;
    {
        const fileops::CheckedFile file = Checked(path);
        ASSERT_EQ(staging.Stage(file, path, staged), 0u);
    }
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(ReadBytes(staged), "listed");
    std::vector<fileops::StagedFile> files = staging.List();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].record.listedPath, path);
    EXPECT_TRUE(files[0].present);
    EXPECT_EQ(staging.Sweep().size(), 1u) << "a staged file with its record is handed on, not removed";

    const fileops::RestoreResult restored = staging.Restore(files[0]);
    EXPECT_EQ(restored.outcome, fileops::RestoreResult::Restored) << restored.error;
    EXPECT_EQ(ReadBytes(path), "listed");
    EXPECT_EQ(::GetFileAttributesW(path.c_str()), attributes);
    EXPECT_TRUE(staging.List().empty());
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Staging, AFileIsRestoredIntoAFolderOthersCanChangeByWritingItAnewThroughTheHeldFolder) {
    const std::wstring open = dir / L"open", path = open + L"\\listed.tmp";
    ASSERT_TRUE(::CreateDirectoryW(open.c_str(), nullptr));
    ASSERT_TRUE(RunUnixScript("chmod 0777 '" + UnixPathOf(open) + "'"));
    WriteBytes(path, std::string(3 << 20, 'x'));  // more than one buffer
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    std::wstring staged;
    {
        const fileops::CheckedFile file = Checked(path);
        ASSERT_EQ(staging.Stage(file, path, staged), 0u);
    }
    const fileops::RestoreResult restored = staging.Restore(staging.List().at(0));
    EXPECT_EQ(restored.outcome, fileops::RestoreResult::Restored) << restored.error;
    EXPECT_EQ(ReadBytes(path), std::string(3 << 20, 'x'));
    EXPECT_EQ(::GetFileAttributesW(path.c_str()), attributes);
    EXPECT_FALSE(FileExists(staged));
    EXPECT_TRUE(staging.List().empty());
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Staging, TheSweepRemovesARecordWhoseFileIsGoneAndARestoreNeverOverwrites) {
    const std::wstring first = dir / L"first.tmp", second = dir / L"second.tmp";
    std::wstring stagedFirst, stagedSecond;
    for (const auto& [path, staged] : {std::pair{first, &stagedFirst}, std::pair{second, &stagedSecond}}) {
        WriteBytes(path, "listed");
        const fileops::CheckedFile file = Checked(path);
        ASSERT_EQ(staging.Stage(file, path, *staged), 0u);
    }
    ASSERT_TRUE(::DeleteFileW(stagedFirst.c_str()));  // as the restart deletes it
    EXPECT_EQ(staging.Sweep().size(), 1u);
    ASSERT_EQ(staging.List().size(), 1u);

    WriteBytes(second, "a new file at the listed path");
    const fileops::RestoreResult kept = staging.Restore(staging.List()[0]);
    EXPECT_EQ(kept.outcome, fileops::RestoreResult::NotMoved);
    EXPECT_EQ(ReadBytes(second), "a new file at the listed path");
    EXPECT_EQ(ReadBytes(stagedSecond), "listed");
}

}  // namespace
