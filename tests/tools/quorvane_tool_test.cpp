// QuorvaneTool run as a process under Wine, as the product's other programs and support
// staff run it: exit status, output in the code page (GBK under 936) and the files it leaves.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "eventlog/format_msg.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "support/json_reader.h"
#include "support/list_writer.h"
#include "support/process.h"
#include "support/test_files.h"
#include "support/unix_side.h"
#include "support/wine_version.h"

namespace {

using namespace testing_support;

ProcessResult Tool(const std::wstring& arguments) {
    return RunProcess(L"\"" + BinDir() + L"QuorvaneTool.exe\" " + arguments, 60000);
}

// Standard output and standard error apart.
ProcessResult ToolApart(const std::wstring& arguments) {
    return RunProcessApart(L"\"" + BinDir() + L"QuorvaneTool.exe\" " + arguments, 60000);
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }


class ToolTest : public ::testing::Test {
protected:
    TempDir dir;
    std::wstring list = dir / L"list.dat";
};

TEST_F(ToolTest, CreateWritesTheEmptyListAndReplacesOnlyWithForce) {
    ProcessResult r = Tool(L"list create " + Quoted(list));
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_EQ(ReadBytes(list), ListFileBytes({}));
    EXPECT_EQ(ReadBytes(list).size(), 46u);

    WriteBytes(list, ListFileBytes({{L"C:\\keep.tmp"}}));
    r = Tool(L"list create " + Quoted(list));
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_NE(r.output.find("--force"), std::string::npos) << r.output;
    EXPECT_EQ(ReadBytes(list), ListFileBytes({{L"C:\\keep.tmp"}}));

    r = Tool(L"list create " + Quoted(list) + L" --force");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(ReadBytes(list), ListFileBytes({}));
    EXPECT_FALSE(FileExists(list + L".new"));
}

TEST_F(ToolTest, ShowPrintsTheFieldsAndOneLinePerEntryInTheCodePage) {
    WriteBytes(list, ListFileBytes({{L"C:\\临时\\a.tmp", 0, L"附加"}, {L"\\\\srv\\share\\b.dll", -3}}));
    const ProcessResult r = Tool(L"list show " + Quoted(list));
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(r.output, Ansi(L"Header\tQuorvane Pending Reboot List DB\r\nVersion\t3.0\r\nExtra\t\r\n"
                             L"Count\t2\r\n0\t0\tC:\\临时\\a.tmp\t附加\r\n1\t-3\t\\\\srv\\share\\b.dll\t\r\n"));
}

TEST_F(ToolTest, AddAppendsAndKeepsEverythingElse) {
    // A list of another program, with its own header, version and extra texts.
    std::string foreign = ListFileBytes({{L"C:\\first.tmp", 5, L"x"}});
    foreign.replace(2, 31, "Another Program's List Header..");
    WriteBytes(list, foreign);
    ProcessResult r = Tool(L"list add " + Quoted(list) + L" C:\\新\\second.tmp --flag 0x10 --extra 说明");
    ASSERT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_EQ(r.output, Ansi(L"added\t1\t16\tC:\\新\\second.tmp\t说明\r\n"));
    r = Tool(L"list show " + Quoted(list));
    EXPECT_EQ(r.output, Ansi(L"Header\tAnother Program's List Header..\r\nVersion\t3.0\r\nExtra\t\r\n"
                             L"Count\t2\r\n0\t5\tC:\\first.tmp\tx\r\n1\t16\tC:\\新\\second.tmp\t说明\r\n"));
}

TEST_F(ToolTest, AddCreatesAMissingListWithTheSystemHeader) {
    const ProcessResult r = Tool(L"list add " + Quoted(list) + L" C:\\a.tmp");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_EQ(ReadBytes(list), ListFileBytes({{L"C:\\a.tmp"}}));
}

TEST_F(ToolTest, AddRefusesPathsThePassWouldNotTakeOrThatWouldNameOtherFiles) {
    WriteBytes(list, ListFileBytes({}));
    for (const std::wstring& path : {std::wstring(L"relative.tmp"), std::wstring(L"C:relative.tmp"),
                                     std::wstring(L"C:\\dir\\*.tmp"), std::wstring(L"C:\\a\x0E01.tmp")}) {
        const ProcessResult r = Tool(L"list add " + Quoted(list) + L" " + Quoted(path));
        EXPECT_EQ(r.exitCode, 1u) << r.output;
        EXPECT_NE(r.output.find("QuorvaneTool: "), std::string::npos);
    }
    EXPECT_EQ(Tool(L"list add " + Quoted(list) + L" C:\\a.tmp --extra \"\x0E01\"").exitCode, 1u);
    EXPECT_EQ(ReadBytes(list), ListFileBytes({})) << "nothing was added";
}

TEST_F(ToolTest, RemoveTakesTheFirstMatchInAnyLetterCase) {
    WriteBytes(list, ListFileBytes({{L"C:\\A.TMP", 1}, {L"C:\\b.tmp"}, {L"c:\\a.tmp", 2}}));
    ProcessResult r = Tool(L"list remove " + Quoted(list) + L" c:\\a.tmp");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_EQ(r.output, "removed\t0\t1\tC:\\A.TMP\t\r\n");
    EXPECT_EQ(ReadBytes(list), ListFileBytes({{L"C:\\b.tmp"}, {L"c:\\a.tmp", 2}}));
    r = Tool(L"list remove " + Quoted(list) + L" C:\\nothing.tmp");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(ReadBytes(list), ListFileBytes({{L"C:\\b.tmp"}, {L"c:\\a.tmp", 2}}));
}

TEST_F(ToolTest, VerifyNamesTheFirstOffsetWhereTheRecordBreaks) {
    WriteBytes(list, ListFileBytes({{L"C:\\a.tmp"}, {L"C:\\b.tmp"}}));
    ProcessResult r = Tool(L"list verify " + Quoted(list));
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(r.output, "ok\t2 entries\r\n");

    WriteBytes(list, ListFileBytes({{L"C:\\a.tmp"}, {L"C:\\b.tmp"}}).substr(0, 73));
    r = Tool(L"list verify " + Quoted(list));
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.output, "unreadable\tthe file ends before the record is complete\t68\r\n");

