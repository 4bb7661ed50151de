#include "activitylog/log_entry.h"

#include <gtest/gtest.h>

namespace basQuorvaneService {
namespace {

TEST(LogEntry, HeaderLineThenMessageLine) {
    EXPECT_EQ(FormatLogEntry(L"2026/12/7 06:05:51", ErrorRecord{}, L"message"),
              L"2026/12/7 06:05:51\t0:0:\r\nmessage\r\n");
}

TEST(LogEntry, HeaderNamesTheRecordedError) {
    EXPECT_EQ(FormatLogEntry(L"T", ErrorRecord{0, 53, L"File not found"}, L"(X)"),
              L"T\t0:53:File not found\r\n(X)\r\n");
    EXPECT_EQ(FormatLogEntry(L"T", ErrorRecord{0, -2147221504, L"D"}, L"m"),
              L"T\t0:-2147221504:D\r\nm\r\n");
}

TEST(LogEntry, AMessageEndingInALineBreakIsFollowedByAnEmptyLine) {
    const std::wstring separator = std::wstring(60, L'-') + L"\r\n";
    EXPECT_EQ(FormatLogEntry(L"T", ErrorRecord{}, separator),
              L"T\t0:0:\r\n" + std::wstring(60, L'-') + L"\r\n\r\n");
}

TEST(LogEntry, MidnightLeavesTheTimeOut) {
    EXPECT_EQ(JoinDateTime(L"2026/12/7", L"0:00:00", true), L"2026/12/7");
    EXPECT_EQ(JoinDateTime(L"2026/12/7", L"0:00:01", false), L"2026/12/7 0:00:01");
}

TEST(ModulePaths, DirectoryHasExactlyOneTrailingBackslash) {
    EXPECT_EQ(DirectoryOf(L"C:\\svc\\QuorvaneService.exe"), L"C:\\svc\\");
    EXPECT_EQ(DirectoryOf(L"C:\\QuorvaneService.exe"), L"C:\\");  // drive root
    EXPECT_EQ(DirectoryOf(L"\\\\server\\share\\dir\\Q.exe"), L"\\\\server\\share\\dir\\");
}

TEST(ModulePaths, BaseNameDropsOnlyTheLastExtension) {
    EXPECT_EQ(BaseNameOf(L"C:\\svc\\QuorvaneService.exe"), L"QuorvaneService");
    EXPECT_EQ(BaseNameOf(L"C:\\my.dir\\Quorvane.Service.exe"), L"Quorvane.Service");
    EXPECT_EQ(BaseNameOf(L"C:\\svc\\NoExtension"), L"NoExtension");
}

}  // namespace
}  // namespace basQuorvaneService
