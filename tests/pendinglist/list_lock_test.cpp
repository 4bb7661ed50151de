// The identity of a list file, from which its update lock and its writers' file names
// derive: one for every spelling of the file, also beyond the depth at which Wine no
// longer gives a folder's final path.
#include "pendinglist/list_lock.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <vector>

#include "pendinglist/pending_reboot_files.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "support/test_files.h"

namespace basPendingRebootFiles {
namespace {

using namespace testing_support;

TEST(ListFileIdentity, EverySpellingOfOneFileComesToOneIdentity) {
    TempDir dir;
    std::wstring deep;
    for (wchar_t c = L'a'; c < L'e'; ++c) {
        deep += std::wstring(80, c) + L"\\";
        ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + dir.Path() + deep).c_str(), nullptr));
    }
    for (const std::wstring& folder : {std::wstring(), deep}) {
        const std::wstring plain = dir.Path() + folder + kListFileName;
        SCOPED_TRACE(plain.size());
        WriteBytes(L"\\\\?\\" + plain, "the list");
        wchar_t shortName[1024] = {};
        ASSERT_GT(::GetShortPathNameW((L"\\\\?\\" + plain).c_str(), shortName, 1024), 0u);
        std::wstring lower = plain;
        for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
        const std::vector<std::wstring> spellings = {L"\\\\?\\" + plain, plain, shortName, lower,
                                                     WineUnixSpelling(L"\\\\?\\" + plain)};
        ASSERT_EQ(spellings.back().rfind(L"Z:\\", 0), 0u);

        ListFileIdentity first;
        ASSERT_EQ(IdentifyListFile(spellings[0], first), 0u);
        EXPECT_EQ(first.name, kListFileName);
        EXPECT_EQ(first.folder.rfind(L"\\\\?\\C:\\", 0), 0u) << platform::ToUtf8(first.folder);
        EXPECT_EQ(ReadBytes(first.Path()), "the list");
        if (!folder.empty()) {
            EXPECT_GT(first.folder.size(), 300u);
        }
        for (const std::wstring& spelling : spellings) {
            ListFileIdentity other;
            ASSERT_EQ(IdentifyListFile(spelling, other), 0u) << platform::ToUtf8(spelling);
            EXPECT_EQ(other.folder, first.folder) << platform::ToUtf8(spelling);
            EXPECT_EQ(other.name, first.name) << platform::ToUtf8(spelling);
        }
    }
    // With no file yet, the name is the one given.
    ListFileIdentity missing;
    ASSERT_EQ(IdentifyListFile(dir / L"Missing.dat", missing), 0u);
    EXPECT_EQ(missing.name, L"Missing.dat");
}

}  // namespace
}  // namespace basPendingRebootFiles