    std::string badCount = ListFileBytes({{L"C:\\a.tmp"}});
    badCount[66] = 9;
    WriteBytes(list, badCount);
    r = Tool(L"list verify " + Quoted(list));
    EXPECT_EQ(r.output, "unreadable\tCount differs from the number of stored entries\t66\r\n");
}

TEST_F(ToolTest, UnreadableAndMissingListsFailWithoutBeingTouched) {
    const std::string damaged = ListFileBytes({{L"C:\\a.tmp"}}).substr(0, 55);
    WriteBytes(list, damaged);
    for (const std::wstring command : {L"list show ", L"list add ", L"list remove "}) {
        const std::wstring extra = command == std::wstring(L"list show ") ? L"" : L" C:\\a.tmp";
        const ProcessResult r = Tool(command + Quoted(list) + extra);
        EXPECT_EQ(r.exitCode, 1u) << r.output;
        EXPECT_NE(r.output.find("unreadable list"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("offset 52"), std::string::npos) << r.output;
    }
    EXPECT_EQ(ReadBytes(list), damaged);

    const std::wstring missing = dir / L"missing.dat";
    for (const std::wstring command : {L"list show ", L"list verify ", L"list remove "}) {
        const std::wstring extra = command == std::wstring(L"list remove ") ? L" C:\\a.tmp" : L"";
        const ProcessResult r = Tool(command + Quoted(missing) + extra);
        EXPECT_EQ(r.exitCode, 1u) << r.output;
        EXPECT_NE(r.output.find("no such file"), std::string::npos) << r.output;
    }
    EXPECT_FALSE(FileExists(missing));
}

TEST_F(ToolTest, UsageErrorsExitWithTwoAndPrintTheUsage) {
    const std::vector<std::wstring> bad = {
        L"",
        L"bogus",
        L"list",
        L"list frobnicate x",
        L"list show",
        L"list show a b",
        L"list add " + Quoted(list),
        L"list add " + Quoted(list) + L" C:\\a --flag nine",
        L"list add " + Quoted(list) + L" C:\\a --flag",
        L"list create " + Quoted(list) + L" --unknown",
        L"errortext",
        L"errortext 12x",
        L"eventsource register --app A --log L --dir C:\\",
        L"eventsource register --app A --log L --dir C:\\ --message-file m.dll --categories x",
        L"osversion extra",
    };
    for (const std::wstring& arguments : bad) {
        const ProcessResult r = Tool(arguments);
        EXPECT_EQ(r.exitCode, 2u) << platform::ToUtf8(arguments) << "\n" << r.output;
        EXPECT_NE(r.output.find("Usage:"), std::string::npos) << platform::ToUtf8(arguments);
    }
    EXPECT_FALSE(FileExists(list));
}

TEST_F(ToolTest, HelpGoesToStandardOutput) {
    for (const wchar_t* arguments : {L"--help", L"list --help", L"list add --help", L"osversion --help"}) {
        const ProcessResult r = Tool(arguments);
        EXPECT_EQ(r.exitCode, 0u) << r.output;
        EXPECT_EQ(r.output.rfind("Usage:", 0), 0u) << r.output;
    }
}

// Started from a shell under Wine the tool has no console: a file gets the ANSI code page.
TEST_F(ToolTest, OutputToAFileIsInTheAnsiCodePageOrInUtf8WhenAsked) {
    for (const auto& [argument, code] : std::vector<std::pair<std::wstring, int32_t>>{
             {L"5", 5}, {L"0x2", 2}, {L"12002", 12002}, {L"-2147024891", -2147024891}}) {
        const ProcessResult r = Tool(L"errortext " + argument);
        EXPECT_EQ(r.exitCode, 0u);
        const std::wstring expected = modFormatMsg::SystemErrorText(code);
        EXPECT_FALSE(expected.empty()) << code;
        EXPECT_EQ(r.output, Ansi(expected) + "\r\n") << code;
    }
    const std::wstring denied = modFormatMsg::SystemErrorText(5);
    ASSERT_NE(Ansi(denied), platform::ToUtf8(denied)) << "the system's text is Chinese under 936";
    EXPECT_EQ(Tool(L"errortext 5 --utf8").output, platform::ToUtf8(denied) + "\r\n");
    EXPECT_EQ(Tool(L"--utf8 errortext 5").output, platform::ToUtf8(denied) + "\r\n");

    // Standard error follows the same rule.
    const std::wstring missing = dir / L"清单.dat";
    ProcessResult r = ToolApart(L"list show " + Quoted(missing));
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_NE(r.errors.find(Ansi(missing) + ": no such file\r\n"), std::string::npos) << r.errors;
    r = ToolApart(L"list show --utf8 " + Quoted(missing));
    EXPECT_NE(r.errors.find(platform::ToUtf8(missing) + ": no such file\r\n"), std::string::npos) << r.errors;
}

// Run from a terminal, the tool has a console even with its output in a file, and that
// console's code page (850 after chcp) wins over the ANSI one (1252 under LC_ALL=C).
TEST_F(ToolTest, OutputToAFileUnderATerminalIsInTheConsolesCodePage) {
    std::string bytes = ListFileBytes({{L"C:\\X.tmp"}});
    bytes[bytes.find("X.tmp")] = '\xE9';  // e acute in 1252; 0x82 in 850
    WriteBytes(list, bytes);
    WriteBytes(dir / L"show.cmd", "@chcp 850 >nul\r\n@\"" + Ansi(BinDir()) + "QuorvaneTool.exe\" list show \"" +
                                      Ansi(list) + "\" > out.txt\r\n");
    ASSERT_TRUE(RunUnixScript("cd '" + UnixPathOf(dir.Path()) +
                                  "' && LC_ALL=C LANG=C script -qec 'wine cmd /c show.cmd' /dev/null "
                                  "</dev/null >/dev/null 2>&1",
                              60000));
    EXPECT_EQ(ReadBytes(dir / L"out.txt"),
              "Header\tQuorvane Pending Reboot List DB\r\nVersion\t3.0\r\nExtra\t\r\nCount\t1\r\n"
              "0\t0\tC:\\\x82.tmp\t\r\n");
}

bool IsAscii(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) > 0x7E) return false;
    }
    return true;
}

