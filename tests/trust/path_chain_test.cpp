// The chain walk on real folders. Wine derives a folder's DACL from its Unix mode bits:
// "other" may write a folder of mode 0777 (Everyone gets write rights), not one of 0755,
// which the Wine user, the account the tests run as, owns.
#include "trust/path_chain.h"

#include <gtest/gtest.h>

#include "platform/win32.h"
#include "support/test_files.h"
#include "support/unix_side.h"
#include "trust/list_trust.h"
#include "trust/object_security.h"

namespace trust {
namespace {

using namespace testing_support;

std::wstring unreadable;  // the component the seam cannot read

ObjectFacts ReadExceptUnreadable(const std::wstring& path) {
    if (path != unreadable) return ReadObjectFacts(path);
    ObjectFacts facts;
    facts.error = ERROR_SHARING_VIOLATION;
    return facts;
}

class PathChain : public ::testing::Test {
protected:
    TempDir dir;
    std::wstring open = dir / L"open";      // mode 0777
    std::wstring closed = dir / L"closed";  // mode 0755
    std::wstring link = dir / L"link";      // a Unix symbolic link to `closed`
    std::wstring account = ProcessAccountSid();

    void SetUp() override {
        ASSERT_TRUE(::CreateDirectoryW(open.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW(closed.c_str(), nullptr));
        WriteBytes(open + L"\\f.txt", "x");
        WriteBytes(closed + L"\\f.txt", "x");
        ASSERT_TRUE(RunUnixScript("chmod 0777 '" + UnixPathOf(open) + "' && chmod 0755 '" + UnixPathOf(closed) +
                                  "' && ln -s '" + UnixPathOf(closed) + "' '" + UnixPathOf(link) + "'"));
    }
    void TearDown() override { ReadObject = &ReadObjectFacts; }
};

TEST_F(PathChain, AFolderOthersMayWriteFailsThePathsThroughItAndFoldersOfTheServiceAccountPass) {
    ASSERT_EQ(account, L"S-1-5-21-0-0-0-1000");
    struct Case {
        std::wstring path;
        std::wstring failed;  // empty: passes
    } cases[] = {
        {closed + L"\\f.txt", L""},
        {closed + L"\\missing\\f.txt", L""},
        {closed, L""},
        {open + L"\\f.txt", open},
        {open, open},
        // Whoever may add a file there could put a link under the missing name.
        {open + L"\\missing.txt", open},
        {open + L"\\missing\\f.txt", open},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Ansi(c.path));
        const ChainFinding finding = CheckPathChain(c.path, account);
        EXPECT_EQ(finding.passes, c.failed.empty());
        EXPECT_EQ(finding.object, c.failed);
        EXPECT_EQ(finding.sid, c.failed.empty() ? L"" : L"S-1-1-0");
        EXPECT_EQ(finding.rights != 0, !c.failed.empty()) << finding.rights;
        EXPECT_EQ(finding.error, 0u);
    }
}

TEST_F(PathChain, ALinkOnThePathAnotherOwnerOrAnUnreadableFolderFailsIt) {
    ChainFinding finding = CheckPathChain(link + L"\\f.txt", account);
    EXPECT_FALSE(finding.passes);
    EXPECT_EQ(finding.object, link);
    EXPECT_EQ(finding.sid, L"");
    EXPECT_EQ(finding.error, 0u);

    // As LocalSystem, the Wine user, who may remove what the root holds, is a stranger.
    finding = CheckPathChain(closed + L"\\f.txt", L"S-1-5-18");
    EXPECT_FALSE(finding.passes);
    EXPECT_EQ(finding.object, dir.Path().substr(0, 3));
    EXPECT_EQ(finding.sid, account);
    EXPECT_EQ(finding.rights, 0x40u);

    unreadable = closed;
    ReadObject = &ReadExceptUnreadable;
    finding = CheckPathChain(closed + L"\\f.txt", account);
    EXPECT_FALSE(finding.passes);
    EXPECT_EQ(finding.object, closed);
    EXPECT_EQ(finding.error, static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
}

TEST_F(PathChain, TheServicesPlacesAreRefusedWhereTheirModeBitsLetOthersWrite) {
    const auto places = [](const std::wstring& folder) {
        return ServicePlaces{folder + L"\\", folder + L"\\list.dat", folder + L"\\QuorvaneStaging",
                             folder + L"\\log.txt", {}};
    };
    const std::wstring inOpen = open + L"\\svc";
    const std::wstring inClosed = closed + L"\\svc";
    const std::wstring staging = inClosed + L"\\QuorvaneStaging";
    ASSERT_TRUE(::CreateDirectoryW(inOpen.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(inClosed.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(staging.c_str(), nullptr));

    EXPECT_TRUE(CheckListTrust(places(inClosed)).trusted) << "list and log missing, staging 0755";
    ListTrust trust = CheckListTrust(places(inOpen));
    EXPECT_FALSE(trust.trusted);
    EXPECT_EQ(trust.object, open) << "the folder above, in which everyone may delete the service's";
    EXPECT_EQ(trust.sid, L"S-1-1-0");

    ASSERT_TRUE(RunUnixScript("chmod 0777 '" + UnixPathOf(staging) + "'"));
    trust = CheckListTrust(places(inClosed));
    EXPECT_FALSE(trust.trusted);
    EXPECT_EQ(trust.object, staging);
    EXPECT_EQ(trust.error, static_cast<uint32_t>(ERROR_ACCESS_DENIED));
}

}  // namespace
}  // namespace trust
