// The judgement of a listed path, row by row: what names one file and in which full
// form, what names none, and what is refused with which number.
#include "fileops/listed_path.h"

#include <gtest/gtest.h>

namespace fileops {
namespace {

struct Row {
    const wchar_t* listed;
    PathKind kind;
    const wchar_t* judged;  // the full path of a File
    uint32_t refusal;
};

constexpr PathKind F = PathKind::File;
constexpr PathKind N = PathKind::NamesNoFile;
constexpr PathKind R = PathKind::Refused;

void ExpectRows(std::initializer_list<Row> rows) {
    for (const Row& row : rows) {
        const ListedPath judged = JudgeListedPath(row.listed);
        SCOPED_TRACE(testing::Message() << "listed: " << ::testing::PrintToString(std::wstring(row.listed)));
        EXPECT_EQ(judged.kind, row.kind);
        if (row.kind == F) {
            EXPECT_EQ(judged.path, row.judged);
            EXPECT_EQ(judged.OpenForm(), std::wstring(L"\\\\?\\") + row.judged);
        }
        if (row.kind == R) {
            EXPECT_EQ(judged.refusal, row.refusal);
        }
    }
}

TEST(ListedPath, DrivePathsTakeThePlatformsFullPathForm) {
    ExpectRows({
        {L"C:\\T\\x.tmp", F, L"C:\\T\\x.tmp", 0},
        {L"c:\\", N, nullptr, 0},
        {L"C:/T/q2.tmp", F, L"C:\\T\\q2.tmp", 0},
        {L"C:\\T\\\\x.tmp", F, L"C:\\T\\x.tmp", 0},
        {L"C:\\T\\..\\T\\x.tmp", F, L"C:\\T\\x.tmp", 0},
        {L"C:\\..\\..\\x", F, L"C:\\x", 0},
        {L"C:\\a\\.\\b", F, L"C:\\a\\b", 0},
        {L"C:\\T\\x.tmp.", F, L"C:\\T\\x.tmp", 0},
        {L"C:\\T\\x.tmp. . ", F, L"C:\\T\\x.tmp", 0},
        {L"C:\\T.\\x", F, L"C:\\T\\x", 0},
        {L"C:\\T \\x", F, L"C:\\T \\x", 0},
        {L"C:\\T. \\x", F, L"C:\\T. \\x", 0},
        {L"C:\\x\\COM1\\..\\a", F, L"C:\\x\\a", 0},
        {L"C:\\x\\COM10", F, L"C:\\x\\COM10", 0},
        {L"C:\\x\\console.txt", F, L"C:\\x\\console.txt", 0},
        {L"C:\\临时\\病毒.exe", F, L"C:\\临时\\病毒.exe", 0},
        // Platforms read these differently: refused rather than guessed.
        {L"C:\\T..\\x", R, nullptr, kErrorInvalidName},
        {L"C:\\T\\...\\x", R, nullptr, kErrorInvalidName},
        {L"C:\\T\\. .", R, nullptr, kErrorInvalidName},
    });
}

TEST(ListedPath, TheLiteralFormIsTakenAsItStands) {
    ExpectRows({
        {L"\\\\?\\C:\\T\\q1.tmp", F, L"C:\\T\\q1.tmp", 0},
        {L"\\\\?\\C:\\x\\nul", F, L"C:\\x\\nul", 0},
        {L"\\\\?\\C:\\x\\COM1.txt", F, L"C:\\x\\COM1.txt", 0},
        {L"\\\\?\\C:\\x\\trailing. ", F, L"C:\\x\\trailing. ", 0},
        {L"\\\\?\\C:\\x\\", N, nullptr, 0},
        {L"\\\\?\\C:\\", N, nullptr, 0},
        {L"\\\\?\\C:\\T\\..\\x", R, nullptr, kErrorInvalidName},
        {L"\\\\?\\C:\\T\\\\x", R, nullptr, kErrorInvalidName},
        {L"\\\\?\\C:\\T\\w?ld.tmp", R, nullptr, kErrorInvalidName},
        {L"\\\\?\\UNC\\host\\share\\u.txt", R, nullptr, kErrorNotSupported},
        {L"\\\\?\\unc\\host\\share\\u.txt", R, nullptr, kErrorNotSupported},
        {L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\x", R, nullptr, kErrorInvalidName},
        {L"\\\\?\\Volume{12345678-0000-0000-0000-000000000000}\\x", R, nullptr, kErrorInvalidName},
    });
}

TEST(ListedPath, OtherHostsDevicesAndNamespacesAreRefused) {
    ExpectRows({
        {L"\\\\host\\share\\u.txt", R, nullptr, kErrorNotSupported},
        {L"//host/share/u.txt", R, nullptr, kErrorNotSupported},
        {L"\\\\.\\C:\\victim\\d.txt", R, nullptr, kErrorInvalidName},
        {L"//./C:/victim/d.txt", R, nullptr, kErrorInvalidName},
        {L"//?/C:/x", R, nullptr, kErrorInvalidName},
        {L"C:\\x\\COM1", R, nullptr, kErrorInvalidName},
        {L"C:\\x\\nul", R, nullptr, kErrorInvalidName},
        {L"C:\\x\\CON", R, nullptr, kErrorInvalidName},
        {L"C:\\x\\con.txt", R, nullptr, kErrorInvalidName},
        {L"C:\\x\\Lpt9 .log", R, nullptr, kErrorInvalidName},
        {L"C:\\x\\nul.", R, nullptr, kErrorInvalidName},
        {L"C:\\x\\AUX\\y.txt", R, nullptr, kErrorInvalidName},
        {L"C:\\x\\COM\u00B9", R, nullptr, kErrorInvalidName},
        {L"C:\\x\\CONIN$", R, nullptr, kErrorInvalidName},
        {L"C:\\T\\x.tmp:stream", R, nullptr, kErrorInvalidName},
        {L"C:\\T\\x.tmp::$DATA", R, nullptr, kErrorInvalidName},
    });
}

TEST(ListedPath, PatternsAndControlCharactersAreRefused) {
    ExpectRows({
        {L"C:\\T\\w?ld.tmp", R, nullptr, kErrorInvalidName},
        {L"C:\\T\\*.tmp", R, nullptr, kErrorInvalidName},
        {L"C:\\T\\a<b", R, nullptr, kErrorInvalidName},
        {L"C:\\T\\a\"b", R, nullptr, kErrorInvalidName},
        {L"C:\\T\\a|b", R, nullptr, kErrorInvalidName},
        {L"C:\\T\\x.tmp\r\n01/01/2026 00:00\t0:0:\r\nforged", R, nullptr, kErrorInvalidName},
        {L"C:\\T\\tab\there", R, nullptr, kErrorInvalidName},
        {L"\\\\?\\C:\\T\\bell\x07", R, nullptr, kErrorInvalidName},
        {L"\\\\host\\share\\\x1F", R, nullptr, kErrorInvalidName},
    });
}

TEST(ListedPath, OnlyAWildcardMarksAPattern) {
    for (const wchar_t* text : {L"C:\\T\\w?ld.tmp", L"\\\\?\\C:\\T\\*.tmp", L"C:\\T\\a<b"}) {
        EXPECT_TRUE(JudgeListedPath(text).pattern) << text;
    }
    for (const wchar_t* text : {L"C:\\T\\a.tmp:stream", L"C:\\T\\tab\there", L"C:\\T\\NUL", L"C:\\T\\a.tmp"}) {
        EXPECT_FALSE(JudgeListedPath(text).pattern) << text;
    }
}

TEST(ListedPath, PathsThatAreNotFullyQualifiedOrHoldANulNameNoFile) {
    ExpectRows({
        {L"", N, nullptr, 0},
        {L"a.tmp", N, nullptr, 0},
        {L"..\\a.tmp", N, nullptr, 0},
        {L"C:a.tmp", N, nullptr, 0},
        {L"\\a.tmp", N, nullptr, 0},
        {L"\\??\\C:\\victim\\x", N, nullptr, 0},
        {L"1:\\a", N, nullptr, 0},
        {L"C:\\T\\sub\\", N, nullptr, 0},
    });
    EXPECT_EQ(JudgeListedPath(std::wstring(L"C:\\T\\x.tmp\0.quarantined", 23)).kind, N);
}

}  // namespace
}  // namespace fileops