std::optional<JsonValue> JsonOf(const ProcessResult& r) {
    EXPECT_TRUE(IsAscii(r.output)) << r.output;
    EXPECT_EQ(r.output.size() >= 2 ? r.output.substr(r.output.size() - 2) : "", "\r\n");
    return ParseJson(r.output);
}

TEST_F(ToolTest, JsonIsAsciiAndReadsBackToTheExactTexts) {
    std::string bytes = ListFileBytes({{L"C:\\临时\\a.tmp", 7, L"附加\t说明"}, {L"C:\\b.tmp", -1, L"Z"}});
    bytes[bytes.rfind('Z')] = '\x81';  // a lead byte with nothing behind it: no text gives it back
    WriteBytes(list, bytes);
    ProcessResult r = Tool(L"list show --json " + Quoted(list));
    ASSERT_EQ(r.exitCode, 0u) << r.output;
    std::optional<JsonValue> doc = JsonOf(r);
    ASSERT_TRUE(doc) << r.output;
    EXPECT_EQ(doc->Names(), (std::vector<std::string>{"file", "header", "version", "extra", "count", "entries"}));
    EXPECT_EQ(doc->Find("file")->string, list);
    EXPECT_EQ(doc->Find("header")->string, L"Quorvane Pending Reboot List DB");
    EXPECT_EQ(doc->Find("version")->string, L"3.0");
    EXPECT_EQ(doc->Find("count")->number, 2);
    const std::vector<JsonValue>& entries = doc->Find("entries")->items;
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].Names(), (std::vector<std::string>{"index", "flag", "path", "extra"}));
    EXPECT_EQ(entries[0].Find("path")->string, L"C:\\临时\\a.tmp");
    EXPECT_EQ(entries[0].Find("extra")->string, L"附加\t说明");
    EXPECT_EQ(entries[0].Find("flag")->number, 7);
    EXPECT_EQ(entries[1].Names(), (std::vector<std::string>{"index", "flag", "path", "extra", "extraBytes"}));
    EXPECT_EQ(entries[1].Find("index")->number, 1);
    EXPECT_EQ(entries[1].Find("flag")->number, -1);
    EXPECT_EQ(entries[1].Find("extra")->string, platform::FromAnsi("\x81")) << "as the service decodes it";
    EXPECT_EQ(entries[1].Find("extraBytes")->string, L"81");

    r = Tool(L"list verify --json " + Quoted(list));
    EXPECT_EQ(r.exitCode, 0u);
    doc = JsonOf(r);
    ASSERT_TRUE(doc) << r.output;
    EXPECT_EQ(doc->Find("state")->string, L"ok");
    EXPECT_EQ(doc->Find("count")->number, 2);
    WriteBytes(list, ListFileBytes({{L"C:\\a.tmp"}, {L"C:\\b.tmp"}}).substr(0, 73));
    r = Tool(L"list verify --json " + Quoted(list));
    EXPECT_EQ(r.exitCode, 1u);
    doc = JsonOf(r);
    ASSERT_TRUE(doc) << r.output;
    EXPECT_EQ(doc->Names(), (std::vector<std::string>{"file", "state", "reason", "offset"}));
    EXPECT_EQ(doc->Find("state")->string, L"unreadable");
    EXPECT_EQ(doc->Find("reason")->string, L"the file ends before the record is complete");
    EXPECT_EQ(doc->Find("offset")->number, 68);

    doc = JsonOf(r = Tool(L"errortext 0x80070005 --json"));
    ASSERT_TRUE(doc) << r.output;
    EXPECT_EQ(doc->Find("code")->number, -2147024891);
    EXPECT_EQ(doc->Find("hex")->string, L"0x80070005");
    EXPECT_EQ(doc->Find("text")->string, modFormatMsg::SystemErrorText(5));
    doc = JsonOf(r = Tool(L"osversion --json"));
    ASSERT_TRUE(doc) << r.output;
    EXPECT_EQ(doc->Names(), (std::vector<std::string>{"versionText", "verdict", "message"}));
    EXPECT_EQ(doc->Find("versionText")->string, ReportedVersionText());
    EXPECT_EQ(doc->Find("verdict")->number, 3);
}

