// Hostile paths in the list: wildcards, bytes the ANSI code page cannot decode, text
// the other programs could not encode, relative and rooted paths, UNC paths to nowhere,
// paths past MAX_PATH and paths with a NUL inside. One run over all of them beside files
// each could reach by mistake: none of those files may go, now or at restart, while the
// entries that do name a file are still handled.
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

enum class Outcome { Gone, Scheduled, Deleted };

struct Entry {
    std::string bytes;  // as stored in the list
    Outcome outcome;
};

class HostilePaths : public ::testing::Test {
protected:
    PendingRenamesGuard restoreRenames;
    ServiceSandbox sandbox;
    TempDir files;
    std::vector<std::wstring> victims;  // files that no entry names exactly
    std::vector<Entry> entries;

    void TearDown() override {
        for (const auto& v : victims) ::DeleteFileW(v.c_str());
    }
    std::wstring Victim(const std::wstring& path) {
        WriteBytes(path, "victim");
        victims.push_back(path);
        return path;
    }
    void Add(const std::string& bytes, Outcome outcome) { entries.push_back({bytes, outcome}); }
    void Add(const std::wstring& path, Outcome outcome) { Add(Ansi(path), outcome); }
};

// Makes the folders of a path one by one; every part stays below 255 characters.
void MakeParents(const std::wstring& path) {
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
        ::CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    }
}

TEST_F(HostilePaths, NoFileAnEntryDoesNotNameExactlyIsDeletedAndTheOthersStillAre) {
    const std::wstring dir = files / L"w\\";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    Victim(dir + L"victim1.tmp");
    Victim(dir + L"xwierx.tmp");
    Victim(dir + L"ćwierć.tmp");  // ć is outside code page 936

    // Wildcards: a pattern whose first match is a file counts as there, and the delete
    // must refuse it; "*" first matches the folder itself.
    Add(dir + L"*", Outcome::Gone);
    Add(dir + L"*.tmp", Outcome::Scheduled);
    Add(dir + L"victim?.tmp", Outcome::Scheduled);
    Add(dir + L"*.none", Outcome::Gone);

    // A name a writer could not encode arrives with '?' for each such character, and
    // bytes that are no character of the code page decode to '?' as well.
    Add(platform::ToAnsi(dir + L"ćwierć.tmp"), Outcome::Scheduled);
    Add(Ansi(dir) + "\x81\x7f" + "wierx.tmp", Outcome::Scheduled);

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

    // UNC paths to a host that does not exist.
    Add(std::wstring(L"\\\\nosuchhost.invalid\\share\\f.tmp"), Outcome::Gone);
    Add(std::wstring(L"\\\\?\\UNC\\nosuchhost.invalid\\share\\f.tmp"), Outcome::Gone);

    // A NUL inside: the narrow calls would see only the part before it.
    const std::wstring beforeNul = Victim(files / L"nul-victim.tmp");
    Add(Ansi(beforeNul) + std::string(1, '\0') + ".quarantined", Outcome::Gone);

    // Past MAX_PATH: paths whose first 259 characters name a file, then that file by its
    // own path, which the pass must still delete.
    std::wstring longest = files / L"long\\";
    while (longest.size() < 259 - 60) longest += std::wstring(50, L'd') + L"\\";
    longest += std::wstring(259 - longest.size() - 4, L'f') + L".tmp";
    ASSERT_EQ(longest.size(), 259u);
    MakeParents(longest);
    WriteBytes(longest, "listed");
    ASSERT_TRUE(FileExists(longest));
    Add(longest + L"x", Outcome::Gone);
    Add(longest + L"\\" + std::wstring(40, L'g'), Outcome::Gone);
    Add(std::string(65535, 'C'), Outcome::Gone);
    Add(longest, Outcome::Deleted);

    // A plain file last: the pass went on to the end.
    const std::wstring plain = files / L"plain.tmp";
    WriteBytes(plain, "listed");
    Add(plain, Outcome::Deleted);

    std::vector<list_bytes::Entry> stored;
    for (const Entry& e : entries) stored.push_back({e.bytes, "", 0});
    const std::string list = list_bytes::Record(stored);
    WriteBytes(sandbox.ListPath(), list);
    const auto renamesBefore = ReadPendingRenames();

    sandbox.RunOnce(L"/debugmode");
    ExpectEndedStopped(sandbox);

    for (const auto& v : victims) EXPECT_TRUE(FileExists(v)) << "deleted: " << platform::ToUtf8(v);
    EXPECT_EQ(ReadPendingRenames(), renamesBefore) << "a delete at restart was registered";
    EXPECT_FALSE(FileExists(longest));
    EXPECT_FALSE(FileExists(plain));
    EXPECT_EQ(ReadBytes(sandbox.ListPath()), list);

    std::vector<std::string> lines;
    for (const Entry& e : entries) {
        // The service sees each path as the code page decodes it.
        const std::wstring seen = platform::FromAnsi(e.bytes);
        lines.push_back(Start(seen));
        lines.push_back(e.outcome == Outcome::Gone      ? Gone(seen)
                        : e.outcome == Outcome::Deleted ? Deleted(seen)
                                                        : Scheduled(seen));
    }
    const auto messages = Messages(ParseLog(sandbox.ReadLog()));
    const auto expected = DebugRun(lines);
    ASSERT_EQ(messages.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(messages[i], expected[i]) << "entry " << i;
    }
}

}  // namespace
