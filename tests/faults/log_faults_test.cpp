// An activity log that cannot be opened: its entries are lost, the run goes on to the
// stopped report, and every listed file is still handled. A log folder that cannot be
// written is in readonly_folder_test.cpp; a folder in place of the log file in
// tests/integration/service_run_test.cpp.
#include <gtest/gtest.h>

#include "fault_support.h"
#include "platform/handles.h"
#include "platform/win32.h"
#include "support/list_writer.h"
#include "support/log_reader.h"
#include "support/service_sandbox.h"

namespace {

using namespace testing_support;
using namespace fault_support;

// (A read-only log file is no such fault under Wine: running as root, it appends all the
// same.)
TEST(LogFault, ALogHeldExclusivelyLosesItsEntriesButNoneOfTheWork) {
    ServiceSandbox sandbox;
    TempDir files;
    std::vector<std::wstring> paths;
    std::vector<ListedFile> entries;
    for (int i = 0; i < 3; ++i) {
        paths.push_back(files / (L"listed-" + std::to_wstring(i) + L".tmp"));
        WriteBytes(paths.back(), "x");
        entries.push_back({paths.back()});
    }
    const std::string list = ListFileBytes(entries);
    WriteBytes(sandbox.ListPath(), list);
    const std::string earlier = "entries of an earlier run\r\n";
    WriteBytes(sandbox.LogPath(), earlier);
    {
        platform::UniqueFile holder(::CreateFileW(sandbox.LogPath().c_str(),
                                                  GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                  OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        sandbox.RunOnce(L"/debugmode");
        ExpectEndedStopped(sandbox);
    }
    for (const auto& p : paths) EXPECT_FALSE(FileExists(p));
    EXPECT_EQ(ReadBytes(sandbox.ListPath()), list);
    EXPECT_EQ(ReadBytes(sandbox.LogPath()), earlier) << "the log changed while it was held";

    // Released, the log takes the next run's entries, all of them.
    sandbox.Start();
    ASSERT_TRUE(sandbox.WaitUntilFinished(120000));
    ExpectEndedStopped(sandbox);
    std::vector<std::string> lines;
    for (const auto& p : paths) {
        lines.push_back(Start(p));
        lines.push_back(Gone(p));
    }
    EXPECT_EQ(Messages(ParseLog(sandbox.ReadLog())), DebugRun(lines));
}

}  // namespace