TEST_F(ToolTest, ControlCharactersNeverSplitAnEntryAcrossLinesOrFields) {
    // Written by another program: a TAB and a line break in the extra text.
    const std::string written = ListFileBytes({{L"C:\\a.tmp", 0, L"x\ty\r\nz"}});
    WriteBytes(list, written);
    ProcessResult r = Tool(L"list show " + Quoted(list));
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_NE(r.output.find("\r\nCount\t1\r\n0\t0\tC:\\a.tmp\tx?y??z\r\n"), std::string::npos) << r.output;

    for (const std::wstring arguments : {L"C:\\b.tmp --extra \"a\tb\"", L"C:\\b.tmp \"--extra=a\nb\"",
                                         L"\"C:\\b\tc.tmp\""}) {
        r = Tool(L"list add " + Quoted(list) + L" " + arguments);
        EXPECT_EQ(r.exitCode, 1u) << r.output;
    }
    EXPECT_EQ(ReadBytes(list), written);
}

TEST_F(ToolTest, ConventionsOfWindowsConsoleTools) {
    // Command words in any letter case; --name=value beside --name value.
    ProcessResult r = Tool(L"LIST Add " + Quoted(list) + L" C:\\a.tmp --flag=0x10 --extra=x=y");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_EQ(ReadBytes(list), ListFileBytes({{L"C:\\a.tmp", 16, L"x=y"}}));
    EXPECT_EQ(Tool(L"ErrorText 2").exitCode, 0u);
    EXPECT_EQ(Tool(L"list create " + Quoted(list) + L" --force=yes").exitCode, 2u);

    // A group alone prints the group's usage.
    for (const auto& [group, own] : std::vector<std::pair<std::wstring, std::string>>{
             {L"list", "QuorvaneTool list create"}, {L"EVENTSOURCE", "QuorvaneTool eventsource register"}}) {
        r = ToolApart(group);
        EXPECT_EQ(r.exitCode, 2u);
        EXPECT_NE(r.errors.find(own), std::string::npos) << r.errors;
        EXPECT_EQ(r.errors.find("errortext"), std::string::npos) << r.errors;
    }

    // A code with no message fails and says so.
    r = ToolApart(L"errortext 9999");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.output, "");
    EXPECT_NE(r.errors.find("no message for the code 9999"), std::string::npos) << r.errors;
}

