// A listed path through a folder that its owner has made a link to somewhere else, or
// that is a link itself: the service runs as LocalSystem, so a delete that follows the
// link would remove any file on the system. Links are made on the Unix side of the
// prefix, where a symbolic link is a reparse point to Windows programs.
#include <gtest/gtest.h>

#include "fault_support.h"
#include "platform/handles.h"
#include "platform/win32.h"
#include "support/list_writer.h"
#include "support/log_reader.h"
#include "support/pending_renames.h"
#include "support/service_sandbox.h"
#include "support/unix_side.h"

namespace {

using namespace testing_support;
using namespace fault_support;

class Links : public ::testing::Test {
protected:
    PendingRenamesGuard restoreRenames;
    ServiceSandbox sandbox;
    TempDir files;
    std::wstring victim = files / L"victim\\";
    std::wstring user = files / L"user\\";

    void SetUp() override {
        ASSERT_TRUE(::CreateDirectoryW(victim.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW(user.c_str(), nullptr));
    }
    std::wstring VictimFile(const std::wstring& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        WriteBytes(victim + name, "victim " + Ansi(name));
        ::SetFileAttributesW((victim + name).c_str(), attributes);
        return victim + name;
    }
    void ExpectVictimWhole(const std::wstring& name, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE) {
        EXPECT_EQ(ReadBytes(victim + name), "victim " + Ansi(name)) << Ansi(name);
        EXPECT_EQ(::GetFileAttributesW((victim + name).c_str()) & FILE_ATTRIBUTE_READONLY,
                  attributes & FILE_ATTRIBUTE_READONLY);
    }
    std::vector<LogEntryBytes> PassEntries() const {
        // Drop the run's own entries: started, loading, preparing; done, separator, stopped.
        auto log = ParseLog(sandbox.ReadLog());
        return std::vector<LogEntryBytes>(log.begin() + 3, log.end() - 3);
    }
};

TEST_F(Links, NoEntryReachesAFileThroughALinkAndNothingIsScheduledForOne) {
    // A linked folder right below the drive root, one deeper in the path, a linked last
    // component, a read-only victim and a victim held open without delete sharing.
    const std::wstring topLink = L"C:\\qlink-" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(MakeUnixLink(victim, topLink));
    ::CreateDirectoryW((user + L"deeper").c_str(), nullptr);
    ASSERT_TRUE(MakeUnixLink(victim, user + L"deeper\\link"));
    ASSERT_TRUE(MakeUnixLink(victim + L"v3.txt", user + L"flink.txt"));
    VictimFile(L"v1.txt");
    VictimFile(L"v2.txt");
    VictimFile(L"v3.txt");
    VictimFile(L"ro.txt", FILE_ATTRIBUTE_READONLY);
    VictimFile(L"held.txt");
    platform::UniqueFile held(::CreateFileW((victim + L"held.txt").c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);

    const std::vector<std::wstring> listed = {
        topLink + L"\\v1.txt", user + L"deeper\\link\\v2.txt", user + L"flink.txt",
        topLink + L"\\ro.txt", user + L"deeper\\link\\held.txt",
    };
    std::vector<ListedFile> entries(listed.begin(), listed.end());
    WriteBytes(sandbox.ListPath(), ListFileBytes(entries));
    const auto renamesBefore = ReadPendingRenames();

    sandbox.RunOnce(L"/debugmode");
    ExpectEndedStopped(sandbox);
    held.reset();
    RunUnixScript("rm -f '" + UnixPathOf(topLink) + "'");

    for (const wchar_t* name : {L"v1.txt", L"v2.txt", L"v3.txt", L"held.txt"}) ExpectVictimWhole(name);
    ExpectVictimWhole(L"ro.txt", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(ReadPendingRenames(), renamesBefore) << "a restart request names a victim or a link";

    const auto pass = PassEntries();
    ASSERT_EQ(pass.size(), listed.size() * 2);
    for (size_t i = 0; i < listed.size(); ++i) {
        SCOPED_TRACE(Ansi(listed[i]));
        EXPECT_EQ(pass[2 * i].message, Start(listed[i]));
        EXPECT_EQ(pass[2 * i].errorPart, "0:0:");
        EXPECT_EQ(pass[2 * i + 1].message, Refused(listed[i]));
        EXPECT_EQ(pass[2 * i + 1].errorPart.rfind("0:4395:", 0), 0u) << pass[2 * i + 1].errorPart;
    }
    // The run's closing entries carry no error again.
    EXPECT_EQ(ParseLog(sandbox.ReadLog()).back().errorPart, "0:0:");
}

// A file in use without delete sharing, in a folder no one else can change, is requested
// for the restart by its path, once, however many times the service starts before that
// restart comes. A read-only file is staged at the first start and deleted at the second.
TEST_F(Links, AnUndeletableFileIsScheduledOnceOverManyStarts) {
    const std::wstring readOnly = user + L"ro.txt";
    const std::wstring inUse = user + L"in-use.txt";
    WriteBytes(readOnly, "x");
    ::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    WriteBytes(inUse, "y");
    platform::UniqueFile held(::CreateFileW(inUse.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    WriteBytes(sandbox.ListPath(), ListFileBytes({{readOnly}, {inUse}}));

    for (int start = 0; start < 3; ++start) {
        ::DeleteFileW(sandbox.LogPath().c_str());
        if (start == 0) {
            sandbox.RunOnce();
        } else {
            sandbox.Start();
            ASSERT_TRUE(sandbox.WaitUntilFinished(120000));
        }
        ExpectEndedStopped(sandbox);
        const auto messages = Messages(ParseLog(sandbox.ReadLog()));
        // The second start deletes the staged file and says so at its entry.
        const std::string readOnlyLine = start == 0 ? Scheduled(readOnly) : start == 1 ? Deleted(readOnly) : Gone(readOnly);
        EXPECT_NE(std::find(messages.begin(), messages.end(), readOnlyLine), messages.end()) << start;
        EXPECT_NE(std::find(messages.begin(), messages.end(), Scheduled(inUse)), messages.end()) << start;
    }
    EXPECT_FALSE(FileExists(readOnly));
    EXPECT_TRUE(FileExists(inUse));
    const auto renames = ReadPendingRenames();
    EXPECT_EQ(std::count(renames.begin(), renames.end(), L"\\??\\" + inUse), 1);
    EXPECT_EQ(std::count(renames.begin(), renames.end(), L"\\??\\" + readOnly), 0);
}

}  // namespace
