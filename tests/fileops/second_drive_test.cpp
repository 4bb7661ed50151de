// A move to another volume: no rename reaches it, so the file is copied through handles
// into the checked destination folder, flushed, and the source deleted through its own
// handle; replacing only when asked. The second volume is a small tmpfs of its own, mapped
// as a drive of the prefix by second_drive_test.sh.
#include "fileops/file_funcs.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/handles.h"
#include "platform/win32.h"
#include "faults/fault_support.h"
#include "support/list_writer.h"
#include "support/log_reader.h"
#include "support/pending_renames.h"
#include "support/service_sandbox.h"
#include "support/test_files.h"
#include "support/unix_side.h"

namespace {

using namespace testing_support;

TEST(SecondDrive, AMoveToAnotherVolumeCopiesThenDeletesTheSource) {
    wchar_t drive[8] = {};
    ASSERT_GT(::GetEnvironmentVariableW(L"QUORVANE_SECOND_DRIVE", drive, 8), 0u) << "run through second_drive_test.sh";
    ASSERT_TRUE(DirectoryExists(drive)) << "no second drive";
    const std::wstring target = std::wstring(drive) + L"moved.tmp";
    TempDir dir;
    cFileFuncs files;

    const std::wstring source = dir / L"source.tmp";
    WriteBytes(source, "the data");
    ::SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(files.MoveFile2(source, target, false), cFileFuncs::kDone);
    EXPECT_FALSE(FileExists(source));
    EXPECT_EQ(ReadBytes(target), "the data");
    EXPECT_EQ(::GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_HIDDEN, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));

    // Onto the file now there: refused unless replacing is asked for, and then done.
    const std::wstring second = dir / L"second.tmp";
    WriteBytes(second, "newer data");
    EXPECT_EQ(files.MoveFile2(second, target, false), cFileFuncs::kFailed);
    EXPECT_EQ(ReadBytes(second), "newer data");
    EXPECT_EQ(ReadBytes(target), "the data");
    EXPECT_EQ(files.MoveFile2(second, target, true), cFileFuncs::kDone);
    EXPECT_FALSE(FileExists(second));
    EXPECT_EQ(ReadBytes(target), "newer data");

    // A source that cannot be deleted after the copy stays, and the copy goes.
    const std::wstring readOnly = dir / L"read-only.tmp";
    WriteBytes(readOnly, "read-only data");
    ::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(files.MoveFile(readOnly, std::wstring(drive) + L"ro.tmp"), cFileFuncs::kFailed);
    EXPECT_EQ(ReadBytes(readOnly), "read-only data");
    EXPECT_FALSE(FileExists(std::wstring(drive) + L"ro.tmp"));
    ::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);

    // Nothing of the copies' own names is left behind.
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((std::wstring(drive) + L"*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    std::vector<std::wstring> names;
    do {
        if (found.cFileName[0] != L'.') names.push_back(found.cFileName);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    EXPECT_EQ(names, std::vector<std::wstring>{L"moved.tmp"});
    ::DeleteFileW(target.c_str());
}

// A file that cannot be deleted now and lies on another volume than the service's folder
// (D:, or C: spelled through Wine's Z:) cannot be staged, and a request by its path would
// be carried out on whatever that volume holds at the restart: it is carried to the next
// start instead, even where its folders are the service account's own.
TEST(SecondDrive, AFileOnAnotherVolumeIsCarriedRatherThanRequestedByItsPath) {
    PendingRenamesGuard restoreRenames;
    wchar_t drive[8] = {};
    ASSERT_GT(::GetEnvironmentVariableW(L"QUORVANE_SECOND_DRIVE", drive, 8), 0u) << "run through second_drive_test.sh";
    const std::wstring folder = std::wstring(drive) + L"service-account";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(RunUnixScript("chmod 0755 '" + UnixPathOf(folder) + "'"));
    const std::wstring readOnly = folder + L"\\read-only.dll", held = folder + L"\\held.dll";
    WriteBytes(readOnly, "x");
    ::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    WriteBytes(held, "y");
    // Beside the test programs, which Wine reaches through Z:.
    const std::wstring zFolder = BinDir() + L"second-volume";
    ::CreateDirectoryW(zFolder.c_str(), nullptr);
    const std::wstring heldThroughZ = zFolder + L"\\held.dll";
    ASSERT_EQ(heldThroughZ[0], L'Z');
    WriteBytes(heldThroughZ, "z");
    std::vector<platform::UniqueFile> holders;
    for (const std::wstring& path : {held, heldThroughZ}) {
        holders.emplace_back(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holders.back());
    }

    ServiceSandbox sandbox;
    WriteBytes(sandbox.ListPath(), ListFileBytes({{readOnly}, {held}, {heldThroughZ}}));
    sandbox.RunOnce();
    const auto messages = Messages(ParseLog(sandbox.ReadLog()));
    for (const std::wstring& path : {readOnly, held, heldThroughZ}) {
        SCOPED_TRACE(Ansi(path));
        EXPECT_NE(std::find(messages.begin(), messages.end(), Scheduled(path)), messages.end());
        EXPECT_FALSE(HasPendingDelete(path));
    }
    EXPECT_TRUE(sandbox.StagedFiles().empty());
    WIN32_FIND_DATAW found;
    platform::UniqueFind carried(::FindFirstFileW((sandbox.Dir() + L"QuorvaneStaging\\*.carried").c_str(), &found));
    int count = 0;
    if (carried) {
        do ++count; while (::FindNextFileW(carried.get(), &found));
    }
    EXPECT_EQ(count, 3);
    ::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    holders.clear();
    RemoveTree(zFolder);
}

}  // namespace
