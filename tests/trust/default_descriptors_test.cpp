// The default descriptors of real installations, as icacls and Get-Acl print them on a
// fresh system, each with its verdict under the chain rule (as a component of a path) and
// under the folder check (as the service's folder). Written as those systems print them,
// not read from one here; where the owner or an entry varies between builds, the row says
// which form it takes.
#include <gtest/gtest.h>

#include "support/sddl_facts.h"
#include "trust/chain_rule.h"
#include "trust/trust_judgement.h"

namespace trust {
namespace {

using testing_support::Facts;

#define TI L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
#define ALICE L"S-1-5-21-3623811015-3361044348-30300820-1001"
constexpr wchar_t kBU[] = L"S-1-5-32-545";
constexpr wchar_t kAU[] = L"S-1-5-11";
constexpr wchar_t kPU[] = L"S-1-5-32-547";
constexpr wchar_t kAlice[] = ALICE;

// What Windows 10 and 11 give C:\Windows, C:\Windows\System32 and C:\Program Files alike.
#define SYSTEM_FOLDER                                                                                 \
    L"O:" TI L"G:" TI L"D:PAI(A;;FA;;;" TI L")(A;CIIO;GA;;;" TI L")(A;;0x1301bf;;;SY)"               \
    L"(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)" \
    L"(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;AC)(A;OICIIO;GXGR;;;AC)(A;;0x1200a9;;;S-1-15-2-2)"            \
    L"(A;OICIIO;GXGR;;;S-1-15-2-2)"
// Windows XP and Server 2003: Power Users hold Change on C:\WINDOWS, system32 and Program Files.
#define XP_SYSTEM_FOLDER                                                                          \
    L"O:BAG:SYD:PAI(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)(A;;0x1301bf;;;PU)(A;OICIIO;SDGXGWGR;;;PU)" \
    L"(A;;FA;;;BA)(A;OICIIO;GA;;;BA)(A;;FA;;;SY)(A;OICIIO;GA;;;SY)(A;OICIIO;GA;;;CO)"

struct Default {
    const char* name;
    const wchar_t* sddl;
    ChainPlace place;        // where the chain rule meets it
    bool folder;
    const wchar_t* chainSid;   // who fails it under the chain rule; empty: it passes
    const wchar_t* folderSid;  // who fails it as the service's folder; empty: trusted; null: a file
};

const Default kDefaults[] = {
    {"C:\\, Windows 10/11",
     L"O:" TI L"G:SYD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;OICIIO;SDGXGWGR;;;AU)"
     L"(A;;LC;;;AU)",
     ChainPlace::Root, true, L"", kAU},
    {"C:\\Windows", SYSTEM_FOLDER, ChainPlace::Folder, true, L"", L""},
    {"C:\\Windows\\System32", SYSTEM_FOLDER, ChainPlace::Folder, true, L"", L""},
    {"C:\\Windows\\System32\\x, a system file",
     L"O:" TI L"G:" TI L"D:PAI(A;;FA;;;" TI L")(A;;0x1200a9;;;BA)(A;;0x1200a9;;;SY)(A;;0x1200a9;;;BU)"
     L"(A;;0x1200a9;;;AC)(A;;0x1200a9;;;S-1-15-2-2)",
     ChainPlace::Object, false, L"", nullptr},
    {"C:\\Program Files", SYSTEM_FOLDER, ChainPlace::Folder, true, L"", L""},
    {"C:\\Program Files\\x, a file an administrator's installer made",
     L"O:BAG:SYD:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)(A;ID;0x1200a9;;;AC)"
     L"(A;ID;0x1200a9;;;S-1-15-2-2)",
     ChainPlace::Object, false, L"", nullptr},
    {"C:\\Program Files\\Quorvane, inherited",
     L"O:BAG:SYD:AI(A;ID;FA;;;" TI L")(A;CIIOID;GA;;;" TI L")(A;ID;FA;;;SY)(A;OICIIOID;GA;;;SY)"
     L"(A;ID;FA;;;BA)(A;OICIIOID;GA;;;BA)(A;ID;0x1200a9;;;BU)(A;OICIIOID;GXGR;;;BU)(A;OICIIOID;GA;;;CO)"
     L"(A;ID;0x1200a9;;;AC)(A;OICIIOID;GXGR;;;AC)(A;ID;0x1200a9;;;S-1-15-2-2)"
     L"(A;OICIIOID;GXGR;;;S-1-15-2-2)",
     ChainPlace::Folder, true, L"", L""},
    {"C:\\Users",
     L"O:SYG:SYD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)"
     L"(A;;0x1200a9;;;WD)(A;OICIIO;GXGR;;;WD)",
     ChainPlace::Folder, true, L"", L""},
    // The owner varies (SYSTEM, or the user on some builds); the user's full control decides.
    {"C:\\Users\\alice", L"O:SYG:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" ALICE L")",
     ChainPlace::Folder, true, kAlice, kAlice},
    {"C:\\Users\\alice\\AppData\\Local\\Temp",
     L"O:" ALICE L"G:" ALICE L"D:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;FA;;;" ALICE L")",
     ChainPlace::Folder, true, kAlice, kAlice},
    // Users: traverse, add a file and add a subfolder, on the folder and the folders below.
    {"C:\\Windows\\Temp",
     L"O:SYG:SYD:P(A;CI;0x100026;;;BU)(A;;FA;;;BA)(A;OICIIO;GA;;;BA)(A;;FA;;;SY)(A;OICIIO;GA;;;SY)"
     L"(A;OICIIO;GA;;;CO)",
     ChainPlace::Folder, true, kBU, kBU},
    {"C:\\ProgramData",
     L"O:SYG:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICIIO;GA;;;CO)(A;OICI;0x1200a9;;;BU)"
     L"(A;CI;DCLCRPCR;;;BU)",
     ChainPlace::Folder, true, kBU, kBU},
    {"C:\\Tools, made by an administrator",
     L"O:BAG:SYD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)(A;ID;0x1301bf;;;AU)"
     L"(A;OICIIOID;SDGXGWGR;;;AU)",
     ChainPlace::Folder, true, kAU, kAU},
    // Users may add folders to the root and files to those folders; Everyone reads the root.
    {"C:\\, XP / 2003",
     L"O:BAG:SYD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICIIO;FA;;;CO)(A;OICI;0x1200a9;;;BU)(A;CI;LC;;;BU)"
     L"(A;CIIO;DC;;;BU)(A;;0x1200a9;;;WD)",
     ChainPlace::Root, true, L"", kBU},
    {"C:\\WINDOWS, XP / 2003", XP_SYSTEM_FOLDER, ChainPlace::Folder, true, kPU, kPU},
    {"C:\\WINDOWS\\system32, XP / 2003", XP_SYSTEM_FOLDER, ChainPlace::Folder, true, kPU, kPU},
    {"C:\\Program Files, XP / 2003", XP_SYSTEM_FOLDER, ChainPlace::Folder, true, kPU, kPU},
};

const Default& Named(const char* name) {
    for (const Default& d : kDefaults) {
        if (std::string(d.name) == name) return d;
    }
    throw std::invalid_argument(name);
}

TEST(DefaultDescriptors, EachIsJudgedAsAComponentOfAPathAndAsTheServicesFolder) {
    for (const Default& d : kDefaults) {
        SCOPED_TRACE(d.name);
        const SecurityFacts facts = Facts(d.sddl);
        // A folder holds the next component; the object ends the path.
        const size_t components = d.place == ChainPlace::Folder ? 3 : 2;
        const std::vector<ChainStep> steps = d.place == ChainPlace::Root
                                                 ? std::vector<ChainStep>{{facts, true}}
                                                 : std::vector<ChainStep>{{Facts(L"O:SYD:(A;;FA;;;SY)"), true},
                                                                          {facts, d.folder}};
        const ChainVerdict chain = JudgeChain(steps, components, false, L"S-1-5-18");
        EXPECT_EQ(chain.Passes(), *d.chainSid == L'\0');
        EXPECT_EQ(chain.verdict.sid, d.chainSid);
        if (d.folderSid) {
            EXPECT_EQ(JudgeDescriptor(facts, true, L"S-1-5-18").sid, d.folderSid);
        }
    }
}

TEST(DefaultDescriptors, APathPassesOnlyThroughFoldersOnlyTheSystemChanges) {
    constexpr size_t kPasses = ChainVerdict::kPasses;
    struct Path {
        std::vector<const char*> existing;  // the root first
        size_t components;                  // more than exist: the tail is missing
        size_t failedAt;
    } paths[] = {
        {{"C:\\, Windows 10/11", "C:\\Windows", "C:\\Windows\\System32", "C:\\Windows\\System32\\x, a system file"},
         4, kPasses},
        {{"C:\\, Windows 10/11", "C:\\Windows", "C:\\Windows\\System32"}, 4, kPasses},
        {{"C:\\, Windows 10/11", "C:\\Program Files", "C:\\Program Files\\x, a file an administrator's installer made"},
         3, kPasses},
        // Authenticated Users may make C:\missing, a link among what they may make.
        {{"C:\\, Windows 10/11"}, 3, 0},
        {{"C:\\, Windows 10/11", "C:\\Users", "C:\\Users\\alice"}, 4, 2},
        {{"C:\\, Windows 10/11", "C:\\Windows", "C:\\Windows\\Temp"}, 4, 2},
        {{"C:\\, Windows 10/11", "C:\\ProgramData"}, 3, 1},
        {{"C:\\, Windows 10/11", "C:\\Tools, made by an administrator"}, 3, 1},
        {{"C:\\, XP / 2003", "C:\\WINDOWS, XP / 2003", "C:\\WINDOWS\\system32, XP / 2003"}, 4, 1},
        {{"C:\\, XP / 2003", "C:\\Program Files, XP / 2003"}, 3, 1},
    };
    for (const Path& path : paths) {
        SCOPED_TRACE(path.existing.back());
        std::vector<ChainStep> steps;
        for (const char* name : path.existing) steps.push_back({Facts(Named(name).sddl), Named(name).folder});
        const bool tailMissing = steps.size() < path.components;
        EXPECT_EQ(JudgeChain(steps, path.components, tailMissing, L"S-1-5-18").failedAt, path.failedAt);
    }
}

}  // namespace
}  // namespace trust