TEST_F(ToolTest, OsVersionPrintsTextVerdictAndMessage) {
    const ProcessResult r = Tool(L"osversion");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(r.output, platform::ToUtf8(ReportedVersionText()) + "\r\n3\r\n\r\n");
}

TEST_F(ToolTest, EventSourceRegisterAndUnregister) {
    const std::wstring log = L"QuorvaneToolTest-" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring key = L"System\\CurrentControlSet\\Services\\EventLog\\" + log;
    ProcessResult r = Tool(L"eventsource register --app App --log " + log +
                           L" --dir C:\\Quorvane --message-file msgs.dll");
    ASSERT_EQ(r.exitCode, 0u) << r.output;
    char data[MAX_PATH] = {};
    DWORD size = sizeof(data);
    EXPECT_EQ(::RegGetValueA(HKEY_LOCAL_MACHINE, platform::ToAnsi(key + L"\\App").c_str(),
                             "EventMessageFile", RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, data, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(data, "C:\\Quorvane\\msgs.dll");
    DWORD count = 99;
    size = sizeof(count);
    EXPECT_EQ(::RegGetValueA(HKEY_LOCAL_MACHINE, platform::ToAnsi(key + L"\\App").c_str(), "CategoryCount",
                             RRF_RT_REG_DWORD, nullptr, &count, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(count, 0u) << "no --categories: 0";

    r = Tool(L"eventsource unregister --app App --log " + log);
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    r = Tool(L"eventsource unregister --app App --log " + log);
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.output.rfind("0x8004232C\tDidirUverev.RegisterEvntSource.RegisterEventSource\t"
                             "Could not DELETE the key, App, in the registry under "
                             "System\\CurrentControlSet\\Services\\EventLog\\" +
                                 platform::ToUtf8(log) + ".  The error was: ",
                             0),
              0u)
        << r.output;
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
}

const std::wstring kEventLogKey = L"System\\CurrentControlSet\\Services\\EventLog";

// The whole tree under a key of HKEY_LOCAL_MACHINE: every key's path, every value's name,
// type and bytes.
std::string RegistryTree(const std::wstring& path) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return {};
    const platform::UniqueHKey key(opened);
    DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, longestData = 0;
    ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values,
                       &longestName, &longestData, nullptr, nullptr);
    std::string tree = "[" + platform::ToUtf8(path) + "]\n";
    for (DWORD i = 0; i < values; ++i) {
        std::wstring name(longestName + 1, L'\0');
        std::string data(longestData, '\0');
        DWORD nameLength = longestName + 1, size = longestData, type = 0;
        ::RegEnumValueW(key.get(), i, name.data(), &nameLength, nullptr, &type,
                        reinterpret_cast<BYTE*>(data.data()), &size);
        tree += platform::ToUtf8(name.substr(0, nameLength)) + " " + std::to_string(type) + " " +
                data.substr(0, size) + "\n";
    }
    for (DWORD i = 0; i < subkeys; ++i) {
        std::wstring name(longestSubkey + 1, L'\0');
        DWORD nameLength = longestSubkey + 1;
        ::RegEnumKeyExW(key.get(), i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr);
        tree += RegistryTree(path + L"\\" + name.substr(0, nameLength));
    }
    return tree;
}

// Names that would make the source's key the log's own key, or another key of the event
// log service, touch nothing: the whole event log tree stays byte for byte.
TEST_F(ToolTest, EventSourceGuardRailsLeaveTheEventLogTreeAsItWas) {
    // A log with no sources: what an empty --app would delete.
    const std::wstring log = L"QuorvaneToolGuard-" + std::to_wstring(::GetCurrentProcessId());
    HKEY created = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (kEventLogKey + L"\\" + log).c_str(), 0, nullptr, 0,
                                KEY_WRITE, nullptr, &created, nullptr),
              ERROR_SUCCESS);
    const DWORD retention = 7;
    ::RegSetValueExW(created, L"Retention", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&retention), 4);
    ::RegCloseKey(created);
    const std::string before = RegistryTree(kEventLogKey);
    ASSERT_NE(before.find("EventLog\\Parameters]"), std::string::npos) << "the service's own key is there";

    const std::wstring dll = L" --dir C:\\Q --message-file m.dll";
    for (const std::wstring& arguments : std::vector<std::wstring>{
             L"unregister --app \"\" --log " + log,
             L"unregister --app \"\" --log Parameters",
             L"unregister --app " + log + L" --log \"\"",
             L"unregister --app= --log " + log,
             L"unregister --app \"  \" --log " + log,
             L"unregister --app Parameters --log \\",
             L"unregister --app x --log " + log + L"\\x",
             L"register --app \"\" --log " + log + dll,
             L"register --app " + log + L" --log \"\"" + dll,
             L"register --app a\\b --log " + log + dll,
             L"register --app A --log " + log + L" --dir --message-file m.dll",
         }) {
        const ProcessResult r = Tool(L"eventsource " + arguments);
        EXPECT_EQ(r.exitCode, 2u) << platform::ToUtf8(arguments) << "\n" << r.output;
        EXPECT_NE(r.output.find("Usage:"), std::string::npos) << r.output;
    }
    EXPECT_EQ(RegistryTree(kEventLogKey), before);

    // A folder the code page cannot hold (Thai under 936): refused before any key is made.
    const ProcessResult r =
        Tool(L"eventsource register --app A --log " + log + L" --dir C:\\\x0E01 --message-file m.dll");
    EXPECT_EQ(r.exitCode, 1u) << r.output;
    EXPECT_EQ(r.output.rfind("0x8004232E\tDidirUverev.RegisterEvntSource.RegisterEventSource\tCould not SET the "
                             "EventMessageFile value for the key, A,",
                             0),
              0u)
        << r.output;
    EXPECT_EQ(RegistryTree(kEventLogKey), before);
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kEventLogKey + L"\\" + log).c_str());
}

