#include "tools/log_runs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "support/log_texts.h"

namespace quorvane_tool {
namespace {

TEST(LogHeaderLine, TakesTimeNumbersAndDescriptionAndNothingElse) {
    const auto header = ParseHeaderLine(L"2026/12/7 10:00:01\t0:123:无效名字：x");
    ASSERT_TRUE(header);
    EXPECT_EQ(header->time, L"2026/12/7 10:00:01");
    EXPECT_EQ(header->errorLine, 0);
    EXPECT_EQ(header->errorNumber, 123);
    EXPECT_EQ(header->description, L"无效名字：x");
    EXPECT_EQ(ParseHeaderLine(L"t\t0:-2147483648:")->errorNumber, INT32_MIN);
    EXPECT_EQ(ParseHeaderLine(L"t\t0:0:")->description, L"");

    for (const wchar_t* line : {L"no tab 0:0:", L"\t0:0:", L"t\t0:0", L"t\tx:0:", L"t\t0::", L"t\t-:0:",
                                L"t\t0:2147483648:", L"t\t 0:0:", L""}) {
        EXPECT_FALSE(ParseHeaderLine(line)) << line;
    }
}

// A log as runs write it: a header line and a message line per entry.
struct LogLines {
    std::vector<std::wstring> lines;

    void Entry(const std::wstring& message, const std::wstring& time = L"2026/12/7 10:00:00",
               const std::wstring& numbers = L"0:0:") {
        lines.push_back(time + L"\t" + numbers);
        lines.push_back(message);
    }
    void Titled(const wchar_t* text) { Entry(testing_support::TitledText(text)); }
    void Pass(const wchar_t* label, const std::wstring& path, const std::wstring& numbers = L"0:0:") {
        Entry(testing_support::PassText(label, path), L"2026/12/7 10:00:00", numbers);
    }
    size_t Next() const { return lines.size(); }
};

// Three runs after a foreign line: one plain, one in debug mode (a stray line between its
// start and loading entries, the separator's empty line), one unfinished whose last
// header has no message yet.
LogLines ThreeRuns(std::vector<size_t>& runStarts) {
    using namespace testing_support::texts;
    LogLines log;
    log.lines.push_back(L"written by someone else");
    runStarts.push_back(log.Next());
    log.Titled(kLoadingList);
    log.Titled(kPreparingList);
    log.Pass(kStartLabel, L"C:\\a.tmp");
    log.Pass(kDeletedLabel, L"C:\\a.tmp");
    log.Pass(kStartLabel, L"C:\\b.tmp");
    log.Pass(kGoneLabel, L"C:\\b.tmp");
    log.Pass(kStartLabel, L"C:\\c.tmp");
    log.Pass(kScheduledLabel, L"C:\\c.tmp");
    log.Titled(kCleanupDone);
    log.Titled(kStopped);
    runStarts.push_back(log.Next());
    log.Entry(testing_support::TitledText(kStarted), L"2026/12/7 11:00:00");
    log.lines.push_back(L"a stray line");
    log.Titled(kLoadingList);
    log.Pass(kStartLabel, L"C:\\*.tmp");
    log.Pass(kRefusedLabel, L"C:\\*.tmp", L"0:123:无效名字。");
    log.Entry(std::wstring(60, L'-') + L"\r\n");
    log.lines.back().resize(60);
    log.lines.push_back(L"");
    log.Entry(testing_support::TitledText(kStopped), L"2026/12/7 11:00:05");
    runStarts.push_back(log.Next());
    log.Entry(testing_support::TitledText(kLoadingList), L"2026/12/7 12:00:00");
    log.lines.push_back(L"2026/12/7 12:00:01\t0:0:");
    return log;
}

TEST(LogReader, SplitsRunsKeepsEveryLineAndCountsWhatEachRunDid) {
    std::vector<size_t> runStarts;
    const LogLines log = ThreeRuns(runStarts);
    std::vector<LogItem> items;
    std::vector<RunTally> runs;
    LogReader reader([&](const LogItem& item, bool beginsRun) {
        items.push_back(item);
        if (beginsRun || runs.empty()) {
            runs.emplace_back();
            runs.back().begins = beginsRun;
        }
        runs.back().Add(item);
    });
    for (const std::wstring& line : log.lines) reader.Line(line);
    reader.Finish();

    ASSERT_EQ(runs.size(), 4u);
    EXPECT_FALSE(runs[0].begins) << "the foreign line before the first run";
    EXPECT_EQ(runs[0].firstTime, L"");
    EXPECT_TRUE(runs[1].begins && runs[1].finished);
    EXPECT_EQ(runs[1].takenUp, 3u);
    EXPECT_EQ(runs[1].deleted, 1u);
    EXPECT_EQ(runs[1].gone, 1u);
    EXPECT_EQ(runs[1].scheduled, 1u);
    EXPECT_EQ(runs[1].refused, 0u);
    EXPECT_TRUE(runs[2].begins && runs[2].finished) << "start and loading entries are one run";
    EXPECT_EQ(runs[2].firstTime, L"2026/12/7 11:00:00");
    EXPECT_EQ(runs[2].lastTime, L"2026/12/7 11:00:05");
    EXPECT_EQ(runs[2].takenUp, 1u);
    EXPECT_EQ(runs[2].refused, 1u);
    EXPECT_TRUE(runs[3].begins);
    EXPECT_FALSE(runs[3].finished);

    // Every line is in an item: a whole entry takes two, the separator three.
    size_t unparsed = 0;
    for (const LogItem& item : items) unparsed += item.entry ? 0 : 1;
    EXPECT_EQ(unparsed, 3u);
    EXPECT_EQ(items.front().text, L"written by someone else");
    EXPECT_EQ(items.back().text, L"2026/12/7 12:00:01\t0:0:") << "a header without its message, as it stands";
    const auto refused = std::find_if(items.begin(), items.end(),
                                      [](const LogItem& item) { return item.kind == EntryKind::Refused; });
    ASSERT_NE(refused, items.end());
    EXPECT_EQ(refused->errorNumber, 123);
    EXPECT_EQ(refused->description, L"无效名字。");
    EXPECT_EQ(refused->message, testing_support::PassText(testing_support::texts::kRefusedLabel, L"C:\\*.tmp"));
    EXPECT_EQ(std::next(refused, 1)->message, std::wstring(60, L'-') + L"\r\n");
}

TEST(RunStartFinder, FindsFromTheEndWhereTheReaderBeginsEachRun) {
    std::vector<size_t> runStarts;
    const LogLines log = ThreeRuns(runStarts);
    std::vector<uint64_t> offsets;  // each line's, as if every line ended in CR LF
    uint64_t offset = 0;
    for (const std::wstring& line : log.lines) {
        offsets.push_back(offset);
        offset += line.size() + 2;
    }
    for (size_t wanted = 1; wanted <= 5; ++wanted) {
        RunStartFinder finder(wanted);
        size_t read = 0;
        for (size_t i = log.lines.size(); i-- > 0;) {
            ++read;
            if (!finder.Line(log.lines[i], offsets[i])) break;
        }
        finder.Finish();
        const uint64_t expected = wanted <= 3 ? offsets[runStarts[3 - wanted]] : 0;
        EXPECT_EQ(finder.Offset(), expected) << wanted << " runs";
        if (wanted == 1) {
            EXPECT_LT(read, log.lines.size() / 2) << "stops once the run is found";
        }
    }
}

}  // namespace
}  // namespace quorvane_tool
