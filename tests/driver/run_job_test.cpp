// The job's catch-all: a pass that throws ends the job early with a named entry, and
// nothing leaves RunJob, not even when memory has run out for the entry itself.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "activitylog/activity_log.h"
#include "driver/run_sequence.h"
#include "pendinglist/pending_reboot_files.h"
#include "platform/win32.h"
#include "support/failing_allocations.h"
#include "support/log_reader.h"
#include "support/pass_lines.h"
#include "support/test_files.h"

namespace basQuorvaneService {
namespace {

using testing_support::Ansi;
using testing_support::ParseLog;
using testing_support::Titled;
namespace texts = testing_support::texts;
using testing_support::ReadBytes;

// RunJob loads the real list beside the test executable (missing: created empty) and
// writes the real log beside it.
class RunJobTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override {
        testing_support::allocationsFail = false;
        JobCleanupPass = &basPendingRebootFiles::CleanupPass;
        Reset();
    }
    static void Reset() {
        for (const std::wstring& p :
             {basPendingRebootFiles::ListFilePath(), basPendingRebootFiles::ListFilePath() + L".bad",
              LogFilePath()}) {
            ::DeleteFileW(p.c_str());
        }
        DebugMode = false;
        ClearError();
    }
};

TEST_F(RunJobTest, AThrowingPassEndsTheJobWithARunEntryNamingTheFailure) {
    struct Case {
        void (*pass)();
        std::string header;
    } cases[] = {
        {[] { throw std::runtime_error("unexpected"); }, "0:51:Internal error"},
        {[] { throw std::bad_alloc(); }, "0:7:Out of memory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        ::DeleteFileW(LogFilePath().c_str());
        JobCleanupPass = c.pass;
        RunJob();
        const auto entries = ParseLog(ReadBytes(LogFilePath()));
        ASSERT_EQ(entries.size(), 3u);
        EXPECT_EQ(entries[0].message, Titled(texts::kLoadingList));
        EXPECT_EQ(entries[1].message, Titled(texts::kPreparingList));
        EXPECT_EQ(entries[2].message, "(QuorvaneService.Run)");
        EXPECT_EQ(entries[2].errorPart, c.header);
        EXPECT_EQ(CurrentError.Number, 0) << "the failure stayed recorded after its entry";
        EXPECT_TRUE(CurrentError.Description.empty());
    }
}

TEST_F(RunJobTest, WhenMemoryHasRunOutTheEntriesAreLostAndNothingLeaves) {
    testing_support::allocationsFail = true;
    const bool written = WriteLog(L"before", true);
    testing_support::allocationsFail = false;
    EXPECT_FALSE(written) << "nothing to format the entry in";
    ASSERT_TRUE(WriteLog(L"after", true));

    JobCleanupPass = [] {
        testing_support::allocationsFail = true;
        throw std::bad_alloc();
    };
    RunJob();  // a throw out of here would end the test program
    const bool stillFailing = testing_support::allocationsFail;
    testing_support::allocationsFail = false;
    EXPECT_TRUE(stillFailing);
    EXPECT_EQ(CurrentError.Number, 0);

    const auto messages = testing_support::Messages(ParseLog(ReadBytes(LogFilePath())));
    EXPECT_EQ(messages, (std::vector<std::string>{"after", Titled(texts::kLoadingList),
                                                  Titled(texts::kPreparingList)}));
}

}  // namespace
}  // namespace basQuorvaneService
