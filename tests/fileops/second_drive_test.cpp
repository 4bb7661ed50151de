// A move to another volume: no rename reaches it, so the file is copied through handles
// into the checked destination folder, flushed, and the source deleted through its own
// handle; replacing only when asked. The second volume is a small tmpfs of its own, mapped
// as a drive of the prefix by second_drive_test.sh.
#include "fileops/file_funcs.h"

#include <gtest/gtest.h>

#include "platform/win32.h"
#include "support/test_files.h"

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

}  // namespace
