#include "osversion/version_judgement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace osversion {
namespace {

// Byte for byte, as a single-byte code page would decode ASCII.
std::wstring Widen(std::string_view bytes) {
    std::wstring text;
    for (const char c : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return text;
}

VersionRecord Record(uint32_t platform, uint32_t major, uint32_t minor, uint32_t build,
                     std::string_view servicePack) {
    VersionRecord record{major, minor, build, platform, {}};
    std::copy(servicePack.begin(), servicePack.end(), record.CSDVersion.begin());
    return record;
}

struct Case {
    VersionRecord record;
    std::wstring text;
    int32_t verdict;
    std::wstring message;
};

void ExpectJudged(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const VersionFindings found = JudgeVersion(c.record, Widen);
        EXPECT_EQ(found.VersionText, c.text);
        EXPECT_EQ(found.TypeValid, c.verdict);
        EXPECT_EQ(found.TypeError, c.message);
    }
}

const wchar_t kNt4[] = L". You must be running at least NT 4.0 with SP 4 or greater";
const wchar_t kW2k[] = L". For Win2000, you must be running at least build 2195 (RTM version).";

std::wstring Running(const std::wstring& text, const wchar_t* need) {
    return L"You are running " + text + need;
}

TEST(VersionJudgement, WorkedResults) {
    ExpectJudged({
        {Record(2, 5, 1, 2195, "Service Pack 2"), L"Windows NT 5.1 Build 2195 SP 2", 3, L""},
        {Record(2, 4, 0, 0, "Service Pack 6"), L"Windows NT 4.0 SP 6", 2, L""},
        {Record(2, 4, 0, 0, "Service Pack 3"), L"Windows NT 4.0 SP 3", 0,
         L"You are running Windows NT 4.0 SP 3. You must be running at least NT 4.0 with SP 4 "
         L"or greater"},
        {Record(2, 5, 0, 900, ""), L"Windows NT 5.0 Build 900", 0,
         L"You are running Windows NT 5.0 Build 900. For Win2000, you must be running at least "
         L"build 2195 (RTM version)."},
        {Record(1, 4, 10, 222, ""), L"Windows 98 4.10 Build 222", 1, L""},
        {Record(0, 1, 30, 0, ""), L"Win32s 1.30", 0, L"You are running Win32s. This is not supported!"},
        {Record(3, 6, 0, 100, ""), L"6.0 Build 100", 0, L"Unknown operating system: 6.0 Build 100"},
    });
}

TEST(VersionJudgement, Windows9xIsAcceptedWhateverItsNumbers) {
    ExpectJudged({
        {Record(1, 0, 0, 0, "Service Pack 3"), L"Windows 98 0.0 SP 3", 1, L""},
        {Record(1, 4, 90, 0x045A0BB8, " A "), L"Windows 98 4.90 Build 3000", 1, L""},
        {Record(1, 0xFFFFFFFF, 0, 0xFFFF, ""), L"Windows 98 4294967295.0", 1, L""},
    });
}

TEST(VersionJudgement, NtBelowFourNeedsNt4Sp4WhateverItsServicePack) {
    ExpectJudged({
        {Record(2, 3, 51, 1057, "Service Pack 5"), L"Windows NT 3.51 Build 1057 SP 5", 0,
         Running(L"Windows NT 3.51 Build 1057 SP 5", kNt4)},
        // Compared as signed, a major of 2^31 or more is below 4.
        {Record(2, 0x80000000, 0, 2600, ""), L"Windows NT 2147483648.0 Build 2600", 0,
         Running(L"Windows NT 2147483648.0 Build 2600", kNt4)},
    });
}

TEST(VersionJudgement, Nt4NeedsServicePack4) {
    ExpectJudged({
        {Record(2, 4, 0, 1381, "Service Pack 3"), L"Windows NT 4.0 Build 1381 SP 3", 0,
         Running(L"Windows NT 4.0 Build 1381 SP 3", kNt4)},
        {Record(2, 4, 0, 1381, "Service Pack 4"), L"Windows NT 4.0 Build 1381 SP 4", 2, L""},
        {Record(2, 4, 0, 1381, "Service Pack 5"), L"Windows NT 4.0 Build 1381 SP 5", 2, L""},
        {Record(2, 4, 0, 0xFFFF, "Service Pack 6"), L"Windows NT 4.0 SP 6", 2, L""},
        {Record(2, 4, 0, 1381, ""), L"Windows NT 4.0 Build 1381", 0,
         Running(L"Windows NT 4.0 Build 1381", kNt4)},
    });
}

// Trailing letters are passed over to the digit just before them; no digit there gives 0.
TEST(ServicePackText, ALetteredReleaseIsReadByItsDigit) {
    ExpectJudged({
        {Record(2, 4, 0, 1381, "Service Pack 6a"), L"Windows NT 4.0 Build 1381 SP 6", 2, L""},
        {Record(2, 4, 0, 0, " Service Pack 3Beta "), L"Windows NT 4.0 SP 3", 0,
         Running(L"Windows NT 4.0 SP 3", kNt4)},
        {Record(2, 4, 0, 0, "Service Pack"), L"Windows NT 4.0", 0, Running(L"Windows NT 4.0", kNt4)},
        {Record(2, 4, 0, 0, "Service Pack 6 a"), L"Windows NT 4.0", 0,
         Running(L"Windows NT 4.0", kNt4)},
        {Record(2, 4, 0, 0, "Service Pack 6a."), L"Windows NT 4.0", 0,
         Running(L"Windows NT 4.0", kNt4)},
    });
}

TEST(VersionJudgement, Nt5AndLaterNeedBuild2031) {
    ExpectJudged({
        {Record(2, 5, 0, 2030, "Service Pack 4"), L"Windows NT 5.0 Build 2030 SP 4", 0,
         Running(L"Windows NT 5.0 Build 2030 SP 4", kW2k)},
        {Record(2, 5, 0, 2031, ""), L"Windows NT 5.0 Build 2031", 3, L""},
        {Record(2, 10, 0, 19045, ""), L"Windows NT 10.0 Build 19045", 3, L""},
        // Only the low 16 bits are the build, and from 0x8000 on they are negative.
        {Record(2, 5, 0, 0x00010000 + 2195, ""), L"Windows NT 5.0 Build 2195", 3, L""},
        {Record(2, 6, 1, 0x8000, "Service Pack 1"), L"Windows NT 6.1 SP 1", 0,
         Running(L"Windows NT 6.1 SP 1", kW2k)},
        {Record(2, 5, 1, 0xFFFF, ""), L"Windows NT 5.1", 0, Running(L"Windows NT 5.1", kW2k)},
        {Record(2, 5, 1, 0, ""), L"Windows NT 5.1", 0, Running(L"Windows NT 5.1", kW2k)},
    });
}

TEST(VersionJudgement, UnknownPlatformGetsNoPrefix) {
    ExpectJudged({
        {Record(0xFFFFFFFF, 10, 0, 2031, "Service Pack 2"), L"10.0 Build 2031 SP 2", 0,
         L"Unknown operating system: 10.0 Build 2031 SP 2"},
    });
}

TEST(ServicePackText, IsTrimmedOfSpacesBeforeItsLastCharacterIsRead) {
    ExpectJudged({
        {Record(2, 4, 0, 0, "  Service Pack 5   "), L"Windows NT 4.0 SP 5", 2, L""},
        {Record(2, 4, 0, 0, "      "), L"Windows NT 4.0", 0, Running(L"Windows NT 4.0", kNt4)},
    });
}

TEST(ServicePackText, EndsAtTheFirstZeroCharacter) {
    ExpectJudged({
        {Record(2, 4, 0, 0, std::string_view("Service Pack 4\0 9", 17)), L"Windows NT 4.0 SP 4", 2,
         L""},
    });
}

TEST(ServicePackText, NeedsAZeroCharacterWithinTheField) {
    VersionRecord full = Record(2, 4, 0, 0, "");
    full.CSDVersion.fill('5');
    VersionRecord justFits = full;  // the terminator in the last place still counts
    justFits.CSDVersion.back() = '\0';
    ExpectJudged({
        {full, L"Windows NT 4.0", 0, Running(L"Windows NT 4.0", kNt4)},
        {justFits, L"Windows NT 4.0 SP 5", 2, L""},
    });
}

TEST(LoWord, KeepsTheLowHalfAsASigned16BitNumber) {
    EXPECT_EQ(LoWord(0), 0);
    EXPECT_EQ(LoWord(0x7FFF), 0x7FFF);
    EXPECT_EQ(LoWord(0x8000), -32768);
    EXPECT_EQ(LoWord(0xFFFF), -1);
    EXPECT_EQ(LoWord(0x040A08AE), 0x08AE);
    EXPECT_EQ(LoWord(0xFFFF0001), 1);
}

}  // namespace
}  // namespace osversion
