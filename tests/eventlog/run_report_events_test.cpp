// What an insert taken from outside holds: the text as a viewer must show it, within the
// platform's limit for one insert.
#include "eventlog/run_report_events.h"

#include <gtest/gtest.h>

namespace modRunReport {
namespace {

TEST(InsertOf, PercentSignsControlCharactersAndLengthCannotChangeWhatIsShown) {
    EXPECT_EQ(InsertOf(L"C:\\a\\%%1234\\b%1.tmp"), L"C:\\a\\\xFF05\xFF05" L"1234\\b\xFF05" L"1.tmp");
    EXPECT_EQ(InsertOf(L"C:\\a\r\nb\x01"), L"C:\\a??b?");
    const std::wstring limit(kInsertLimit, L'x');
    EXPECT_EQ(InsertOf(limit), limit) << "at the limit nothing is cut";

    const std::wstring longer = L"C:\\" + std::wstring(kInsertLimit, L'y');
    const std::wstring cut = InsertOf(longer);
    ASSERT_EQ(cut.size(), kInsertLimit);
    EXPECT_EQ(cut.substr(cut.size() - 6), kInsertCutMark);
    EXPECT_EQ(cut.substr(0, cut.size() - 6), longer.substr(0, kInsertLimit - 6));

    // A character of two code units is kept whole or not at all.
    std::wstring pairs;
    while (pairs.size() < kInsertLimit + 10) pairs += L"\xD83D\xDE00";
    const std::wstring cutPairs = InsertOf(pairs);
    EXPECT_LE(cutPairs.size(), kInsertLimit);
    const std::wstring kept = cutPairs.substr(0, cutPairs.size() - 6);
    EXPECT_EQ(kept.size() % 2, 0u);
    EXPECT_EQ(kept, pairs.substr(0, kept.size()));
}

}  // namespace
}  // namespace modRunReport