// --- Updates from several processes ---

TEST_F(ToolTest, AWriterKilledBeforeItsReplaceLeavesTheOldListWhole) {
    WriteBytes(list, ListFileBytes({{L"C:\\old.tmp"}}));
    ::SetEnvironmentVariableW(L"QUORVANE_TOOL_PAUSE_BEFORE_REPLACE_MS", L"60000");
    platform::UniqueHandle writer =
        LaunchProcess(L"\"" + BinDir() + L"QuorvaneTool.exe\" list add " + Quoted(list) + L" C:\\new.tmp");
    ::SetEnvironmentVariableW(L"QUORVANE_TOOL_PAUSE_BEFORE_REPLACE_MS", nullptr);
    const DWORD start = ::GetTickCount();
    while (!FileExists(list + L".new") && ::GetTickCount() - start < 30000) ::Sleep(20);
    ASSERT_TRUE(FileExists(list + L".new")) << "the writer never wrote its new file";
    ::Sleep(100);  // the new file is complete before the pause
    ::TerminateProcess(writer.get(), 9);
    ::WaitForSingleObject(writer.get(), 10000);

    EXPECT_EQ(ReadBytes(list), ListFileBytes({{L"C:\\old.tmp"}}));
    // The dead writer's lock and leftover file stand in no one's way.
    const ProcessResult r = Tool(L"list add " + Quoted(list) + L" C:\\after.tmp");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_EQ(ReadBytes(list), ListFileBytes({{L"C:\\old.tmp"}, {L"C:\\after.tmp"}}));
    EXPECT_FALSE(FileExists(list + L".new"));
}

