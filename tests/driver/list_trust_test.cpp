// The run acts on its list only when its folder, the folders above it, its list, its
// staging folder and its log are trusted. Wine derives each descriptor from Unix mode bits:
// a staging folder of mode 0777 is really untrusted, and the trusted run uses Wine's real
// descriptors; entries Wine cannot produce (inherited ones, a real Windows folder's) come
// from the seam.
#include <gtest/gtest.h>

#include "activitylog/activity_log.h"
#include "trust/list_trust_gate.h"
#include "driver/run_sequence.h"
#include "eventlog/format_msg.h"
#include "fileops/staging.h"
#include "pendinglist/pending_reboot_files.h"
#include "platform/win32.h"
#include "support/list_writer.h"
#include "support/log_reader.h"
#include "support/pass_lines.h"
#include "support/sddl_facts.h"
#include "support/test_files.h"
#include "support/unix_side.h"
#include "trust/object_security.h"
#include "trust/trust_judgement.h"

namespace basQuorvaneService {
namespace {

using namespace testing_support;
using basPendingRebootFiles::ListFilePath;
using trust::ObjectFacts;

// A folder made under C:\ by an administrator: Modify for Authenticated Users.
constexpr wchar_t kModifyForAuthenticatedUsers[] =
    L"O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)"
    L"(A;ID;0x1301bf;;;AU)(A;OICIIOID;SDGXGWGR;;;AU)";

// The object the seam reports, and what it reports for it; every other object is read.
std::wstring seamObject;
ObjectFacts seamFacts;

ObjectFacts ReadThroughSeam(const std::wstring& path) {
    if (path == seamObject) return seamFacts;
    return trust::ReadObjectFacts(path);
}

ObjectFacts Read(const wchar_t* sddl) {
    ObjectFacts facts;
    facts.read = true;
    facts.attributes = FILE_ATTRIBUTE_DIRECTORY;
    facts.security = Facts(sddl);
    return facts;
}

ObjectFacts Unread(uint32_t error) {
    ObjectFacts facts;
    facts.error = error;
    return facts;
}

std::wstring StagingFolder() { return AppDir() + fileops::kStagingFolderName; }

// The folder that holds the service's folder.
std::wstring ParentFolder() {
    const std::wstring folder = AppDir().substr(0, AppDir().size() - 1);
    return folder.substr(0, folder.rfind(L'\\'));
}

class ListTrustRun : public ::testing::Test {
protected:
    TempDir dir;
    std::wstring victim = dir / L"victim.tmp";
    std::string listBytes = ListFileBytes({ListedFile(victim)});
    std::string copyBytes = "a damaged list kept earlier";

    void SetUp() override {
        Reset();
        WriteBytes(victim, "listed");
        WriteBytes(ListFilePath(), listBytes);
        WriteBytes(ListFilePath() + L".bad", copyBytes);
    }
    void TearDown() override {
        trust::ReadObject = &trust::ReadObjectFacts;
        Reset();
    }
    static void Reset() {
        for (const std::wstring& p : {ListFilePath(), ListFilePath() + L".bad", LogFilePath()}) {
            ::DeleteFileW(p.c_str());
        }
        basPendingRebootFiles::List().Clear();
        DebugMode = false;
        ClearError();
    }
    static void Seam(const std::wstring& object, ObjectFacts facts) {
        seamObject = object;
        seamFacts = std::move(facts);
        trust::ReadObject = &ReadThroughSeam;
    }
    static std::string Header(uint32_t error) {
        return "0:" + std::to_string(error) + ":" +
               Ansi(modFormatMsg::SystemErrorText(static_cast<int32_t>(error)));
    }

