// The run acts on its list only when its folder and its list are trusted. Wine reads every
// file back with one fixed descriptor, so a folder or list that others can write comes
// from the seam; the trusted run uses Wine's real descriptors.
#include <gtest/gtest.h>

#include "activitylog/activity_log.h"
#include "driver/app_texts.h"
#include "driver/list_trust_gate.h"
#include "driver/run_sequence.h"
#include "eventlog/format_msg.h"
#include "pendinglist/list_trust.h"
#include "pendinglist/pending_reboot_files.h"
#include "platform/win32.h"
#include "support/list_writer.h"
#include "support/log_reader.h"
#include "support/test_files.h"

namespace basQuorvaneService {
namespace {

using namespace testing_support;
using basPendingRebootFiles::DescriptorText;
using basPendingRebootFiles::ListFilePath;

// A folder made under C:\ by an administrator: Modify for Authenticated Users.
constexpr wchar_t kModifyForAuthenticatedUsers[] =
    L"O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)"
    L"(A;ID;0x1301bf;;;AU)(A;OICIIOID;SDGXGWGR;;;AU)";

// The object the seam reports, and what it reports for it; every other object is read.
std::wstring seamObject;
DescriptorText seamText;

DescriptorText ReadThroughSeam(const std::wstring& path) {
    if (path == seamObject) return seamText;
    return basPendingRebootFiles::ReadObjectDescriptor(path);
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
        basPendingRebootFiles::ReadDescriptor = &basPendingRebootFiles::ReadObjectDescriptor;
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
    static void Seam(const std::wstring& object, DescriptorText text) {
        seamObject = object;
        seamText = std::move(text);
        basPendingRebootFiles::ReadDescriptor = &ReadThroughSeam;
    }
    static std::string Titled(const std::wstring& text) {
        return Ansi(std::wstring(ApplicationTitle) + text);
    }
    static std::string Header(uint32_t error) {
        return "0:" + std::to_string(error) + ":" +
               Ansi(modFormatMsg::SystemErrorText(static_cast<int32_t>(error)));
    }

    // Loading, the one entry naming the object, nothing of the pass; nothing touched.
    void ExpectRefused(const std::wstring& object, uint32_t error) {
        const auto entries = ParseLog(ReadBytes(LogFilePath()));
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(entries[0].message, Titled(kTextLoadingList));
        EXPECT_EQ(entries[0].errorPart, "0:0:");
        EXPECT_EQ(entries[1].message, Titled(std::wstring(kTextUntrustedList) + object));
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

TEST_F(ListTrustRun, AFolderOrListOthersCanWriteLeavesTheListAndItsFilesAlone) {
    ASSERT_NE(modFormatMsg::SystemErrorText(5), L"") << "the header would not show the text";
    for (const std::wstring& object : {AppDir(), ListFilePath()}) {
        SCOPED_TRACE(Ansi(object));
        SetUp();
        Seam(object, {true, 0, kModifyForAuthenticatedUsers});
        RunJob();
        ExpectRefused(object, ERROR_ACCESS_DENIED);
        EXPECT_EQ(LastTrustVerdict().verdict.sid, L"S-1-5-11");
        EXPECT_EQ(LastTrustVerdict().account, L"NT AUTHORITY\\Authenticated Users");
    }
}

TEST_F(ListTrustRun, ADescriptorThatCannotBeReadOrUnderstoodIsNoTrustedOne) {
    struct Case {
        std::wstring object;
        DescriptorText text;
        uint32_t error;
    } cases[] = {
        {AppDir(), {false, ERROR_SHARING_VIOLATION, L""}, ERROR_SHARING_VIOLATION},
        {AppDir(), {false, ERROR_FILE_NOT_FOUND, L""}, ERROR_FILE_NOT_FOUND},
        {ListFilePath(), {false, ERROR_ACCESS_DENIED, L""}, ERROR_ACCESS_DENIED},
        {ListFilePath(), {true, 0, L"O:BAD:(A;;FA;;;SY"}, ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << Ansi(c.object) << " " << c.error);
        SetUp();
        Seam(c.object, c.text);
        RunJob();
        ExpectRefused(c.object, c.error);
        EXPECT_EQ(LastTrustVerdict().account, L"");
    }
}

TEST_F(ListTrustRun, UnderWinesOwnDescriptorsTheRunActsOnItsList) {
    // Wine's fixed descriptor grants the account the process runs as, and no other.
    const DescriptorText folder = basPendingRebootFiles::ReadObjectDescriptor(AppDir());
    ASSERT_TRUE(folder.read) << folder.error;
    EXPECT_EQ(basPendingRebootFiles::ProcessAccountSid(), L"S-1-5-21-0-0-0-1000");
    EXPECT_TRUE(basPendingRebootFiles::JudgeDescriptor(
                    folder.sddl, true, basPendingRebootFiles::ProcessAccountSid())
                    .Trusted())
        << Ansi(folder.sddl);

    RunJob();
    const auto messages = Messages(ParseLog(ReadBytes(LogFilePath())));
    ASSERT_EQ(messages.size(), 5u);
    EXPECT_EQ(messages[0], Titled(kTextLoadingList));
    EXPECT_EQ(messages[1], Titled(kTextPreparingList));
    EXPECT_EQ(messages[4], Titled(kTextCleanupDone));
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
