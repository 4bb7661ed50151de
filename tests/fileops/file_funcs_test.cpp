// The file operations on real files in a temp folder under Wine. The state of the file
// system is checked after each call, not only the result.
#include "fileops/file_funcs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fileops/delete_file_now.h"
#include "platform/nt_file.h"
#include "platform/win32.h"
#include "platform/handles.h"
#include "support/pending_renames.h"
#include "support/failing_allocations.h"
#include "support/test_files.h"
#include "support/unix_side.h"

namespace {

using basQuorvaneService::DeleteFileNow;
using namespace testing_support;

class FileFuncs : public ::testing::Test {
protected:
    TempDir dir;
    cFileFuncs files;

    std::wstring MakeFile(const std::wstring& name, const std::string& content = "data",
                          DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        const std::wstring path = dir / name;
        WriteBytes(path, content);
        ::SetFileAttributesW(path.c_str(), attributes);
        return path;
    }
    std::wstring MakeDir(const std::wstring& name) {
        const std::wstring path = dir / name;
        ::CreateDirectoryW(path.c_str(), nullptr);
        return path;
    }
};

TEST_F(FileFuncs, ExistenceIsTrueOnlyForAFile) {
    EXPECT_TRUE(files.DoesFileExist(MakeFile(L"a.tmp")));
    EXPECT_FALSE(files.DoesFileExist(MakeDir(L"sub")));
    EXPECT_FALSE(files.DoesFileExist(dir / L"missing.tmp"));
    EXPECT_FALSE(files.DoesFileExist(L""));
    EXPECT_FALSE(files.DoesFileExist(dir / L"nofolder\\a.tmp"));
}

TEST_F(FileFuncs, DirectoriesAndEmptyPathsAreNeitherDeletedNorMoved) {
    const std::wstring sub = MakeDir(L"sub");
    EXPECT_EQ(files.DeleteFile(sub), cFileFuncs::kSourceMissing);
    EXPECT_EQ(files.MoveFile2(sub, dir / L"moved", true), cFileFuncs::kSourceMissing);
    files.SafeKill(sub);
    EXPECT_TRUE(DirectoryExists(sub));
    EXPECT_FALSE(DirectoryExists(dir / L"moved"));

    EXPECT_EQ(files.DeleteFile(L""), cFileFuncs::kSourceMissing);
    EXPECT_EQ(files.MoveFile2(L"", dir / L"x", false), cFileFuncs::kSourceMissing);
    EXPECT_EQ(files.DeleteFile(dir / L"missing.tmp"), cFileFuncs::kSourceMissing);
}

TEST_F(FileFuncs, PlainDeleteLeavesAReadOnlyFileWhileDeleteFileResetsItFirst) {
    const std::wstring readOnly = MakeFile(L"ro.tmp", "x", FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(DeleteFileNow(readOnly));
    EXPECT_TRUE(FileExists(readOnly));
    EXPECT_EQ(files.DeleteFile(readOnly), cFileFuncs::kDone);
    EXPECT_FALSE(FileExists(readOnly));

    const std::wstring plain = MakeFile(L"plain.tmp");
    EXPECT_TRUE(DeleteFileNow(plain));
    EXPECT_FALSE(FileExists(plain));
    EXPECT_FALSE(DeleteFileNow(plain)) << "already gone";
}

TEST_F(FileFuncs, HiddenSystemAndReadOnlyAttributesAreAllCleared) {
    const DWORD all = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                      FILE_ATTRIBUTE_ARCHIVE;
    const std::wstring hidden = MakeFile(L"h.tmp", "x", FILE_ATTRIBUTE_HIDDEN);
    const std::wstring everything = MakeFile(L"all.tmp", "x", all);
    EXPECT_TRUE(files.DoesFileExist(hidden));
    EXPECT_EQ(files.DeleteFile(hidden), cFileFuncs::kDone);
    files.SafeKill(everything);
    EXPECT_FALSE(FileExists(hidden));
    EXPECT_FALSE(FileExists(everything));
}

TEST_F(FileFuncs, MoveOntoAnExistingDestinationReplacesOnlyWhenAsked) {
    const std::wstring source = MakeFile(L"src.tmp", "new");
    const std::wstring destination = MakeFile(L"dst.tmp", "old");
    EXPECT_EQ(files.MoveFile2(source, destination, false), cFileFuncs::kFailed);
    EXPECT_EQ(ReadBytes(source), "new");
    EXPECT_EQ(ReadBytes(destination), "old");

    EXPECT_EQ(files.MoveFile2(source, destination, true), cFileFuncs::kDone);
    EXPECT_FALSE(FileExists(source));
    EXPECT_EQ(ReadBytes(destination), "new");

    const std::wstring again = MakeFile(L"again.tmp", "third");
    EXPECT_EQ(files.MoveFile(again, destination), cFileFuncs::kDone);
    EXPECT_EQ(ReadBytes(destination), "third");

    EXPECT_EQ(files.MoveFile2(dir / L"missing.tmp", destination, true), cFileFuncs::kSourceMissing);
    EXPECT_EQ(ReadBytes(destination), "third");
}

TEST_F(FileFuncs, MoveToAFreshNameInAnotherFolder) {
    const std::wstring source = MakeFile(L"src.tmp", "content");
    MakeDir(L"sub");
    EXPECT_EQ(files.MoveFile2(source, dir / L"sub\\moved.tmp", false), cFileFuncs::kDone);
    EXPECT_EQ(ReadBytes(dir / L"sub\\moved.tmp"), "content");
    EXPECT_EQ(files.MoveFile2(MakeFile(L"s2.tmp"), dir / L"nofolder\\x.tmp", false),
              cFileFuncs::kFailed);
}

// --- Paths that must never reach another file ---

TEST_F(FileFuncs, APatternNamesNoFileAndReachesNoneOfItsMatches) {
    testing_support::PendingRenamesGuard restore;
    const std::wstring matched = MakeFile(L"victim.tmp", "keep");
    MakeDir(L"onlydir.d");
    for (const std::wstring& pattern : {dir / L"vict*.tmp", dir / L"victi?.tmp", dir / L"*.d", dir / L"v<.tmp"}) {
        SCOPED_TRACE(testing::PrintToString(pattern));
        EXPECT_FALSE(files.DoesFileExist(pattern));
        // The design's failure: nothing deleted, nothing moved, the refusal a pattern's.
        EXPECT_EQ(files.DeleteFile(pattern), cFileFuncs::kFailed);
        EXPECT_EQ(files.LastRefusal(), 123u);
        EXPECT_FALSE(DeleteFileNow(pattern));
        EXPECT_EQ(files.MoveFile2(pattern, dir / L"moved.tmp", true), cFileFuncs::kFailed);
        EXPECT_EQ(files.LastRefusal(), 123u);
        EXPECT_EQ(files.MoveFile(matched, pattern), cFileFuncs::kFailed) << "nor as a destination";
        files.SafeKill(pattern);
        files.DeleteFileUntilReboot(pattern);
        EXPECT_FALSE(HasPendingDelete(pattern));
    }
    EXPECT_EQ(ReadBytes(matched), "keep");
    EXPECT_TRUE(DirectoryExists(dir / L"onlydir.d"));
    EXPECT_FALSE(FileExists(dir / L"moved.tmp"));
}

TEST_F(FileFuncs, APathTheCodePageCannotHoldNamesNoFile) {
    testing_support::PendingRenamesGuard restore;
    // In the ANSI form the Thai letter becomes '?', a wildcard that matches "aXb.tmp"; a
    // best-fit mapping could turn the accented letter into the plain one.
    const std::wstring neighbour = MakeFile(L"aXb.tmp", "keep");
    const std::wstring lookalike = MakeFile(L"Ayz.tmp", "keep too");
    for (const std::wstring& path : {dir / L"a\x0E01" L"b.tmp", dir / L"\x0100yz.tmp"}) {
        EXPECT_FALSE(files.DoesFileExist(path));
        // Its ANSI form is a pattern: the pattern's result.
        EXPECT_EQ(files.DeleteFile(path), cFileFuncs::kFailed);
        EXPECT_FALSE(DeleteFileNow(path));
        EXPECT_EQ(files.MoveFile2(path, dir / L"moved.tmp", true), cFileFuncs::kFailed);
        EXPECT_EQ(files.LastRefusal(), 123u);
        EXPECT_EQ(files.MoveFile(neighbour, path), cFileFuncs::kFailed) << "nor as a destination";
        files.SafeKill(path);
        files.DeleteFileUntilReboot(path);
        files.MoveFileUntilReboot(neighbour, path);
    }
    EXPECT_EQ(ReadBytes(neighbour), "keep");
    EXPECT_EQ(ReadBytes(lookalike), "keep too");
    EXPECT_FALSE(FileExists(dir / L"moved.tmp"));
    EXPECT_FALSE(HasPendingDelete(neighbour));
}

// --- Delete at restart, through the real session manager value ---

TEST_F(FileFuncs, DeleteAtRestartRegistersThePathAlsoWhenItDoesNotExist) {
    testing_support::PendingRenamesGuard restore;
    const std::wstring present = MakeFile(L"locked.tmp");
    const std::wstring absent = dir / L"absent.tmp";
    const std::wstring nowhere = dir / L"no-folder\\nor-this\\absent.tmp";
    const std::wstring directory = MakeDir(L"a-directory");
    for (const std::wstring& path : {present, absent, nowhere, directory}) {
        files.DeleteFileUntilReboot(path);
        files.DeleteFileUntilReboot(path);  // asked twice: requested once
        EXPECT_EQ(files.LastRefusal(), 0u);
    }
    const auto renames = ReadPendingRenames();
    for (const std::wstring& path : {present, absent, nowhere, directory}) {
        EXPECT_EQ(std::count(renames.begin(), renames.end(), L"\\??\\" + path), 1) << Ansi(path);
    }
    EXPECT_TRUE(FileExists(present)) << "nothing happens before the restart";

    // A request the platform would carry out on other files, or on one another folder
    // holds, is not made: a pattern, a path relative to the working folder, a path through
    // a linked folder.
    const std::wstring victim = dir / L"victims\\";
    MakeDir(L"victims");
    WriteBytes(victim + L"f.tmp", "victim");
    ASSERT_TRUE(MakeUnixLink(victim, dir / L"linked"));
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ::SetCurrentDirectoryW(dir.Path().c_str());
    const std::vector<std::pair<std::wstring, uint32_t>> withheld = {
        {dir / L"*.tmp", 123}, {L"locked.tmp", 0}, {dir / L"linked\\f.tmp", 4395}, {dir / L"linked\\absent.tmp", 4395}};
    for (const auto& [path, refusal] : withheld) {
        files.DeleteFileUntilReboot(path);
        EXPECT_EQ(files.LastRefusal(), refusal) << Ansi(path);
    }
    ::SetCurrentDirectoryW(previous);
    EXPECT_EQ(ReadPendingRenames().size(), renames.size()) << "a request through a pattern, a link or a relative path";
}

// Held open by another program that shares deletion: the delete is accepted, so the file
// is deleted, and goes as that program closes it.
TEST_F(FileFuncs, AFileHeldWithDeleteSharingIsDeleted) {
    for (int way = 0; way < 2; ++way) {
        const std::wstring path = MakeFile(L"held" + std::to_wstring(way) + L".tmp");
        platform::UniqueFile holder(::CreateFileW(path.c_str(), GENERIC_READ,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                  OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        if (way == 0) {
            EXPECT_TRUE(DeleteFileNow(path));
        } else {
            EXPECT_EQ(files.DeleteFile(path), cFileFuncs::kDone);
        }
        holder.reset();
        EXPECT_FALSE(FileExists(path)) << way;
    }
}

// The route with the final path call withheld, as on XP and Server 2003: the path within
// the volume, under the drive that leads back to the same file, gives the same outcomes.
TEST_F(FileFuncs, WithoutTheFinalPathCallTheRouteDecidesAlike) {
    platform::NativeFileCalls older = platform::NativeCalls();
    older.GetFinalPathNameByHandleW = nullptr;
    const platform::NativeCallsOverride seam(older);

    const std::wstring plain = MakeFile(L"plain.tmp");
    EXPECT_TRUE(files.DoesFileExist(plain));
    EXPECT_TRUE(DeleteFileNow(plain, files));
    EXPECT_FALSE(FileExists(plain));

    const std::wstring longName = MakeFile(L"a rather long file name.text");
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_GT(::GetShortPathNameW(longName.c_str(), shortName, MAX_PATH), 0u);
    EXPECT_EQ(files.DeleteFile(shortName), cFileFuncs::kDone);
    EXPECT_FALSE(FileExists(longName));

    std::wstring deep = dir.Path();
    while (deep.size() < 300) {
        deep += std::wstring(60, L'd') + L"\\";
        ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
    }
    WriteBytes(L"\\\\?\\" + deep + L"deep.tmp", "x");
    EXPECT_TRUE(files.DoesFileExist(deep + L"deep.tmp"));
    EXPECT_TRUE(DeleteFileNow(deep + L"deep.tmp", files));
    EXPECT_EQ(::GetFileAttributesW((L"\\\\?\\" + deep + L"deep.tmp").c_str()), INVALID_FILE_ATTRIBUTES);

    MakeDir(L"victims");
    WriteBytes(dir / L"victims\\v.tmp", "victim");
    ASSERT_TRUE(MakeUnixLink(dir / L"victims", dir / L"linked"));
    EXPECT_FALSE(files.DoesFileExist(dir / L"linked\\v.tmp"));
    EXPECT_EQ(files.LastRefusal(), 4395u);
    EXPECT_FALSE(DeleteFileNow(dir / L"linked\\v.tmp"));
    EXPECT_EQ(files.DeleteFile(dir / L"linked\\v.tmp"), cFileFuncs::kSourceMissing);
    EXPECT_EQ(ReadBytes(dir / L"victims\\v.tmp"), "victim");
}

TEST_F(FileFuncs, MoveAtRestartRegistersSourceAndDestination) {
    testing_support::PendingRenamesGuard restore;
    const std::wstring source = MakeFile(L"from.tmp");
    files.MoveFileUntilReboot(source, dir / L"to.tmp");
    const auto strings = ReadPendingRenames();
    bool found = false;
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
        found |= strings[i] == L"\\??\\" + source && strings[i + 1] == L"\\??\\" + (dir / L"to.tmp");
    }
    EXPECT_TRUE(found);
}

// --- Faults a real file system does not produce on demand ---

constexpr int kBasicInformation = 4;
constexpr int kRenameInformation = 10;
constexpr LONG kAccessDenied = static_cast<LONG>(0xC0000022);
platform::NativeFileCalls realCalls;
std::vector<int> seenKinds;
std::vector<DWORD> seenFlags;
std::vector<bool> seenNullDestination;
std::wstring vanishing;
LONG NTAPI LyingSetInformation(HANDLE file, void* status, void* info, ULONG size, int kind) {
    seenKinds.push_back(kind);
    if (kind == kRenameInformation) return 0;  // reports done, moves nothing
    return realCalls.NtSetInformationFile(file, status, info, size, kind);
}
BOOL WINAPI RecordingMove(LPCWSTR, LPCWSTR destination, DWORD flags) {
    seenFlags.push_back(flags);
    seenNullDestination.push_back(destination == nullptr);
    return TRUE;
}
LONG NTAPI VanishingSetInformation(HANDLE file, void* status, void* info, ULONG size, int kind) {
    if (kind == kBasicInformation) {
        ::DeleteFileW(vanishing.c_str());  // another program removes the file first
        return kAccessDenied;
    }
    return realCalls.NtSetInformationFile(file, status, info, size, kind);
}

TEST_F(FileFuncs, AMoveReportedDoneWhileTheSourceRemainsFailed) {
    realCalls = platform::NativeCalls();
    platform::NativeFileCalls lying = realCalls;
    lying.NtSetInformationFile = LyingSetInformation;
    lying.MoveFileExW = RecordingMove;
    const platform::NativeCallsOverride seam(lying);
    const std::wstring source = MakeFile(L"src.tmp");
    seenKinds.clear();
    seenFlags.clear();
    seenNullDestination.clear();
    EXPECT_EQ(files.MoveFile2(source, dir / L"d.tmp", false), cFileFuncs::kFailed);
    EXPECT_EQ(files.MoveFile2(source, dir / L"d.tmp", true), cFileFuncs::kFailed);
    EXPECT_EQ(seenKinds, (std::vector<int>{kRenameInformation, kRenameInformation}));
    files.DeleteFileUntilReboot(source);
    files.MoveFileUntilReboot(source, dir / L"d.tmp");
    EXPECT_EQ(seenFlags, (std::vector<DWORD>{4, 4}));
    EXPECT_EQ(seenNullDestination, (std::vector<bool>{true, false}));
}

TEST_F(FileFuncs, AFileThatVanishesBeforeTheAttributeResetGivesFailed) {
    realCalls = platform::NativeCalls();
    platform::NativeFileCalls racing = realCalls;
    racing.NtSetInformationFile = VanishingSetInformation;
    const platform::NativeCallsOverride seam(racing);
    vanishing = MakeFile(L"gone-soon.tmp");
    EXPECT_EQ(files.DeleteFile(vanishing), cFileFuncs::kFailed);
    EXPECT_FALSE(FileExists(vanishing));
    vanishing = MakeFile(L"gone-too.tmp");
    files.SafeKill(vanishing);  // silent all the same
}

TEST_F(FileFuncs, DeleteFileFailsRatherThanRaisesWhenMemoryRunsOut) {
    const std::wstring path = MakeFile(L"no-memory.tmp");
    std::wstring argument = path;  // moved in: the call itself allocates nothing
    testing_support::allocationsFail = true;
    const int32_t result = files.DeleteFile(std::move(argument));
    testing_support::allocationsFail = false;
    EXPECT_EQ(result, cFileFuncs::kFailed);
    EXPECT_TRUE(FileExists(path));
}

TEST_F(FileFuncs, ArgumentsAreTakenByValue) {
    std::wstring path = MakeFile(L"keep-name.tmp");
    const std::wstring before = path;
    files.DeleteFile(path);
    EXPECT_EQ(path, before);
}

}  // namespace
