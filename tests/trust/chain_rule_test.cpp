// The chain rule, component by component: who outside the trusted accounts could remove,
// rename or turn into a link a folder on a path, or the object itself, before a restart.
#include "trust/chain_rule.h"

#include <gtest/gtest.h>

#include "support/sddl_facts.h"

namespace trust {
namespace {

using testing_support::Facts;

constexpr size_t kPasses = ChainVerdict::kPasses;
constexpr wchar_t kBU[] = L"S-1-5-32-545";
constexpr wchar_t kAU[] = L"S-1-5-11";

// A drive's root as Windows 10 ships it: Authenticated Users may add folders to it.
constexpr wchar_t kRoot[] =
    L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464D:PAI(A;OICI;FA;;;BA)"
    L"(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;AU)";
// A folder and a file only administrators and the system change.
constexpr wchar_t kClosed[] = L"O:BAD:(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)";

struct Part {
    const wchar_t* sddl;
    bool folder = true;
};

struct Row {
    const char* what;
    std::vector<Part> existing;  // the root first
    size_t components;           // of the whole path
    bool tailMissing;
    size_t failedAt;
    TrustFinding finding = TrustFinding::Trusted;
    const wchar_t* sid = L"";
    uint32_t rights = 0;
};

void ExpectRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<ChainStep> steps;
        for (const Part& part : row.existing) steps.push_back({Facts(part.sddl), part.folder});
        const ChainVerdict verdict = JudgeChain(steps, row.components, row.tailMissing, L"S-1-5-18");
        EXPECT_EQ(verdict.failedAt, row.failedAt);
        EXPECT_EQ(verdict.verdict.finding, row.finding);
        EXPECT_EQ(verdict.verdict.sid, row.sid);
        EXPECT_EQ(verdict.verdict.rights, row.rights) << std::hex << verdict.verdict.rights;
    }
}

TEST(ChainRule, TheRootIsJudgedForDeleteChildAloneUnlessAMissingNameLiesBelowIt) {
    ExpectRows({
        {"root, folder, file", {{kRoot}, {kClosed}, {kClosed, false}}, 3, false, kPasses},
        {"a root owned by a user still passes", {{L"O:S-1-5-21-1-2-3-1001D:(A;;FA;;;SY)"}, {kClosed}}, 2, false,
         kPasses},
        {"delete child on the root", {{L"O:SYD:(A;;FA;;;SY)(A;;DT;;;BU)"}, {kClosed}}, 2, false, 0,
         TrustFinding::WriteRight, kBU, kRightDeleteChild},
        {"a missing folder under the root: Authenticated Users may add it", {{kRoot}}, 3, true, 0,
         TrustFinding::WriteRight, kAU, kRightAppendData},
        {"a root the path names nothing below of", {{kRoot}}, 2, true, 0, TrustFinding::WriteRight, kAU,
         kRightAppendData},
    });
}

TEST(ChainRule, FoldersOnThePathAdmitNoOneWhoCouldRemoveOrRedirectThem) {
    ExpectRows({
        {"owned by a user", {{kRoot}, {L"O:S-1-5-21-1-2-3-1001D:(A;;FA;;;SY)"}, {kClosed, false}}, 3, false, 1,
         TrustFinding::OwnerOutside, L"S-1-5-21-1-2-3-1001"},
        {"no owner", {{kRoot}, {L"D:(A;;FA;;;SY)"}, {kClosed, false}}, 3, false, 1, TrustFinding::Unreadable},
        {"a null DACL", {{kRoot}, {L"O:BAD:NO_ACCESS_CONTROL"}, {kClosed, false}}, 3, false, 1,
         TrustFinding::NoDacl, L"S-1-1-0",
         kRightDelete | kRightWriteDac | kRightWriteOwner | kRightWriteData | kRightWriteAttributes |
             kRightDeleteChild},
        {"delete child: the next component goes", {{kRoot}, {L"O:BAD:(A;;0x40;;;BU)"}, {kClosed, false}}, 3,
         false, 1, TrustFinding::WriteRight, kBU, kRightDeleteChild},
        {"write attributes: a mount point once emptied", {{kRoot}, {L"O:BAD:(A;;0x100;;;BU)"}, {kClosed}}, 3,
         false, 1, TrustFinding::WriteRight, kBU, kRightWriteAttributes},
        {"generic write, mapped as for files", {{kRoot}, {L"O:BAD:(A;;GW;;;BU)"}, {kClosed, false}}, 3, false, 1,
         TrustFinding::WriteRight, kBU, kRightWriteData | kRightWriteAttributes},
        {"add a subfolder alone leaves the existing ones be", {{kRoot}, {L"O:BAD:(A;;0x4;;;BU)"}, {kClosed, false}},
         3, false, kPasses},
        {"but not when the name below is missing", {{kRoot}, {L"O:BAD:(A;;0x4;;;BU)"}}, 3, true, 1,
         TrustFinding::WriteRight, kBU, kRightAppendData},
        {"the first failing folder is named", {{kRoot}, {L"O:BAD:(A;;SD;;;WD)"}, {L"O:BAD:(A;;SD;;;BU)"}}, 3, false,
         1, TrustFinding::WriteRight, L"S-1-1-0", kRightDelete},
    });
}

