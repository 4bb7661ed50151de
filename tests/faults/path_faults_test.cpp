// Hostile paths in the list: patterns, bytes the ANSI code page cannot decode, text the
// other programs could not encode, relative and rooted paths, other hosts, devices,
// reserved names, line breaks, paths past MAX_PATH and paths with a NUL inside; and every
// other spelling of a file that names it directly. One run over all of them beside files
// each could reach by mistake: none of those files may go, now or at restart, while the
// entries that do name a file are handled.
#include <gtest/gtest.h>

#include "fault_support.h"
#include "pendinglist/list_bytes.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "support/log_reader.h"
#include "support/pending_renames.h"
#include "support/service_sandbox.h"

namespace {

using namespace testing_support;
using namespace fault_support;

enum class Outcome { Gone, Scheduled, Deleted, Refused };

struct Entry {
    std::string bytes;  // as stored in the list
    Outcome outcome;
    uint32_t error = 0;  // the number a refused line's header names
};

class HostilePaths : public ::testing::Test {
protected:
    PendingRenamesGuard restoreRenames;
    ServiceSandbox sandbox;
    TempDir files;
    std::vector<std::wstring> victims;  // files that no entry names exactly
    std::vector<Entry> entries;

    void TearDown() override {
        for (const auto& v : victims) {
            ::SetFileAttributesW(v.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(v.c_str());
        }
    }
    std::wstring Victim(const std::wstring& path) {
        WriteBytes(path, "victim");
        victims.push_back(path);
        return path;
    }
    std::wstring Listed(const std::wstring& path) {
        WriteBytes(path, "listed");
        return path;
    }
    void Add(const std::string& bytes, Outcome outcome, uint32_t error = 0) {
        entries.push_back({bytes, outcome, error});
    }
    void Add(const std::wstring& path, Outcome outcome, uint32_t error = 0) { Add(Ansi(path), outcome, error); }
};

constexpr uint32_t kInvalidName = 123;   // a pattern, a device, a control character
constexpr uint32_t kNotSupported = 50;   // another host

// Makes the folders of a path one by one; every part stays below 255 characters.
void MakeParents(const std::wstring& path) {
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
        ::CreateDirectoryW((L"\\\\?\\" + path.substr(0, at)).c_str(), nullptr);
    }
}

std::wstring LongPath(const std::wstring& base, size_t length) {
    std::wstring path = base;
    while (path.size() < length - 60) path += std::wstring(50, L'd') + L"\\";
    path += std::wstring(length - path.size() - 4, L'f') + L".tmp";
    return path;
}

TEST_F(HostilePaths, EachEntryReachesExactlyTheFileItNamesOrNone) {
    const std::wstring dir = files / L"w\\";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    Victim(dir + L"victim1.tmp");
    Victim(dir + L"xwierx.tmp");
    Victim(dir + L"ćwierć.tmp");  // ć is outside code page 936

    // Patterns name no file, whatever they match; so do the '?' a writer's conversion
    // leaves for a character it could not encode, and bytes the code page cannot decode.
    Add(dir + L"*", Outcome::Refused, kInvalidName);
    Add(dir + L"*.tmp", Outcome::Refused, kInvalidName);
    Add(dir + L"victim?.tmp", Outcome::Refused, kInvalidName);
    Add(dir + L"victim<.tmp", Outcome::Refused, kInvalidName);
    Add(dir + L"*.none", Outcome::Refused, kInvalidName);
    Add(platform::ToAnsi(dir + L"ćwierć.tmp"), Outcome::Refused, kInvalidName);
    Add(Ansi(dir) + "\x81\x7f" + "wierx.tmp", Outcome::Refused, kInvalidName);

    // Relative, drive-relative and rooted paths, beside files they would name relative
    // to the service's working folder, its own folder or the current drive.
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    const std::wstring relativeName = L"qfault-relative-" + std::to_wstring(::GetCurrentProcessId()) + L".tmp";
    Victim(std::wstring(system) + L"\\" + relativeName);
    Victim(sandbox.Dir() + relativeName);
    Victim(files / relativeName);
    const std::wstring filesNoDrive = files.Path().substr(2);  // "\users\...\"
    Add(relativeName, Outcome::Gone);
    Add(L".\\" + relativeName, Outcome::Gone);
    Add(L"C:" + relativeName, Outcome::Gone);
    Add(filesNoDrive + relativeName, Outcome::Gone);
    Add(L"..\\.." + filesNoDrive + relativeName, Outcome::Gone);

    // Other hosts and the device namespace, never touched.
    Add(std::wstring(L"\\\\nosuchhost.invalid\\share\\f.tmp"), Outcome::Refused, kNotSupported);
    Add(std::wstring(L"\\\\?\\UNC\\nosuchhost.invalid\\share\\f.tmp"), Outcome::Refused, kNotSupported);
    Add(L"\\\\.\\" + Victim(dir + L"device.tmp"), Outcome::Refused, kInvalidName);

    // Reserved device names outside the literal form; in it, an ordinary file.
    const std::wstring devices = dir + L"dev\\";
    ::CreateDirectoryW(devices.c_str(), nullptr);
    for (const wchar_t* name : {L"COM1", L"nul", L"CON", L"aux.txt"}) {
        Victim(L"\\\\?\\" + devices + name);
        Add(devices + name, Outcome::Refused, kInvalidName);
    }
    Add(L"\\\\?\\" + Listed(L"\\\\?\\" + dir + L"nul").substr(4), Outcome::Deleted);

    // A path that would forge entries in the log.
    const std::wstring forged = dir + L"victim1.tmp\r\n2026/1/1 0:00:00\t0:0:\r\n" +
                                PassText(texts::kDeletedLabel, L"C:\\windows\\system32\\kernel32.dll");
    Add(forged, Outcome::Refused, kInvalidName);

    // A NUL inside: the narrow calls would see only the part before it.
    const std::wstring beforeNul = Victim(files / L"nul-victim.tmp");
    Add(Ansi(beforeNul) + std::string(1, '\0') + ".quarantined", Outcome::Gone);

    // Every form that names a file directly: the literal form, slashes, "..", a trailing
    // dot, a short name, a Chinese name, paths past MAX_PATH.
    Add(L"\\\\?\\" + Listed(dir + L"q1.tmp"), Outcome::Deleted);
    std::wstring slashes = Listed(dir + L"q2.tmp");
    for (wchar_t& c : slashes) c = c == L'\\' ? L'/' : c;
    Add(slashes, Outcome::Deleted);
    Listed(dir + L"q3.tmp");
    Add(dir + L"..\\w\\q3.tmp", Outcome::Deleted);
    Add(Listed(dir + L"q4.tmp") + L".", Outcome::Deleted);
    const std::wstring longName = Listed(dir + L"a rather long file name.text");
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_GT(::GetShortPathNameW(longName.c_str(), shortName, MAX_PATH), 0u);
    ASSERT_NE(std::wstring(shortName), longName);
    Add(std::wstring(shortName), Outcome::Deleted);
    Add(Listed(dir + L"临时文件.tmp"), Outcome::Deleted);
    const std::wstring longest = LongPath(files / L"long\\", 259);
    MakeParents(longest);
    Listed(longest);
    Add(longest + L"x", Outcome::Gone);
    Add(longest + L"\\" + std::wstring(40, L'g'), Outcome::Gone);
    Add(std::string(65535, 'C'), Outcome::Gone);
    Add(longest, Outcome::Deleted);
    const std::wstring longer = LongPath(files / L"longer\\", 320);
    MakeParents(longer);
    WriteBytes(L"\\\\?\\" + longer, "listed");
    Add(longer, Outcome::Deleted);

    // A read-only file in the literal form: staged, and the staged name requested.
    const std::wstring readOnly = Listed(dir + L"ro.tmp");
    ::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    Add(L"\\\\?\\" + readOnly, Outcome::Scheduled);

    // A plain file last: the pass went on to the end.
    const std::wstring plain = Listed(files / L"plain.tmp");
    Add(plain, Outcome::Deleted);

    std::vector<list_bytes::Entry> stored;
    for (const Entry& e : entries) stored.push_back({e.bytes, "", 0});
    const std::string list = list_bytes::Record(stored);
    WriteBytes(sandbox.ListPath(), list);
    auto renamesExpected = ReadPendingRenames();

    sandbox.RunOnce(L"/debugmode");
    ExpectEndedStopped(sandbox);

    for (const auto& v : victims) {
        EXPECT_EQ(ReadBytes(L"\\\\?\\" + (v.rfind(L"\\\\?\\", 0) == 0 ? v.substr(4) : v)), "victim")
            << "touched: " << platform::ToUtf8(v);
    }
    const auto staged = sandbox.StagedFiles();
    ASSERT_EQ(staged.size(), 1u);
    renamesExpected.push_back(L"\\??\\" + staged[0]);
    renamesExpected.push_back(L"");
    EXPECT_EQ(ReadPendingRenames(), renamesExpected) << "a delete at restart for another file";
    for (const std::wstring& path : {dir + L"q1.tmp", dir + L"q2.tmp", dir + L"q3.tmp", dir + L"q4.tmp",
                                     longName, dir + L"临时文件.tmp", longest, plain, readOnly}) {
        EXPECT_FALSE(FileExists(path)) << "left: " << platform::ToUtf8(path);
    }
    EXPECT_EQ(::GetFileAttributesW((L"\\\\?\\" + dir + L"nul").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(::GetFileAttributesW((L"\\\\?\\" + longer).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadBytes(sandbox.ListPath()), list);

    // Every entry is one header line and one message line: the service sees each path as
    // the code page decodes it, and logs a control character as the default character.
    std::vector<std::string> lines;
    std::vector<std::string> headers;
    for (const Entry& e : entries) {
        std::wstring seen = platform::FromAnsi(e.bytes);
        for (wchar_t& c : seen) c = c < 0x20 ? L'?' : c;
        lines.push_back(Start(seen));
        headers.push_back("0:0:");
        lines.push_back(e.outcome == Outcome::Gone      ? Gone(seen)
                        : e.outcome == Outcome::Deleted ? Deleted(seen)
                        : e.outcome == Outcome::Refused ? Refused(seen)
                                                        : Scheduled(seen));
        headers.push_back(e.outcome == Outcome::Refused ? "0:" + std::to_string(e.error) + ":" : "0:0:");
    }
    const auto log = ParseLog(sandbox.ReadLog());
    const auto messages = Messages(log);
    const auto expected = DebugRun(lines);
    ASSERT_EQ(messages.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(messages[i], expected[i]) << "entry " << i;
    }
    for (size_t i = 0; i < headers.size(); ++i) {
        EXPECT_EQ(messages[3 + i].find_first_of("\r\n"), std::string::npos) << "entry " << 3 + i;
        EXPECT_EQ(log[3 + i].errorPart.substr(0, headers[i].size()), headers[i]) << "entry " << 3 + i;
    }
}

}  // namespace