// Every spelling of one list takes one lock and writes one new file: no add is lost, none
// lands twice, and the list keeps its long name.
TEST_F(ToolTest, TwentyConcurrentAddsThroughFourSpellingsAllLandOnce) {
    const std::wstring longName = dir / L"QuorvanePendingRebootList.dat";
    ASSERT_EQ(Tool(L"list create " + Quoted(longName)).exitCode, 0u);
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_GT(::GetShortPathNameW(longName.c_str(), shortName, MAX_PATH), 0u);
    const std::vector<std::wstring> spellings = {longName, shortName, L"\\\\?\\" + longName,
                                                 WineUnixSpelling(longName)};
    ASSERT_NE(spellings[1], longName);
    ASSERT_EQ(spellings[3].rfind(L"Z:\\", 0), 0u) << "no Z: spelling under this Wine";

    std::vector<platform::UniqueHandle> writers;
    for (int i = 0; i < 20; ++i) {
        writers.push_back(LaunchProcess(L"\"" + BinDir() + L"QuorvaneTool.exe\" list add " +
                                        Quoted(spellings[i % spellings.size()]) + L" C:\\concurrent\\file" +
                                        std::to_wstring(i) + L".tmp"));
    }
    for (auto& writer : writers) {
        DWORD exitCode = 99;
        ASSERT_TRUE(WaitForExit(writer.get(), 120000, &exitCode));
        EXPECT_EQ(exitCode, 0u);
    }
    const ProcessResult shown = Tool(L"list show " + Quoted(longName));
    EXPECT_NE(shown.output.find("Count\t20\r\n"), std::string::npos) << shown.output;
    for (int i = 0; i < 20; ++i) {
        const std::string entry = "\tC:\\concurrent\\file" + std::to_string(i) + ".tmp\t";
        const size_t first = shown.output.find(entry);
        EXPECT_NE(first, std::string::npos) << i;
        EXPECT_EQ(shown.output.find(entry, first + 1), std::string::npos) << i << " landed twice";
    }
    WIN32_FIND_DATAW found;
    platform::UniqueFind search(::FindFirstFileW((dir / L"*").c_str(), &found));
    ASSERT_TRUE(search);
    std::vector<std::wstring> names;
    do {
        if (found.cFileName[0] != L'.') names.push_back(found.cFileName);
    } while (::FindNextFileW(search.get(), &found));
    EXPECT_EQ(names, std::vector<std::wstring>{L"QuorvanePendingRebootList.dat"}) << "renamed or left behind";
}

TEST_F(ToolTest, AReadOnlyListIsNotUpdated) {
    const std::string bytes = ListFileBytes({{L"C:\\a.tmp"}});
    WriteBytes(list, bytes);
    ASSERT_TRUE(::SetFileAttributesW(list.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    for (const std::wstring& command : {L"list add " + Quoted(list) + L" C:\\b.tmp",
                                        L"list remove " + Quoted(list) + L" C:\\a.tmp",
                                        L"list create " + Quoted(list) + L" --force"}) {
        const ProcessResult r = Tool(command);
        EXPECT_EQ(r.exitCode, 1u) << r.output;
        EXPECT_NE(r.output.find("read-only"), std::string::npos) << r.output;
    }
    EXPECT_EQ(ReadBytes(list), bytes);
    EXPECT_EQ(::GetFileAttributesW(list.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_FALSE(FileExists(list + L".new"));
    ::SetFileAttributesW(list.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
