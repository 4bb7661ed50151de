#include "activitylog/activity_log.h"

#include <gtest/gtest.h>

#include "platform/handles.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "support/log_reader.h"
#include "support/log_texts.h"
#include "support/test_files.h"

namespace basQuorvaneService {
namespace {

using testing_support::Ansi;
using testing_support::FileExists;
using testing_support::ParseLog;
using testing_support::ReadBytes;

// These tests write the real log of the test executable, beside it.
class ActivityLog : public ::testing::Test {
protected:
    void SetUp() override {
        ::DeleteFileW(LogFilePath().c_str());
        DebugMode = false;
        ClearError();
    }
    void TearDown() override {
        ::DeleteFileW(LogFilePath().c_str());
        DebugMode = false;
        ClearError();
    }
};

TEST_F(ActivityLog, PathIsTheExecutableBaseNameFollowedByLogTxtInItsDirectory) {
    EXPECT_EQ(LogFilePath(), testing_support::BinDir() + L"activity_log_testsLog.txt");
    const std::wstring dir = AppDir();
    ASSERT_GE(dir.size(), 2u);
    EXPECT_EQ(dir.back(), L'\\');
    EXPECT_NE(dir[dir.size() - 2], L'\\');
}

TEST_F(ActivityLog, EntryNotAlwaysWrittenOutsideDebugModeTouchesNothing) {
    EXPECT_FALSE(WriteLog(L"hidden", false));
    EXPECT_FALSE(FileExists(LogFilePath())) << "not even created";

    ASSERT_TRUE(WriteLog(L"first", true));
    const std::string before = ReadBytes(LogFilePath());
    EXPECT_FALSE(WriteLog(L"hidden", false));
    EXPECT_EQ(ReadBytes(LogFilePath()), before);
}

TEST_F(ActivityLog, DebugModeWritesWhateverTheFlag) {
    DebugMode = true;
    EXPECT_TRUE(WriteLog(L"a", false));
    EXPECT_TRUE(WriteLog(L"b", true));
    const auto entries = ParseLog(ReadBytes(LogFilePath()));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].message, "a");
    EXPECT_EQ(entries[1].message, "b");
}

TEST_F(ActivityLog, FirstEntryCreatesTheFileAndLaterOnesAppend) {
    ASSERT_TRUE(WriteLog(L"one", true));
    const std::string first = ReadBytes(LogFilePath());
    ASSERT_TRUE(WriteLog(L"two", true));
    const std::string both = ReadBytes(LogFilePath());
    EXPECT_EQ(both.substr(0, first.size()), first);
    const auto entries = ParseLog(both);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].message, "two");
    EXPECT_EQ(entries[1].errorPart, "0:0:");
}

TEST_F(ActivityLog, HeaderHoldsTheLocalDateAndTimeInTheUserLocaleFormat) {
    auto format = [] {
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        char date[128] = {}, time[128] = {};
        ::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 128);
        ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, 128);
        return std::string(date) + " " + time;
    };
    const std::string before = format();
    ASSERT_TRUE(WriteLog(L"x", true));
    const std::string after = format();
    const auto entries = ParseLog(ReadBytes(LogFilePath()));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].dateTime == before || entries[0].dateTime == after)
        << entries[0].dateTime << " vs " << before;
}

TEST_F(ActivityLog, HeaderNamesTheRecordedFailure) {
    RecordError(53, L"File not found");
    ASSERT_TRUE(WriteLog(L"(PendingRebootFiles.Load)", true));
    ClearError();
    ASSERT_TRUE(WriteLog(L"after", true));
    const auto entries = ParseLog(ReadBytes(LogFilePath()));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].errorPart, "0:53:File not found");
    EXPECT_EQ(entries[1].errorPart, "0:0:");
}

TEST_F(ActivityLog, TextIsWrittenInTheAnsiCodePage) {
    ASSERT_EQ(::GetACP(), 936u) << "the tests run under the Chinese code page (scripts/test.sh)";
    ASSERT_TRUE(WriteLog(testing_support::TitledText(testing_support::texts::kCleanupDone), true));
    const auto entries = ParseLog(ReadBytes(LogFilePath()));
    ASSERT_EQ(entries.size(), 1u);
    // GBK: 清 C7E5, 除 B3FD, 模 C4A3, 块 BFE9, 完 CDEA, 成 B3C9
    EXPECT_EQ(entries[0].message,
              "Zintra\xC7\xE5\xB3\xFD\xC4\xA3\xBF\xE9\xC7\xE5\xB3\xFD\xCD\xEA\xB3\xC9");
}

// Never a best-fit look-alike, which would read as other text.
TEST_F(ActivityLog, CharactersOutsideTheCodePageBecomeTheDefaultCharacter) {
    // Thai has no form in code page 936; superscript two, A with macron and A with grave
    // have best-fit ones there ("2", and the lower-case letters).
    ASSERT_TRUE(WriteLog(L"a\x0E01z \x00B2\x0100\x00C0", true));
    const auto entries = ParseLog(ReadBytes(LogFilePath()));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].message, "a?z ???");
    // The same conversion (log and message boxes) under 1252, where the product
    // signature's full-width hyphen and colon would become "-" and ":".
    EXPECT_EQ(platform::ToAnsi(L"Varnholt\xFF0DZintra\xFF1A\x2212 \x00E9", 1252),
              "Varnholt?Zintra?? \xE9");
}

TEST_F(ActivityLog, EntryIsLostWhileAnotherProgramHoldsTheFileExclusively) {
    ASSERT_TRUE(WriteLog(L"before", true));
    {
        platform::UniqueFile held(::CreateFileW(LogFilePath().c_str(), GENERIC_READ, 0, nullptr,
                                                OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_FALSE(WriteLog(L"lost", true));
    }
    EXPECT_TRUE(WriteLog(L"after", true));
    const auto messages = testing_support::Messages(ParseLog(ReadBytes(LogFilePath())));
    EXPECT_EQ(messages, (std::vector<std::string>{"before", "after"}));
}

}  // namespace
}  // namespace basQuorvaneService
