// Full runs of the service under Wine's service control manager: registered with
// "sc create", started with "net start", observed through the service's state and its
// activity log.
#include <gtest/gtest.h>

#include "platform/win32.h"
#include "support/log_reader.h"
#include "support/pass_lines.h"
#include "support/service_sandbox.h"

namespace {

using namespace testing_support;
using namespace testing_support::texts;

// The list file with no entries, as the product's other programs leave it.
const std::string kEmptyList(
    "\x1F\x00Quorvane Pending Reboot List DB\x03\x00" "3.0\x00\x00\x00\x00\x00\x00\x00\x00", 46);

std::vector<std::string> PlainRun() {
    return {Titled(kLoadingList), Titled(kPreparingList), Titled(kCleanupDone), Titled(kStopped)};
}

TEST(ServiceRun, PlainRunAppendsTheFourPhaseEntriesAndStops) {
    ServiceSandbox sandbox;
    WriteBytes(sandbox.ListPath(), kEmptyList);
    sandbox.RunOnce();

    EXPECT_EQ(sandbox.QueryState(), static_cast<DWORD>(SERVICE_STOPPED));
    const auto entries = ParseLog(sandbox.ReadLog());
    EXPECT_EQ(Messages(entries), PlainRun());
    for (const auto& entry : entries) {
        EXPECT_EQ(entry.errorPart, "0:0:");
        EXPECT_FALSE(entry.dateTime.empty());
    }
}

TEST(ServiceRun, ASecondRunAppendsAfterTheFirst) {
    ServiceSandbox sandbox;
    WriteBytes(sandbox.ListPath(), kEmptyList);
    sandbox.RunOnce();
    const std::string first = sandbox.ReadLog();
    ASSERT_FALSE(first.empty());

    sandbox.Start();
    ASSERT_TRUE(sandbox.WaitUntilFinished(120000));
    const std::string both = sandbox.ReadLog();
    EXPECT_EQ(both.substr(0, first.size()), first) << "earlier entries stay as they were";
    std::vector<std::string> twice = PlainRun();
    const auto once = PlainRun();
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(Messages(ParseLog(both)), twice);
}

TEST(ServiceRun, DebugSwitchInAnyCaseAddsTheStartEntryAndTheSeparator) {
    for (const wchar_t* arguments : {L"/DeBugMode", L"other /DEBUGMODEextra"}) {
        ServiceSandbox sandbox;
        WriteBytes(sandbox.ListPath(), kEmptyList);
        sandbox.RunOnce(arguments);
        EXPECT_EQ(Messages(ParseLog(sandbox.ReadLog())), DebugRun({}));
        EXPECT_EQ(sandbox.QueryState(), static_cast<DWORD>(SERVICE_STOPPED));
    }
}

TEST(ServiceRun, TheSwitchLedByADashIsNotDebugMode) {
    ServiceSandbox sandbox;
    WriteBytes(sandbox.ListPath(), kEmptyList);
    sandbox.RunOnce(L"-debugmode");
    EXPECT_EQ(Messages(ParseLog(sandbox.ReadLog())), PlainRun());
}

TEST(ServiceRun, ARunWhoseLogCannotBeWrittenStillEndsStopped) {
    ServiceSandbox sandbox;
    WriteBytes(sandbox.ListPath(), kEmptyList);
    // A directory where the log file should be: every entry is lost.
    ASSERT_TRUE(::CreateDirectoryW(sandbox.LogPath().c_str(), nullptr));
    sandbox.RunOnce(L"/debugmode");
    EXPECT_EQ(sandbox.QueryState(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_TRUE(DirectoryExists(sandbox.LogPath()));
}

}  // namespace