    // Loading, the one entry naming the object, nothing of the pass; nothing touched.
    void ExpectRefused(const std::wstring& object, uint32_t error) {
        const auto entries = ParseLog(ReadBytes(LogFilePath()));
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(entries[0].message, Titled(texts::kLoadingList));
        EXPECT_EQ(entries[0].errorPart, "0:0:");
        EXPECT_EQ(entries[1].message, Titled(std::wstring(texts::kUntrustedList) + object));
        EXPECT_EQ(entries[1].errorPart, Header(error));
        EXPECT_EQ(CurrentError.Number, 0) << "the refusal stayed recorded after its entry";
        EXPECT_EQ(ReadBytes(ListFilePath()), listBytes);
        EXPECT_EQ(ReadBytes(ListFilePath() + L".bad"), copyBytes);
        EXPECT_EQ(ReadBytes(victim), "listed");
        EXPECT_EQ(basPendingRebootFiles::List().Count(), 0) << "the list was loaded";
        EXPECT_FALSE(LastTrustVerdict().trusted);
        EXPECT_EQ(LastTrustVerdict().object, object);
    }
};

TEST_F(ListTrustRun, AnObjectOthersCanWriteLeavesTheListAndItsFilesAlone) {
    ASSERT_NE(modFormatMsg::SystemErrorText(5), L"") << "the header would not show the text";
    struct Case {
        std::wstring object;
        const wchar_t* sddl;
    } cases[] = {
        {AppDir(), kModifyForAuthenticatedUsers},
        {ListFilePath(), kModifyForAuthenticatedUsers},
        {StagingFolder(), kModifyForAuthenticatedUsers},
        {LogFilePath(), kModifyForAuthenticatedUsers},
        // Authenticated Users may remove or rename the service's folder.
        {ParentFolder(), kModifyForAuthenticatedUsers},
        // The service's folder hands Modify down to every file made in it, the list's next copy too.
        {AppDir(), L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OIIO;0x1301bf;;;AU)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Ansi(c.object));
        SetUp();
        Seam(c.object, Read(c.sddl));
        RunJob();
        ExpectRefused(c.object, ERROR_ACCESS_DENIED);
        EXPECT_EQ(LastTrustVerdict().sid, L"S-1-5-11");
        EXPECT_EQ(LastTrustVerdict().account, L"NT AUTHORITY\\Authenticated Users");
    }
}

TEST_F(ListTrustRun, AStagingFolderOthersCanWriteForUnixModeBitsIsRefused) {
    const bool existed = DirectoryExists(StagingFolder());
    ASSERT_TRUE(existed || ::CreateDirectoryW(StagingFolder().c_str(), nullptr));
    ASSERT_TRUE(RunUnixScript("chmod 0777 '" + UnixPathOf(StagingFolder()) + "'"));
    RunJob();
    ASSERT_TRUE(RunUnixScript("chmod 0755 '" + UnixPathOf(StagingFolder()) + "'"));
    if (!existed) ::RemoveDirectoryW(StagingFolder().c_str());
    ExpectRefused(StagingFolder(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(LastTrustVerdict().sid, L"S-1-1-0");
}

TEST_F(ListTrustRun, ADescriptorThatCannotBeReadOrUnderstoodIsNoTrustedOne) {
    struct Case {
        std::wstring object;
        ObjectFacts facts;
        uint32_t error;
    } cases[] = {
        {AppDir(), Unread(ERROR_SHARING_VIOLATION), ERROR_SHARING_VIOLATION},
        {AppDir(), Unread(ERROR_FILE_NOT_FOUND), ERROR_FILE_NOT_FOUND},
        {ParentFolder(), Unread(ERROR_ACCESS_DENIED), ERROR_ACCESS_DENIED},
        {ListFilePath(), Unread(ERROR_ACCESS_DENIED), ERROR_ACCESS_DENIED},
        {StagingFolder(), Unread(ERROR_SHARING_VIOLATION), ERROR_SHARING_VIOLATION},
        // A descriptor that names no owner.
        {ListFilePath(), Read(L"D:(A;;FA;;;SY)"), ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << Ansi(c.object) << " " << c.error);
        SetUp();
        Seam(c.object, c.facts);
        RunJob();
        ExpectRefused(c.object, c.error);
        EXPECT_EQ(LastTrustVerdict().account, L"");
    }
}

TEST_F(ListTrustRun, UnderWinesOwnDescriptorsTheRunActsOnItsList) {
    // Wine's descriptor of a 0755 folder grants the account the process runs as, and no other.
    const ObjectFacts folder = trust::ReadObjectFacts(AppDir());
    ASSERT_TRUE(folder.read) << folder.error;
    EXPECT_EQ(trust::ProcessAccountSid(), L"S-1-5-21-0-0-0-1000");
    EXPECT_TRUE(trust::JudgeDescriptor(folder.security, true, trust::ProcessAccountSid()).Trusted());

    RunJob();
    const auto messages = Messages(ParseLog(ReadBytes(LogFilePath())));
    ASSERT_EQ(messages.size(), 5u);
    EXPECT_EQ(messages[0], Titled(texts::kLoadingList));
    EXPECT_EQ(messages[1], Titled(texts::kPreparingList));
    EXPECT_EQ(messages[4], Titled(texts::kCleanupDone));
    EXPECT_FALSE(FileExists(victim));
    EXPECT_TRUE(LastTrustVerdict().trusted);
    EXPECT_EQ(LastTrustVerdict().object, L"");

    // A missing list is no untrusted one: Load writes a fresh list.
    Reset();
    RunJob();
    EXPECT_EQ(ReadBytes(ListFilePath()), ListFileBytes({}));
    EXPECT_TRUE(LastTrustVerdict().trusted);
}

}  // namespace
}  // namespace basQuorvaneService
