// The trust judgement, row by row, on descriptors as Windows writes them out: who owns the
// object and who, apart from the system's own accounts, may write it or, on a folder, what
// is made in it.
#include "trust/trust_judgement.h"

#include <gtest/gtest.h>

#include "support/sddl_facts.h"

namespace trust {
namespace {

using testing_support::FactsFromSddl;
using testing_support::SidOfSddlAccount;

#define TI L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
constexpr wchar_t kWineUser[] = L"S-1-5-21-0-0-0-1000";
constexpr wchar_t kSystem[] = L"S-1-5-18";

constexpr TrustFinding T = TrustFinding::Trusted;
constexpr TrustFinding O = TrustFinding::OwnerOutside;
constexpr TrustFinding W = TrustFinding::WriteRight;
constexpr TrustFinding N = TrustFinding::NoDacl;
constexpr TrustFinding U = TrustFinding::Unreadable;

struct Row {
    const char* what;
    const wchar_t* sddl;
    bool folder;
    TrustFinding finding;
    const wchar_t* sid = L"";
    uint32_t rights = 0;
    const wchar_t* service = kSystem;
};

void ExpectRows(std::initializer_list<Row> rows) {
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        // Text the platform would not read is no descriptor: the default verdict.
        const auto facts = FactsFromSddl(row.sddl);
        const TrustVerdict verdict =
            facts ? JudgeDescriptor(*facts, row.folder, SidOfSddlAccount(row.service)) : TrustVerdict{};
        EXPECT_EQ(verdict.finding, row.finding);
        EXPECT_EQ(verdict.sid, row.sid);
        EXPECT_EQ(verdict.rights, row.rights) << std::hex << verdict.rights;
        EXPECT_EQ(verdict.Trusted(), row.finding == T);
    }
}

TEST(TrustJudgement, WindowsDefaultsForProgramFilesAreTrustedAndTheDriveRootsAreNot) {
    ExpectRows({
        {"Program Files itself",
         L"O:" TI L"G:" TI L"D:PAI(A;;FA;;;" TI L")(A;CIIO;GA;;;" TI L")(A;;0x1301bf;;;SY)"
         L"(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)"
         L"(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;AC)(A;OICIIO;GXGR;;;AC)"
         L"(A;;0x1200a9;;;S-1-15-2-2)(A;OICIIO;GXGR;;;S-1-15-2-2)",
         true, T},
        {"a folder an administrator creates under Program Files",
         L"O:BAD:AI(A;ID;FA;;;" TI L")(A;CIIOID;GA;;;" TI L")(A;ID;FA;;;SY)(A;OICIIOID;GA;;;SY)"
         L"(A;ID;FA;;;BA)(A;OICIIOID;GA;;;BA)(A;ID;0x1200a9;;;BU)(A;OICIIOID;GXGR;;;BU)"
         L"(A;OICIIOID;GA;;;CO)(A;ID;0x1200a9;;;AC)(A;OICIIOID;GXGR;;;AC)"
         L"(A;ID;0x1200a9;;;S-1-15-2-2)(A;OICIIOID;GXGR;;;S-1-15-2-2)",
         true, T},
        {"the list an administrator's program writes in that folder",
         L"O:BAD:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)(A;ID;0x1200a9;;;AC)"
         L"(A;ID;0x1200a9;;;S-1-15-2-2)",
         false, T},
        {"the drive's root: Authenticated Users may add folders",
         L"O:" TI L"D:PAI(A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;AU)(A;OICIIO;GA;;;SY)(A;;FA;;;SY)"
         L"(A;OICI;0x1200a9;;;BU)(A;OICIIO;GA;;;BA)(A;;FA;;;BA)",
         true, W, L"S-1-5-11", kRightAppendData},
        {"a folder an administrator creates under C:\\ inherits Modify for Authenticated Users",
         L"O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)"
         L"(A;ID;0x1301bf;;;AU)(A;OICIIOID;SDGXGWGR;;;AU)",
         true, W, L"S-1-5-11", kRightWriteData | kRightAppendData | kRightDelete},
        {"a file in that folder",
         L"O:BAD:AI(A;ID;FA;;;BA)(A;ID;FA;;;SY)(A;ID;0x1200a9;;;BU)(A;ID;0x1301bf;;;AU)",
         false, W, L"S-1-5-11", kRightWriteData | kRightAppendData | kRightDelete},
    });
}

TEST(TrustJudgement, AnyWriteRightOfAnotherAccountIsFoundAndNamed) {
    ExpectRows({
        {"Everyone may write", L"O:BAD:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FW;;;WD)", true, W,
         L"S-1-1-0", kRightWriteData | kRightAppendData},
        {"Users may modify", L"O:BAD:(A;;FA;;;SY)(A;;0x1301bf;;;BU)", true, W, L"S-1-5-32-545",
         kRightWriteData | kRightAppendData | kRightDelete},
        {"Interactive has full control", L"O:SYD:(A;;FA;;;IU)", true, W, L"S-1-5-4",
         kRightWriteData | kRightAppendData | kRightDeleteChild | kRightDelete | kRightWriteDac |
             kRightWriteOwner},
        {"the first of several is named", L"O:SYD:(A;;0x1200a9;;;WD)(A;;SD;;;NS)(A;;FA;;;BU)",
         true, W, L"S-1-5-20", kRightDelete},
        {"delete child only, on a folder", L"O:SYD:(A;;DT;;;BU)", true, W, L"S-1-5-32-545",
         kRightDeleteChild},
        {"delete child only, as a number", L"O:SYD:(A;;0x40;;;AU)", true, W, L"S-1-5-11",
         kRightDeleteChild},
        {"delete child is no right of a file", L"O:SYD:(A;;DT;;;BU)", false, T},
        {"change permissions, for Everyone", L"O:SYD:(A;;WD;;;WD)", false, W, L"S-1-1-0",
         kRightWriteDac},
        {"take ownership", L"O:SYD:(A;;WO;;;PU)", false, W, L"S-1-5-32-547", kRightWriteOwner},
        {"generic write, as for files", L"O:SYD:(A;;GW;;;AN)", false, W, L"S-1-5-7",
         kRightWriteData | kRightAppendData},
        {"generic all, as for files", L"O:SYD:(A;;GA;;;LS)", false, W, L"S-1-5-19",
         kRightWriteData | kRightAppendData | kRightDelete | kRightWriteDac | kRightWriteOwner},
        {"decimal rights", L"O:SYD:(A;;65536;;;BU)", false, W, L"S-1-5-32-545", kRightDelete},
        {"a user's SID", L"O:SYD:(A;;FA;;;SY)(A;;0x1301bf;;;S-1-5-21-3623811015-3361044348-30300820-1013)",
         false, W, L"S-1-5-21-3623811015-3361044348-30300820-1013",
         kRightWriteData | kRightAppendData | kRightDelete},
        {"read, execute, attributes and extended attributes are not write rights",
         L"O:SYD:(A;;FRFX;;;WD)(A;;0x1200a9;;;BU)(A;;CRRP;;;AU)", true, T},
        {"the system's own accounts may write", L"O:SYD:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;" TI L")",
         true, T},
        {"Owner Rights stand for the owner, already judged", L"O:BAD:(A;;FA;;;OW)", true, T},
        {"a file passes nothing on", L"O:BAD:(A;OICIIO;GA;;;WD)(A;OICIIO;GA;;;CO)", false, T},
        {"a callback allow counts", L"O:BAD:(XA;;FA;;;WD;(Member_of {SID(BA)}))", false, W,
         L"S-1-1-0", kRightWriteData | kRightAppendData | kRightDelete | kRightWriteDac | kRightWriteOwner},
        {"an object allow counts", L"O:BAD:(OA;;FW;bf967aba-0de6-11d0-a285-00aa003049e2;;BU)", false,
         W, L"S-1-5-32-545", kRightWriteData | kRightAppendData},
        {"an empty DACL lets no one in", L"O:BAD:P", true, T},
    });
}

TEST(TrustJudgement, AFolderIsJudgedForWhatItHandsDownToTheFilesAndFoldersMadeInIt) {
    const uint32_t all = WriteRightsOf(0x1F01FF, true);
    const uint32_t modify = kRightWriteData | kRightAppendData | kRightDelete;
    ExpectRows({
        {"inherit-only full control for Users", L"O:BAD:(A;;FA;;;SY)(A;OICIIO;FA;;;BU)", true, W,
         L"S-1-5-32-545", all},
        {"entries that only pass on count", L"O:BAD:(A;OICIIO;GA;;;WD)(A;OICIIO;GA;;;CO)", true, W,
         L"S-1-1-0", all},
        {"add a subfolder, to subfolders", L"O:BAD:(A;CIIO;0x4;;;BU)", true, W, L"S-1-5-32-545",
         kRightAppendData},
        {"delete, to files", L"O:BAD:(A;OIIO;SD;;;BU)", true, W, L"S-1-5-32-545", kRightDelete},
        {"delete child means nothing on a file", L"O:BAD:(A;OIIO;DT;;;BU)", true, T},
        {"Creator Owner and Owner Rights go to whoever creates, or owns",
         L"O:BAD:(A;OICIIO;GA;;;CO)(A;OICIIO;FA;;;OW)(A;;FA;;;OW)", true, T},
        {"an inheritable deny ahead of the allow",
         L"O:BAD:(D;OICIIO;0x10006;;;BU)(A;OICIIO;0x1301bf;;;BU)", true, T},
        {"a deny for folders leaves the files",
         L"O:BAD:(D;CIIO;0x10006;;;BU)(A;OICIIO;0x1301bf;;;BU)", true, W, L"S-1-5-32-545", modify},
        {"an inheritable deny after the allow", L"O:BAD:(A;OICIIO;0x1301bf;;;BU)(D;OICIIO;0x10006;;;BU)",
         true, W, L"S-1-5-32-545", modify},
        {"a deny that is not handed down protects nothing made there",
         L"O:BAD:(D;;FA;;;BU)(A;OICIIO;0x1301bf;;;BU)", true, W, L"S-1-5-32-545", modify},
    });
}

TEST(TrustJudgement, OwnerAndDaclMustLeaveNoWayIn) {
    ExpectRows({
        {"a null DACL", L"O:BAD:NO_ACCESS_CONTROL", true, N, L"S-1-1-0",
         WriteRightsOf(0xFFFFFFFF, true)},
        {"no DACL at all", L"O:BA", false, N, L"S-1-1-0", WriteRightsOf(0xFFFFFFFF, false)},
        {"owned by a user", L"O:S-1-5-21-1004336348-1177238915-682003330-1001D:(A;;FA;;;SY)", true,
         O, L"S-1-5-21-1004336348-1177238915-682003330-1001"},
        {"owned by Users", L"O:BUD:(A;;FA;;;SY)", true, O, L"S-1-5-32-545"},
        {"owned by a domain group", L"O:DAD:(A;;FA;;;SY)", true, O, L"DA"},
        {"the owner is judged before the DACL", L"O:AUD:NO_ACCESS_CONTROL", true, O, L"S-1-5-11"},
    });
}

TEST(TrustJudgement, DenyEntriesRemoveRightsInOrderAndOnlyFromTheirAccount) {
    ExpectRows({
        {"a deny for the same account before its allow", L"O:BAD:(D;;0x10006;;;BU)(A;;0x1301bf;;;BU)",
         true, T},
        {"a deny for Everyone before the allow", L"O:BAD:(D;;SDDCLC;;;WD)(A;;0x1301bf;;;BU)", true, T},
        {"a deny after the allow comes too late", L"O:BAD:(A;;0x1301bf;;;BU)(D;;0x10006;;;BU)", true,
         W, L"S-1-5-32-545", kRightWriteData | kRightAppendData | kRightDelete},
        {"a deny for another account", L"O:BAD:(D;;FA;;;AU)(A;;0x1301bf;;;BU)", true, W,
         L"S-1-5-32-545", kRightWriteData | kRightAppendData | kRightDelete},
        {"a partial deny leaves the rest", L"O:BAD:(D;;SD;;;BU)(A;;0x1301bf;;;BU)", true, W,
         L"S-1-5-32-545", kRightWriteData | kRightAppendData},
        {"an inherit-only deny removes nothing here", L"O:BAD:(D;OICIIO;FA;;;BU)(A;;0x1301bf;;;BU)",
         true, W, L"S-1-5-32-545", kRightWriteData | kRightAppendData | kRightDelete},
        {"an object deny removes nothing, and counts as the grant it may be",
         L"O:BAD:(OD;;FA;bf967aba-0de6-11d0-a285-00aa003049e2;;BU)(A;;0x1301bf;;;BU)", true, W,
         L"S-1-5-32-545", WriteRightsOf(0x1F01FF, true)},
    });
}

TEST(TrustJudgement, WinesFixedDescriptorIsTrustedOnlyForTheAccountItGrants) {
    const wchar_t* wine =
        L"O:S-1-5-21-0-0-0-1000D:(A;;FA;;;SY)(A;;FA;;;S-1-5-21-0-0-0-1000)(A;;0x1200a9;;;WD)";
    ExpectRows({
        {"folder, as the Wine user", wine, true, T, L"", 0, kWineUser},
        {"file, as the Wine user", wine, false, T, L"", 0, kWineUser},
        {"as LocalSystem the owner is a stranger", wine, true, O, kWineUser, 0, L"SY"},
        {"the same with the SID string", wine, true, O, kWineUser, 0, kSystem},
        {"no service account at all", wine, true, O, kWineUser, 0, L""},
        {"another user may write where the service's own account may",
         L"O:SYD:(A;;FA;;;S-1-5-21-0-0-0-1000)(A;;FA;;;S-1-5-21-0-0-0-1001)", false, W,
         L"S-1-5-21-0-0-0-1001",
         kRightWriteData | kRightAppendData | kRightDelete | kRightWriteDac | kRightWriteOwner,
         kWineUser},
    });
}

TEST(TrustJudgement, TextThatIsNoDescriptorIsNotTrusted) {
    ExpectRows({
        {"empty", L"", true, U},
        {"not SDDL", L"garbage", true, U},
        {"no owner", L"D:(A;;FA;;;SY)", true, U},
        {"an unclosed entry", L"O:BAD:(A;;FA;;;SY", true, U},
        {"five fields", L"O:BAD:(A;;FA;;SY)", true, U},
        {"an unknown right", L"O:BAD:(A;;ZZ;;;SY)", true, U},
        {"a mask past 32 bits", L"O:BAD:(A;;0x100000000;;;SY)", true, U},
        {"an octal-looking mask", L"O:BAD:(A;;017;;;SY)", true, U},
        {"an unknown alias", L"O:XXD:(A;;FA;;;SY)", true, U},
        {"an unknown entry flag", L"O:BAD:(A;QQ;FA;;;SY)", true, U},
        {"an unknown DACL flag", L"O:BAD:Q(A;;FA;;;SY)", true, U},
        {"text after the entries", L"O:BAD:(A;;FA;;;SY)x", true, U},
        {"two owners", L"O:BAO:SYD:(A;;FA;;;SY)", true, U},
        {"a malformed SID", L"O:S-1--5D:(A;;FA;;;SY)", true, U},
    });
}

TEST(TrustJudgement, AccountsMapToTheirSidStrings) {
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"SY", L"S-1-5-18"},      {L"BA", L"S-1-5-32-544"}, {L"BU", L"S-1-5-32-545"},
        {L"AU", L"S-1-5-11"},      {L"WD", L"S-1-1-0"},      {L"IU", L"S-1-5-4"},
        {L"CO", L"S-1-3-0"},       {L"OW", L"S-1-3-4"},      {L"AN", L"S-1-5-7"},
        {L"NS", L"S-1-5-20"},      {L"LS", L"S-1-5-19"},     {L"PU", L"S-1-5-32-547"},
        {L"ac", L"S-1-15-2-1"},    {L"s-1-5-18", L"S-1-5-18"}, {L"LA", L"LA"},
        {L"XX", L""},              {L"S-1-", L""},           {L"", L""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(SidOfSddlAccount(row.first), row.second) << std::wstring(row.first).size();
    }
}

}  // namespace
}  // namespace trust
