// The whole job under Wine's service control manager: a real list, real files, the
// activity log and the session manager's delete-at-restart value.
#include <gtest/gtest.h>

#include "platform/win32.h"
#include "support/list_writer.h"
#include "support/log_reader.h"
#include "support/pass_lines.h"
#include "support/pending_renames.h"
#include "support/service_sandbox.h"

namespace {

using namespace testing_support;
using namespace testing_support::texts;

TEST(CleanupRun, DoesTheWholeJobAndASecondRunFindsTheDeletedFilesGone) {
    PendingRenamesGuard restore;
    ServiceSandbox sandbox;
    TempDir files;
    const std::wstring deletable = files / L"delete-me.tmp";
    const std::wstring readOnly = files / L"read-only.tmp";
    const std::wstring missing = files / L"missing.tmp";
    const std::wstring directory = files / L"a-directory";
    const std::wstring flagged = files / L"flagged.tmp";
    const std::wstring relative = L"relative.tmp";
    WriteBytes(deletable, "x");
    WriteBytes(readOnly, "x");
    ::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    ::CreateDirectoryW(directory.c_str(), nullptr);
    WriteBytes(flagged, "x");
    const std::string list = ListFileBytes(
        {{deletable}, {readOnly}, {missing}, {directory}, {flagged, 7, L"kept"}, {relative}});
    WriteBytes(sandbox.ListPath(), list);

    sandbox.RunOnce(L"/debugmode");
    EXPECT_EQ(sandbox.QueryState(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(Messages(ParseLog(sandbox.ReadLog())),
              DebugRun({Start(deletable), Deleted(deletable), Start(readOnly),
                              Scheduled(readOnly), Start(missing), Gone(missing), Start(directory),
                              Gone(directory), Start(relative), Gone(relative)}));
    EXPECT_FALSE(FileExists(deletable));
    EXPECT_TRUE(DirectoryExists(directory));
    EXPECT_TRUE(FileExists(flagged));
    // The read-only file waits for the restart in the service's own folder, under a name
    // of its own that the request names: no folder of a user's stands on that path.
    EXPECT_FALSE(FileExists(readOnly));
    const auto staged = sandbox.StagedFiles();
    ASSERT_EQ(staged.size(), 1u);
    EXPECT_TRUE(HasPendingDelete(staged[0]));
    EXPECT_FALSE(HasPendingDelete(readOnly));
    EXPECT_FALSE(HasPendingDelete(deletable));
    EXPECT_EQ(ReadBytes(sandbox.ListPath()), list) << "nothing writes the list back";

    // The list still names every entry, so the next run takes them up again.
    const std::string firstLog = sandbox.ReadLog();
    sandbox.Start();
    ASSERT_TRUE(sandbox.WaitUntilFinished(120000));
    const auto all = Messages(ParseLog(sandbox.ReadLog()));
    const size_t firstCount = Messages(ParseLog(firstLog)).size();
    ASSERT_GT(all.size(), firstCount);
    EXPECT_EQ(std::vector<std::string>(all.begin() + static_cast<long>(firstCount), all.end()),
              DebugRun({Start(deletable), Gone(deletable), Start(readOnly),
                              Deleted(readOnly), Start(missing), Gone(missing), Start(directory),
                              Gone(directory), Start(relative), Gone(relative)}));
    // The second start found the staged file deletable, removed it and said so at its entry.
    EXPECT_TRUE(sandbox.StagedFiles().empty());
}

TEST(CleanupRun, AnUnreadableListIsKeptAsideAndTheRunGoesOn) {
    ServiceSandbox sandbox;
    WriteBytes(sandbox.ListPath(), "not a list");
    sandbox.RunOnce(L"/debugmode");
    const auto entries = ParseLog(sandbox.ReadLog());
    ASSERT_EQ(entries.size(), 7u);
    EXPECT_EQ(entries[2].message, "(PendingRebootFiles.Load)");
    EXPECT_EQ(entries[2].errorPart, "0:62:Input past end of file");
    EXPECT_EQ(entries[3].message, Titled(kPreparingList));
    EXPECT_EQ(ReadBytes(sandbox.ListPath() + L".bad"), "not a list");
    EXPECT_EQ(ReadBytes(sandbox.ListPath()).size(), 46u);
}

TEST(CleanupRun, AMissingListIsCreatedEmpty) {
    ServiceSandbox sandbox;
    sandbox.RunOnce();
    EXPECT_EQ(ReadBytes(sandbox.ListPath()), ListFileBytes({}));
    EXPECT_EQ(Messages(ParseLog(sandbox.ReadLog())).size(), 4u);
}

TEST(CleanupRun, AStopControlDuringThePassShowsStopPendingAndThePassCompletes) {
    ServiceSandbox sandbox;
    TempDir files;
    std::vector<ListedFile> entries;
    const int kEntries = 20000;
    for (int i = 0; i < kEntries; ++i) entries.push_back({files / (L"f" + std::to_wstring(i))});
    WriteBytes(sandbox.ListPath(), ListFileBytes(entries));

    sandbox.Register();
    sandbox.Start();  // returns once the service reports running
    EXPECT_EQ(sandbox.SendControl(SERVICE_CONTROL_INTERROGATE), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(sandbox.SendControl(SERVICE_CONTROL_STOP), static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_EQ(sandbox.QueryState(), static_cast<DWORD>(SERVICE_STOP_PENDING));
    ASSERT_TRUE(sandbox.WaitUntilFinished(600000));
    EXPECT_EQ(sandbox.QueryState(), static_cast<DWORD>(SERVICE_STOPPED));

    const auto lines = Messages(ParseLog(sandbox.ReadLog()));
    ASSERT_EQ(lines.size(), 4u + 2u * kEntries) << "the pass was not cut short";
    EXPECT_EQ(lines[2 + 2 * (kEntries - 1)], Start(entries.back().path));
    EXPECT_EQ(lines[3 + 2 * (kEntries - 1)], Gone(entries.back().path));
    EXPECT_EQ(lines.back(), Titled(kStopped));
}

}  // namespace