TEST(ChainRule, OnlyEntriesThatApplyToTheComponentCountInTheirOrder) {
    ExpectRows({
        {"inherit-only entries give the folder nothing",
         {{kRoot}, {L"O:BAD:(A;;FA;;;SY)(A;OICIIO;GA;;;BU)(A;OICIIO;FA;;;WD)"}, {kClosed, false}}, 3, false,
         kPasses},
        {"inherited ones do", {{kRoot}, {L"O:BAD:AI(A;OICIID;0x1301bf;;;AU)"}, {kClosed, false}}, 3, false, 1,
         TrustFinding::WriteRight, kAU, kRightDelete | kRightWriteData | kRightWriteAttributes},
        {"a deny ahead of the allow", {{kRoot}, {L"O:BAD:(D;;0x10142;;;BU)(A;;0x1301bf;;;BU)"}, {kClosed, false}}, 3,
         false, kPasses},
        {"a deny after it comes too late", {{kRoot}, {L"O:BAD:(A;;0x1301bf;;;BU)(D;;0x10142;;;BU)"}}, 2, false, 1,
         TrustFinding::WriteRight, kBU, kRightDelete | kRightWriteData | kRightWriteAttributes},
        {"Creator Owner matches no one, Owner Rights go to the owner",
         {{kRoot}, {L"O:BAD:(A;;FA;;;CO)(A;;FA;;;OW)"}, {L"O:SYD:(A;;FA;;;CO)(A;;FA;;;OW)", false}}, 3, false,
         kPasses},
        {"a callback allow counts", {{kRoot}, {L"O:BAD:(XA;;SD;;;WD;(Member_of {SID(BA)}))"}}, 2, false, 1,
         TrustFinding::WriteRight, L"S-1-1-0", kRightDelete},
    });
}

TEST(ChainRule, TheObjectItselfMayNotBeRemovedAndAFolderNotRedirected) {
    ExpectRows({
        {"a file others may write but not delete", {{kRoot}, {kClosed}, {L"O:BAD:(A;;0x1201bf;;;BU)", false}}, 3,
         false, kPasses},
        {"a file others may delete", {{kRoot}, {kClosed}, {L"O:BAD:(A;;0x1301bf;;;BU)", false}}, 3, false, 2,
         TrustFinding::WriteRight, kBU, kRightDelete},
        {"a file others may take over", {{kRoot}, {kClosed}, {L"O:BAD:(A;;WO;;;BU)", false}}, 3, false, 2,
         TrustFinding::WriteRight, kBU, kRightWriteOwner},
        {"a file owned by a user", {{kRoot}, {kClosed}, {L"O:S-1-5-21-1-2-3-1001D:(A;;FA;;;SY)", false}}, 3, false, 2,
         TrustFinding::OwnerOutside, L"S-1-5-21-1-2-3-1001"},
        {"a folder others may add files to", {{kRoot}, {kClosed}, {L"O:BAD:(A;;0x1201bf;;;BU)"}}, 3, false, 2,
         TrustFinding::WriteRight, kBU, kRightWriteData | kRightWriteAttributes},
        {"delete child on the object folder touches no component", {{kRoot}, {kClosed}, {L"O:BAD:(A;;DT;;;BU)"}}, 3,
         false, kPasses},
    });
}

TEST(ChainRule, APathSplitsIntoItsComponentsRootFirst) {
    using List = std::vector<std::wstring>;
    EXPECT_EQ(ChainComponents(L"C:\\Windows\\System32\\x.dll"),
              (List{L"C:\\", L"C:\\Windows", L"C:\\Windows\\System32", L"C:\\Windows\\System32\\x.dll"}));
    EXPECT_EQ(ChainComponents(L"d:\\x"), (List{L"d:\\", L"d:\\x"}));
    EXPECT_EQ(ChainComponents(L"C:\\"), (List{L"C:\\"}));
    for (const wchar_t* refused : {L"", L"C:", L"C:x", L"\\x", L"\\\\host\\share\\x", L"\\\\?\\C:\\x",
                                   L"C:\\a\\\\b", L"C:\\a\\", L"1:\\x", L"C:/x"}) {
        EXPECT_TRUE(ChainComponents(refused).empty()) << std::wstring(refused).size();
    }
}

}  // namespace
}  // namespace trust
