// The list file in the ways it goes wrong beside a running service: held by another
// program, replaced by a folder, read-only, damaged, claiming entries it does not hold.
// Every run must end stopped, handle what it can, and leave the list's bytes somewhere.
#include <gtest/gtest.h>

#include <algorithm>

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

const std::string kLoadFailure = "(PendingRebootFiles.Load)";
const std::string kSaveFailure = "(PendingRebootFiles.Save)";

class ListFileFault : public ::testing::Test {
protected:
    ServiceSandbox sandbox;
    TempDir files;

    std::wstring Damaged() const { return sandbox.ListPath() + L".bad"; }

    // Files that exist, named by the list.
    std::vector<std::wstring> MakeFiles(int count) {
        std::vector<std::wstring> paths;
        for (int i = 0; i < count; ++i) {
            paths.push_back(files / (L"listed-" + std::to_wstring(i) + L".tmp"));
            WriteBytes(paths.back(), "x");
        }
        return paths;
    }
    static std::string ListOf(const std::vector<std::wstring>& paths) {
        std::vector<ListedFile> entries;
        for (const auto& p : paths) entries.push_back({p});
        return ListFileBytes(entries);
    }
    void ExpectAllThere(const std::vector<std::wstring>& paths) const {
        for (const auto& p : paths) EXPECT_TRUE(FileExists(p)) << "deleted from an unreadable list";
    }
    std::vector<LogEntryBytes> Log() const { return ParseLog(sandbox.ReadLog()); }
};

