#include "pendinglist/list_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <new>

#include "list_bytes.h"

// Records the largest single allocation while `tracking` is on, to show that a
// claimed element count is never trusted for an allocation.
namespace {
bool tracking = false;
size_t largestAllocation = 0;
}  // namespace

void* operator new(size_t size) {
    if (tracking && size > largestAllocation) largestAllocation = size;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace basPendingRebootFiles {
namespace {

using list_bytes::Entry;
using list_bytes::Record;

const Latin1Codec codec;

ListCheck Read(const std::string& bytes, PendingRebootList& list) {
    return ReadListBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), codec, list);
}

std::string Write(const PendingRebootList& list) {
    std::string out;
    EXPECT_TRUE(WriteListBytes(list, codec, out));
    return out;
}

PendingRebootList Fresh() {
    PendingRebootList list;
    list.Header = kListHeader;
    list.Version = kListVersion;
    return list;
}

TEST(ListFormat, EmptyListIsExactlyFortySixBytes) {
    const std::string bytes = Write(Fresh());
    ASSERT_EQ(bytes.size(), kEmptyListSize);
    EXPECT_EQ(bytes, std::string("\x1F\x00", 2) + "Quorvane Pending Reboot List DB" +
                         std::string("\x03\x00", 2) + "3.0" + std::string(8, '\0'));
}

TEST(ListFormat, OneEntryListIsSeventyBytesWithTheFieldsAtTheirOffsets) {
    PendingRebootList list = Fresh();
    list.Append(L"C:\\a.tmp", L"", 0);
    const std::string bytes = Write(list);
    ASSERT_EQ(bytes.size(), 70u);
    EXPECT_EQ(bytes.substr(0, 40), Write(Fresh()).substr(0, 40));
    EXPECT_EQ(bytes.substr(40, 2), std::string("\x01\x00", 2));       // dimension count
    EXPECT_EQ(bytes.substr(42, 4), std::string("\x01\x00\x00\x00", 4));  // element count
    EXPECT_EQ(bytes.substr(46, 4), std::string(4, '\0'));             // lower bound
    EXPECT_EQ(bytes.substr(50, 2), std::string("\x08\x00", 2));
    EXPECT_EQ(bytes.substr(52, 8), "C:\\a.tmp");
    EXPECT_EQ(bytes.substr(60, 2), std::string(2, '\0'));             // empty Extra
    EXPECT_EQ(bytes.substr(62, 4), std::string(4, '\0'));             // Flag
    EXPECT_EQ(bytes.substr(66, 4), std::string("\x01\x00\x00\x00", 4));  // Count
    EXPECT_EQ(bytes, Record({{"C:\\a.tmp", "", 0}}));
}

TEST(ListFormat, RoundTripKeepsEveryFieldInOrder) {
    PendingRebootList list;
    list.Header = L"Some Other Header";
    list.Version = L"9.9";
    list.Extra = L"list extra";
    list.Append(L"C:\\one.tmp", L"first", 0);
    list.Append(L"D:\\two.exe", L"", -7);
    list.Append(L"\\\\server\\share\\three.dll", L"third extra", 0x7FFFFFFF);
    const std::string bytes = Write(list);

    PendingRebootList back;
    const ListCheck check = Read(bytes, back);
    ASSERT_TRUE(check.ok()) << DescribeFault(check.fault);
    EXPECT_EQ(check.offset, bytes.size());
    EXPECT_EQ(back.Header, L"Some Other Header");
    EXPECT_EQ(back.Version, L"9.9");
    EXPECT_EQ(back.Extra, L"list extra");
    ASSERT_EQ(back.Count(), 3);
    EXPECT_EQ(back.Entry(0).Path, L"C:\\one.tmp");
    EXPECT_EQ(back.Entry(0).Extra, L"first");
    EXPECT_EQ(back.Entry(1).Flag, -7);
    EXPECT_EQ(back.Entry(2).Path, L"\\\\server\\share\\three.dll");
    EXPECT_EQ(back.Entry(2).Extra, L"third extra");
    EXPECT_EQ(back.Entry(2).Flag, 0x7FFFFFFF);
    EXPECT_EQ(Write(back), bytes);
}

TEST(ListFormat, EveryTruncationOfAWholeRecordIsRejectedWhereItBreaks) {
    const std::string whole =
        Record({{"C:\\a.tmp", "x", 0}, {"C:\\bb.tmp", "", 1}, {"C:\\ccc.tmp", "yz", 0}});
    for (size_t length = 0; length < whole.size(); ++length) {
        PendingRebootList list;
        list.Append(L"C:\\untouched", L"", 0);
        const ListCheck check = Read(whole.substr(0, length), list);
        EXPECT_EQ(check.fault, ListFault::Truncated) << "length " << length;
        EXPECT_LE(check.offset, length) << "length " << length;
        EXPECT_EQ(list.Count(), 1) << "a failed read leaves the list alone";
    }
    const std::string entriesStart = whole.substr(0, 50);
    PendingRebootList list;
    EXPECT_EQ(Read(entriesStart + "\x08", list).offset, 50u) << "the Path length field breaks";
}

TEST(ListFormat, MalformedEntryBlocksAreRejected) {
    PendingRebootList list;
    std::string twoDimensions = Record({{"C:\\a", "", 0}});
    twoDimensions[40] = 2;
    EXPECT_EQ(Read(twoDimensions, list).fault, ListFault::BadDimensionCount);
    EXPECT_EQ(Read(twoDimensions, list).offset, 40u);

    const std::string lowerBoundOne = Record({{"C:\\a", "", 0}}, "H", "V", "", -1, 1);
    EXPECT_EQ(Read(lowerBoundOne, list).fault, ListFault::BadLowerBound);

    EXPECT_EQ(Read(Record({{"C:\\a", "", 0}}, "H", "V", "", 2), list).fault, ListFault::CountMismatch);
    EXPECT_EQ(Read(Record({}, "H", "V", "", 1), list).fault, ListFault::CountMismatch);
    EXPECT_EQ(list.Count(), 0);
}

TEST(ListFormat, ForeignHeaderVersionAndATrailingTailAreAccepted) {
    const std::string bytes = Record({{"C:\\a.tmp", "", 0}}, "Another DB", "1.2") + "old tail bytes";
    PendingRebootList list;
    const ListCheck check = Read(bytes, list);
    ASSERT_TRUE(check.ok());
    EXPECT_EQ(check.offset, bytes.size() - 14);
    EXPECT_EQ(list.Header, L"Another DB");
    EXPECT_EQ(list.Version, L"1.2");
    EXPECT_EQ(list.Count(), 1);
}

TEST(ListFormat, AStoredEmptyEntryBlockReadsAsAListWithoutStorage) {
    std::string bytes = Record({});
    bytes.replace(40, 2, std::string("\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00", 10));
    PendingRebootList list;
    ASSERT_TRUE(Read(bytes, list).ok());
    EXPECT_EQ(list.Count(), 0);
    EXPECT_FALSE(list.HasEntryStorage());
}

TEST(ListFormat, AHugeClaimedElementCountIsRejectedWithoutAllocatingForIt) {
    // Four billion entries; and 0x1999999A, whose minimum of 10 bytes an entry comes to
    // 2^32 + 4 bytes: a 32-bit size_t wraps that to 4, fewer than the bytes that follow.
    for (const char* count : {"\xFF\xFF\xFF\xFF", "\x9A\x99\x99\x19"}) {
        std::string bytes = Record({{"C:\\a", "", 0}});
        bytes.replace(42, 4, std::string(count, 4));
        bytes.resize(60);
        PendingRebootList list;
        largestAllocation = 0;
        tracking = true;
        const ListCheck check = Read(bytes, list);
        tracking = false;
        EXPECT_EQ(check.fault, ListFault::Truncated);
        EXPECT_LT(largestAllocation, 4096u);
    }
}

TEST(ListFormat, ATextLongerThanASixteenBitLengthIsNotWritten) {
    PendingRebootList list = Fresh();
    list.Append(std::wstring(65535, L'a'), L"", 0);
    std::string out;
    EXPECT_TRUE(WriteListBytes(list, codec, out)) << "65535 bytes still fit";
    list.Append(std::wstring(65536, L'b'), L"", 0);
    EXPECT_FALSE(WriteListBytes(list, codec, out));
}

TEST(ListFormat, BytesBeforeAReportedOffsetAreNeverReadAgain) {
    std::vector<Entry> entries;
    for (int i = 0; i < 40000; ++i) entries.push_back({"C:\\dir\\file" + std::to_string(i) + ".tmp", "", 0});
    std::string bytes = Record(entries, "Header Text", "4.2", "extra text");
    PendingRebootList list;
    std::vector<size_t> reports;
    // Released bytes are overwritten, as a decommitted page would be lost.
    ReadListBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), codec, list,
                  [&](size_t consumed) {
                      reports.push_back(consumed);
                      std::fill(bytes.begin(), bytes.begin() + static_cast<long>(consumed), '\xCC');
                  });
    ASSERT_EQ(list.Count(), 40000);
    ASSERT_GE(reports.size(), 1u);
    for (size_t i = 1; i < reports.size(); ++i) EXPECT_GT(reports[i], reports[i - 1]);
    EXPECT_EQ(list.Header, L"Header Text");
    EXPECT_EQ(list.Extra, L"extra text");
    EXPECT_EQ(list.Entry(0).Path, L"C:\\dir\\file0.tmp");
    EXPECT_EQ(list.Entry(39999).Path, L"C:\\dir\\file39999.tmp");
}

}  // namespace
}  // namespace basPendingRebootFiles
