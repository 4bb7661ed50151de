#include "pendinglist/pending_reboot_list.h"

#include <gtest/gtest.h>


namespace basPendingRebootFiles {
namespace {

std::vector<std::wstring> Paths(const PendingRebootList& list) {
    std::vector<std::wstring> paths;
    for (int32_t i = 0; i < list.Count(); ++i) paths.emplace_back(list.Entry(i).Path);
    return paths;
}

TEST(PendingRebootList, FindEntryMatchesWithoutRegardToCaseAndTakesTheLowestIndex) {
    PendingRebootList list;
    EXPECT_EQ(list.FindEntry(L"c:\\temp\\a.tmp"), -1) << "empty list";
    list.Append(L"C:\\other", L"", 0);
    list.Append(L"C:\\TEMP\\A.TMP", L"", 0);
    list.Append(L"c:\\temp\\a.tmp", L"", 0);
    EXPECT_EQ(list.FindEntry(L"c:\\temp\\a.tmp"), 1);
    EXPECT_EQ(list.FindEntry(L"C:\\Temp\\A.tmp"), 1);
    EXPECT_EQ(list.FindEntry(L"C:\\temp\\a.tm"), -1);
    EXPECT_EQ(list.FindEntry(L""), -1);
}

TEST(PendingRebootList, RemovingTheOnlyEntryReleasesTheStorage) {
    PendingRebootList list;
    list.Append(L"C:\\a", L"", 0);
    list.RemoveEntry(L"C:\\not-there");
    EXPECT_EQ(list.Count(), 1);
    list.RemoveEntry(L"c:\\A");
    EXPECT_EQ(list.Count(), 0);
    EXPECT_FALSE(list.HasEntryStorage());
    EXPECT_EQ(list.FindEntry(L"C:\\a"), -1);
}

TEST(PendingRebootList, RemoveEntryTakesTheFirstMatchAndIndexesCloseUp) {
    PendingRebootList list;
    list.Append(L"C:\\a", L"flagged", 1);
    list.Append(L"C:\\b", L"", 0);
    list.Append(L"c:\\A", L"second a", 0);
    list.Append(L"C:\\c", L"", 0);
    list.RemoveEntry(L"C:\\A");  // the flagged one goes first
    EXPECT_EQ(Paths(list), (std::vector<std::wstring>{L"C:\\b", L"c:\\A", L"C:\\c"}));
    EXPECT_EQ(list.Entry(1).Extra, L"second a");
    EXPECT_EQ(list.FindEntry(L"c:\\a"), 1);
    EXPECT_EQ(list.FindEntry(L"C:\\C"), 2);
    list.RemoveEntry(L"c:\\a");
    list.RemoveEntry(L"c:\\a");  // nothing left to match
    EXPECT_EQ(Paths(list), (std::vector<std::wstring>{L"C:\\b", L"C:\\c"}));
    list.Append(L"C:\\d", L"", 0);
    EXPECT_EQ(list.FindEntry(L"C:\\D"), 2);
}

TEST(PendingRebootList, SlotsKeepTheirNumbersWhileEntriesAreRemoved) {
    PendingRebootList list;
    for (int i = 0; i < 5; ++i) list.Append(L"C:\\f" + std::to_wstring(i), L"", 0);
    list.RemoveEntry(L"C:\\f1");
    list.RemoveEntry(L"C:\\f3");
    ASSERT_EQ(list.SlotCount(), 5u);
    EXPECT_TRUE(list.IsLiveSlot(0));
    EXPECT_FALSE(list.IsLiveSlot(1));
    EXPECT_EQ(list.AtSlot(4).Path, L"C:\\f4");
    EXPECT_EQ(list.Entry(2).Path, L"C:\\f4");
    std::vector<std::wstring> visited;
    list.ForEachEntry([&](const PendingRebootEntry& e) { visited.emplace_back(e.Path); });
    EXPECT_EQ(visited, (std::vector<std::wstring>{L"C:\\f0", L"C:\\f2", L"C:\\f4"}));
}

TEST(PendingRebootList, RemovalsAgreeWithACopyingListOverAMixedSequence) {
    // The reference: the plain list that copies every later entry down on removal.
    PendingRebootList list;
    std::vector<std::wstring> reference;
    for (int i = 0; i < 300; ++i) {
        std::wstring path = L"C:\\p" + std::to_wstring(i % 37);
        if (i % 3 == 0) path[0] = L'c';
        list.Append(path, L"", 0);
        reference.push_back(path);
    }
    auto lower = [](std::wstring s) {
        for (auto& c : s) c = static_cast<wchar_t>(towlower(c));
        return s;
    };
    unsigned seed = 7;
    for (int step = 0; step < 400; ++step) {
        seed = seed * 1103515245u + 12345u;
        const std::wstring path = L"C:\\P" + std::to_wstring((seed >> 8) % 40);
        int32_t expected = -1;
        for (size_t i = 0; i < reference.size(); ++i) {
            if (lower(reference[i]) == lower(path)) {
                expected = static_cast<int32_t>(i);
                break;
            }
        }
        ASSERT_EQ(list.FindEntry(path), expected) << "step " << step;
        list.RemoveEntry(path);
        if (expected >= 0) reference.erase(reference.begin() + expected);
        ASSERT_EQ(list.Count(), static_cast<int32_t>(reference.size()));
    }
    EXPECT_EQ(Paths(list), reference);
}

}  // namespace
}  // namespace basPendingRebootFiles
