// The texts the staging folder keeps, and the restart queue's layout: read back exactly,
// and nothing cut short or of another kind taken for a record.
#include "fileops/restart_queue_text.h"
#include "fileops/staging_records.h"

#include <gtest/gtest.h>

namespace fileops {
namespace {

TEST(StagingRecords, EachKindReadsBackAndACutOrForeignTextIsNoRecord) {
    const StagedRecord staged{L"C:\\u\\\x4e34.dll", 0x21, true, 0x1234567890ABCDEFull, L"0001-2-3.staged", true};
    StagedRecord read;
    ASSERT_TRUE(ParseStagedRecord(StagedRecordText(staged), read));
    EXPECT_EQ(read.listedPath, staged.listedPath);
    EXPECT_EQ(read.attributes, 0x21u);
    EXPECT_TRUE(read.numberKnown);
    EXPECT_EQ(read.number, staged.number);
    EXPECT_EQ(read.stagedName, staged.stagedName);
    EXPECT_TRUE(read.foreign);
    // An earlier version's record: the path and the attributes, no number.
    ASSERT_TRUE(ParseStagedRecord(L"\xFEFF" L"C:\\a.tmp\r\n00000001\r\n", read));
    EXPECT_EQ(read.listedPath, L"C:\\a.tmp");
    EXPECT_FALSE(read.numberKnown);

    const std::wstring whole = StagedRecordText(staged);
    for (size_t cut : {size_t{0}, size_t{1}, whole.size() / 2, whole.size() - 1}) {
        EXPECT_FALSE(ParseStagedRecord(whole.substr(0, cut), read)) << cut << " of " << whole.size();
    }
    EXPECT_FALSE(ParseStagedRecord(L"C:\\a.tmp\r\n00000001\r\n", read)) << "no byte-order mark";

    CarriedRecord carried;
    ASSERT_TRUE(ParseCarriedRecord(CarriedRecordText({L"D:\\x", 32}), carried));
    EXPECT_EQ(carried.listedPath, L"D:\\x");
    EXPECT_EQ(carried.reason, 32u);
    std::wstring path;
    ASSERT_TRUE(ParsePathRequest(PathRequestText(L"C:\\p"), path));
    EXPECT_EQ(path, L"C:\\p");
    StartTypeRecord start;
    ASSERT_TRUE(ParseStartTypeRecord(StartTypeRecordText({3, true}), start));
    EXPECT_EQ(start.startType, 3u);
    EXPECT_TRUE(start.delayed);
    // One kind is never read as another.
    EXPECT_FALSE(ParseCarriedRecord(PathRequestText(L"C:\\p"), carried));
    EXPECT_FALSE(ParsePathRequest(CarriedRecordText({L"D:\\x", 32}), path));
    EXPECT_FALSE(ParseStartTypeRecord(StartTypeRecordText({7, false}), start)) << "no such start type";
}

TEST(RestartQueue, OperationsAreFoundAndTakenOutWithEveryOtherCodeUnitKept) {
    using namespace std::string_literals;
    const std::wstring data = L"\\??\\C:\\a\0\0\\??\\C:\\from\0!\\??\\C:\\to\0\\??\\C:\\b\0\0\0tail"s;
    const std::vector<QueuedOperation> operations = ParseRestartQueue(data);
    ASSERT_EQ(operations.size(), 3u);
    EXPECT_TRUE(operations[0].IsDelete());
    EXPECT_EQ(operations[0].source, L"\\??\\C:\\a");
    EXPECT_FALSE(operations[1].IsDelete());
    EXPECT_EQ(operations[1].destination, L"!\\??\\C:\\to");
    EXPECT_EQ(WithoutNtPrefix(operations[2].source), L"C:\\b");

    EXPECT_EQ(WithoutOperations(data, {operations[0]}),
              L"\\??\\C:\\from\0!\\??\\C:\\to\0\\??\\C:\\b\0\0\0tail"s);
    EXPECT_EQ(WithoutOperations(data, {operations[2], operations[0]}), L"\\??\\C:\\from\0!\\??\\C:\\to\0\0tail"s);
    // A list cut off after a source, as a writer that died might leave it.
    const std::vector<QueuedOperation> cut = ParseRestartQueue(L"\\??\\C:\\a\0\0\\??\\C:\\b"s);
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_TRUE(cut[1].IsDelete());
    EXPECT_TRUE(ParseRestartQueue(L""s).empty());
    EXPECT_TRUE(ParseRestartQueue(L"\0\0"s).empty());
}

}  // namespace
}  // namespace fileops