TEST_F(ListFileFault, HeldExclusivelyTheListIsLeftAsItIsAndTheNextRunTakesItUp) {
    const auto paths = MakeFiles(2);
    const std::string list = ListOf(paths);
    WriteBytes(sandbox.ListPath(), list);
    {
        platform::UniqueFile held(::CreateFileW(sandbox.ListPath().c_str(),
                                                GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        sandbox.RunOnce(L"/debugmode");
        ExpectEndedStopped(sandbox);
    }
    EXPECT_EQ(ReadBytes(sandbox.ListPath()), list);
    EXPECT_FALSE(FileExists(Damaged()));
    ExpectAllThere(paths);
    // No rewrite is tried, so no Save entry claims one.
    const auto log = Log();
    ASSERT_EQ(Messages(log), DebugRun({}, {kLoadFailure}));
    EXPECT_EQ(log[2].errorPart, "0:70:Permission denied");

    const size_t before = log.size();
    sandbox.Start();
    ASSERT_TRUE(sandbox.WaitUntilFinished(120000));
    ExpectEndedStopped(sandbox);
    const auto all = Messages(Log());
    EXPECT_EQ(std::vector<std::string>(all.begin() + static_cast<long>(before), all.end()),
              DebugRun({Start(paths[0]), Deleted(paths[0]), Start(paths[1]), Deleted(paths[1])}));
}

TEST_F(ListFileFault, AFolderInPlaceOfTheListIsNeitherReplacedNorEntered) {
    ASSERT_TRUE(::CreateDirectoryW(sandbox.ListPath().c_str(), nullptr));
    const std::wstring inside = sandbox.ListPath() + L"\\inside.txt";
    WriteBytes(inside, "kept");
    sandbox.RunOnce(L"/debugmode");
    ExpectEndedStopped(sandbox);
    EXPECT_TRUE(DirectoryExists(sandbox.ListPath()));
    EXPECT_EQ(ReadBytes(inside), "kept");
    EXPECT_FALSE(FileExists(Damaged()));
    EXPECT_EQ(Messages(Log()), DebugRun({}, {kSaveFailure}));
}

TEST_F(ListFileFault, AReadOnlyListIsReadAndKeptAsItWas) {
    const auto paths = MakeFiles(1);
    const std::wstring missing = files / L"missing.tmp";
    const std::string list = ListOf({paths[0], missing});
    WriteBytes(sandbox.ListPath(), list);
    ASSERT_TRUE(::SetFileAttributesW(sandbox.ListPath().c_str(), FILE_ATTRIBUTE_READONLY));
    sandbox.RunOnce(L"/debugmode");
    ExpectEndedStopped(sandbox);
    EXPECT_EQ(Messages(Log()),
              DebugRun({Start(paths[0]), Deleted(paths[0]), Start(missing), Gone(missing)}));
    EXPECT_EQ(ReadBytes(sandbox.ListPath()), list);
    EXPECT_TRUE(::GetFileAttributesW(sandbox.ListPath().c_str()) & FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesW(sandbox.ListPath().c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Damaged lists: the bytes move aside to ".bad" whole, a fresh list takes their place,
// and no entry of them reaches the pass.
TEST_F(ListFileFault, ADamagedListIsKeptAsideWholeAndNoneOfItsEntriesIsTouched) {
    const auto paths = MakeFiles(3);
    const std::string whole = ListOf(paths);
    const std::string secondPath = Ansi(paths[1]);
    const size_t secondPathAt = whole.find(secondPath);
    ASSERT_NE(secondPathAt, std::string::npos);
    const auto withBytes = [&whole](size_t at, const std::string& bytes) {
        std::string damaged = whole;
        damaged.replace(at, bytes.size(), bytes);
        return damaged;
    };
    const struct {
        const char* name;
        std::string bytes;
        const char* errorPart;
    } damages[] = {
        {"cut in the middle of an entry's path", whole.substr(0, secondPathAt + secondPath.size() / 2),
         "0:62:Input past end of file"},
        {"an element count and Count far above the entries held",
         withBytes(42, std::string("\xFF\xFF\xFF\x7F", 4))
             .replace(whole.size() - 4, 4, std::string("\xFF\xFF\xFF\x7F", 4)),
         "0:62:Input past end of file"},
        {"a Count far above the entries held",
         withBytes(whole.size() - 4, std::string("\x00\x00\x00\x40", 4)),
         "0:321:Invalid file format"},
    };
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.name);
        ::DeleteFileW(sandbox.LogPath().c_str());
        ::DeleteFileW(Damaged().c_str());
        WriteBytes(sandbox.ListPath(), damage.bytes);
        sandbox.RunOnce(L"/debugmode");
        ExpectEndedStopped(sandbox);
        EXPECT_EQ(ReadBytes(Damaged()), damage.bytes);
        EXPECT_EQ(ReadBytes(sandbox.ListPath()), ListFileBytes({}));
        ExpectAllThere(paths);
        const auto log = Log();
        ASSERT_EQ(Messages(log), DebugRun({}, {kLoadFailure}));
        EXPECT_EQ(log[2].errorPart, damage.errorPart);
    }
}

// A copy is never replaced: a ".bad" name held by a folder or by an open file is passed
// over for the next free one, and the list is rewritten as for any damage.
TEST_F(ListFileFault, ACopyNameHeldByAFolderOrAnOpenFileIsPassedOver) {
    const auto paths = MakeFiles(2);
    const std::string damaged = ListOf(paths).substr(0, 60);
    for (const bool folder : {true, false}) {
        SCOPED_TRACE(folder ? "a folder named .bad" : "an older .bad held open by another program");
        ::DeleteFileW(sandbox.LogPath().c_str());
        WriteBytes(sandbox.ListPath(), damaged);
        platform::UniqueFile held;
        if (folder) {
            ASSERT_TRUE(::CreateDirectoryW(Damaged().c_str(), nullptr));
        } else {
            WriteBytes(Damaged(), "an older damaged list");
            held.reset(::CreateFileW(Damaged().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(held);
        }
        sandbox.RunOnce(L"/debugmode");
        ExpectEndedStopped(sandbox);
        EXPECT_EQ(ReadBytes(Damaged() + L".1"), damaged) << "the damaged list was lost";
        EXPECT_EQ(ReadBytes(sandbox.ListPath()), ListFileBytes({}));
        ExpectAllThere(paths);
        const auto log = Log();
        ASSERT_EQ(Messages(log), DebugRun({}, {kLoadFailure}));
        EXPECT_EQ(log[2].errorPart, "0:62:Input past end of file");
        held.reset();
        if (folder) {
            EXPECT_TRUE(DirectoryExists(Damaged()));
            ::RemoveDirectoryW(Damaged().c_str());
        } else {
            EXPECT_EQ(ReadBytes(Damaged()), "an older damaged list");
            ::DeleteFileW(Damaged().c_str());
        }
        ::DeleteFileW((Damaged() + L".1").c_str());
    }
}

// Each damaged list keeps its own copy; with all ten names held, the eleventh stays where
// it is, unwritten, and Load's second entry says why.
TEST_F(ListFileFault, EveryDamagedListKeepsACopyOfItsOwnUntilTheNamesRunOut) {
    const auto paths = MakeFiles(3);
    const std::string first = ListOf(paths).substr(0, 60);
    const std::string second = ListOf({paths[2], paths[1]}).substr(0, 70);
    const std::string eleventh = ListOf({paths[0]}).substr(0, 50);
    WriteBytes(sandbox.ListPath(), first);
    sandbox.RunOnce(L"/debugmode");
    WriteBytes(sandbox.ListPath(), second);
    sandbox.Start();
    ASSERT_TRUE(sandbox.WaitUntilFinished(120000));
    EXPECT_EQ(ReadBytes(Damaged()), first);
    EXPECT_EQ(ReadBytes(Damaged() + L".1"), second);
    EXPECT_EQ(ReadBytes(sandbox.ListPath()), ListFileBytes({}));

    for (int copy = 2; copy < 10; ++copy) {
        WriteBytes(Damaged() + L"." + std::to_wstring(copy), "copy " + std::to_string(copy));
    }
    WriteBytes(sandbox.ListPath(), eleventh);
    ::DeleteFileW(sandbox.LogPath().c_str());
    sandbox.Start();
    ASSERT_TRUE(sandbox.WaitUntilFinished(120000));
    ExpectEndedStopped(sandbox);
    EXPECT_EQ(ReadBytes(sandbox.ListPath()), eleventh) << "the damaged list was lost";
    EXPECT_EQ(ReadBytes(Damaged()), first);
    EXPECT_EQ(ReadBytes(Damaged() + L".1"), second);
    for (int copy = 2; copy < 10; ++copy) {
        EXPECT_EQ(ReadBytes(Damaged() + L"." + std::to_wstring(copy)), "copy " + std::to_string(copy));
    }
    EXPECT_FALSE(FileExists(Damaged() + L".10"));
    ExpectAllThere(paths);
    const auto log = Log();
    ASSERT_EQ(Messages(log), DebugRun({}, {kLoadFailure, kLoadFailure}));
    EXPECT_EQ(log[2].errorPart, "0:62:Input past end of file");
    EXPECT_EQ(log[3].errorPart, "0:58:File already exists");
}

// A writer that shares reading, writing and deleting may be in the middle of its write:
// the list is not read, so nothing judges it damaged, moves it or rewrites it.
TEST_F(ListFileFault, AListHeldByAWriterThatSharesEverythingIsLeftWithItsCopies) {
    const auto paths = MakeFiles(3);
    const std::string list = ListOf(paths);
    WriteBytes(sandbox.ListPath(), list);
    WriteBytes(Damaged(), "an older damaged list");
    {
        platform::UniqueFile writer(::CreateFileW(
            sandbox.ListPath().c_str(), GENERIC_WRITE,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(writer);
        sandbox.RunOnce(L"/debugmode");
        ExpectEndedStopped(sandbox);
    }
    EXPECT_EQ(ReadBytes(sandbox.ListPath()), list);
    EXPECT_EQ(ReadBytes(Damaged()), "an older damaged list");
    EXPECT_FALSE(FileExists(Damaged() + L".1"));
    ExpectAllThere(paths);
    const auto log = Log();
    ASSERT_EQ(Messages(log), DebugRun({}, {kLoadFailure}));
    EXPECT_EQ(log[2].errorPart, "0:70:Permission denied");
}

// Beside a folder so deep that the list and the log pass the classic path limit (the
// executable's own path within it), or one whose name the ANSI code page cannot hold.
TEST_F(ListFileFault, AListBesideADeepOrUnicodeFolderIsReadAndItsFilesHandled) {
    const std::wstring root = TempDir().Path();  // the length of a sandbox's own folder
    const size_t deepLength = 239 - root.size() - 1;  // the folder 239 characters with its backslash
    std::wstring deep;
    while (deep.size() < deepLength) {
        if (!deep.empty()) deep += L'\\';
        deep += std::wstring(std::min<size_t>(100, deepLength - deep.size()), L'd');
    }
    for (const std::wstring& folder : {deep, std::wstring(L"quorvane-\x0E01\x0E02")}) {
        SCOPED_TRACE(platform::ToUtf8(folder.substr(0, 12)));
        ServiceSandbox placed(L"QuorvaneService.exe", folder);
        if (folder == deep) {
            ASSERT_LE(placed.ExePath().size(), 259u);
            ASSERT_GT(placed.LogPath().size(), 260u);
        } else {
            ASSERT_FALSE(platform::ToAnsiExact(folder)) << "the code page holds the name";
        }
        const auto paths = MakeFiles(2);
        const std::string list = ListOf(paths);
        WriteBytes(placed.ListPath(), list);
        placed.RunOnce(L"/debugmode");
        ExpectEndedStopped(placed);
        EXPECT_EQ(ReadBytes(placed.ListPath()), list);
        for (const auto& p : paths) EXPECT_FALSE(FileExists(p));
        EXPECT_EQ(Messages(ParseLog(placed.ReadLog())),
                  DebugRun({Start(paths[0]), Deleted(paths[0]), Start(paths[1]), Deleted(paths[1])}));
    }
}

}  // namespace
