// A user who gets one file of theirs listed tries to have the restart, or an
// administrator's restore, act on a file of someone else: a second name, an exchange
// while the file is staged, a folder swapped again and again during a restore, a staging
// folder made unusable, a file held open in a folder others can write. The real service,
// real links; folders the attacker owns are made writable by others (Wine derives a
// folder's permissions from its mode bits).
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>

#include "fault_support.h"
#include "platform/handles.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "support/list_writer.h"
#include "support/log_reader.h"
#include "support/pending_renames.h"
#include "support/process.h"
#include "support/service_sandbox.h"
#include "support/unix_side.h"

namespace {

using namespace testing_support;
using namespace fault_support;

ProcessResult Tool(const ServiceSandbox& sandbox, const std::wstring& arguments) {
    const std::wstring folder = sandbox.Dir().substr(0, sandbox.Dir().size() - 1);  // a \" would escape the quote
    return RunProcess(L"\"" + BinDir() + L"QuorvaneTool.exe\" " + arguments + L" --dir \"" + folder + L"\"");
}

// "NAME<TAB>state<TAB>path..." lines of "QuorvaneTool staged", by the word in the middle.
std::multimap<std::string, std::pair<std::wstring, std::wstring>> StagedLines(const ServiceSandbox& sandbox) {
    std::multimap<std::string, std::pair<std::wstring, std::wstring>> lines;
    const ProcessResult shown = Tool(sandbox, L"staged");
    EXPECT_EQ(shown.exitCode, 0u) << shown.output;
    size_t at = 0;
    while (at < shown.output.size()) {
        const size_t end = shown.output.find("\r\n", at);
        const std::string line = shown.output.substr(at, end - at);
        at = end == std::string::npos ? shown.output.size() : end + 2;
        const size_t first = line.find('\t'), second = line.find('\t', first + 1);
        if (second == std::string::npos) continue;
        const size_t third = line.find('\t', second + 1);
        lines.emplace(line.substr(first + 1, second - first - 1),
                      std::pair{platform::FromAnsi(line.substr(0, first)),
                                platform::FromAnsi(line.substr(second + 1, third == std::string::npos ? third : third - second - 1))});
    }
    return lines;
}

class Attack : public ::testing::Test {
protected:
    PendingRenamesGuard restoreRenames;
    ServiceSandbox sandbox;
    TempDir files;
    std::wstring user = files / L"user";
    std::wstring victims = files / L"victims";

    void SetUp() override {
        ASSERT_TRUE(::CreateDirectoryW(user.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW(victims.c_str(), nullptr));
        WriteBytes(victims + L"\\system.dll", "the victim's own");
        OpenToOthers(user);
    }
    static void OpenToOthers(const std::wstring& folder) {
        ASSERT_TRUE(RunUnixScript("chmod 0777 '" + UnixPathOf(folder) + "'"));
    }
    void ExpectVictimsUntouched() {
        EXPECT_EQ(ReadBytes(victims + L"\\system.dll"), "the victim's own");
        WIN32_FIND_DATAW found;
        platform::UniqueFind search(::FindFirstFileW((victims + L"\\*").c_str(), &found));
        int count = 0;
        if (search) {
            do {
                if (found.cFileName[0] != L'.') ++count;
            } while (::FindNextFileW(search.get(), &found));
        }
        EXPECT_EQ(count, 1) << "a file arrived in the victims' folder";
    }
    // The user's folder swapped for a link to the victims' (kept as user.real).
    void SwapForLink() {
        ASSERT_TRUE(RunUnixScript("mv '" + UnixPathOf(user) + "' '" + UnixPathOf(user) + ".real' && ln -s '" +
                                  UnixPathOf(victims) + "' '" + UnixPathOf(user) + "'"));
    }
    void SwapBack() {
        ASSERT_TRUE(RunUnixScript("rm '" + UnixPathOf(user) + "' && mv '" + UnixPathOf(user) + ".real' '" +
                                  UnixPathOf(user) + "'"));
    }
    static ProcessResult Restart() { return RunProcess(L"wineboot.exe -r", 120000); }
};

// A read-only file with a second name in the same folder is staged like any other: its
// attributes, which the other name shares, are left alone, and its record is kept.
TEST_F(Attack, ASecondNameOfTheListedFileChangesNothingOfTheStaging) {
    const std::wstring listed = user + L"\\system.dll", second = user + L"\\other-name.dll";
    WriteBytes(listed, "the user's own");
    ::SetFileAttributesW(listed.c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(MakeUnixHardLink(listed, second));
    WriteBytes(sandbox.ListPath(), ListFileBytes({{listed}}));
    sandbox.RunOnce();
    ExpectEndedStopped(sandbox);
    EXPECT_EQ(Messages(ParseLog(sandbox.ReadLog())).back(), Titled(texts::kStopped));
    ASSERT_EQ(sandbox.StagedFiles().size(), 1u);
    EXPECT_EQ(StagedLines(sandbox).count("staged"), 1u);
    EXPECT_FALSE(HasPendingDelete(listed));
    EXPECT_TRUE(HasPendingDelete(sandbox.StagedFiles()[0]));
    EXPECT_NE(::GetFileAttributesW(second.c_str()) & FILE_ATTRIBUTE_READONLY, 0u) << "the second name's attributes";

    SwapForLink();
    ASSERT_TRUE(Restart().finished);
    ExpectVictimsUntouched();
    SwapBack();
}

// The folder exchanged for a link to the victims' the moment the staging record appears:
// whatever arrives in the staging folder, no request names the listed path.
TEST_F(Attack, TheFolderExchangedWhenTheRecordAppearsReachesNoVictim) {
    const std::wstring listed = user + L"\\system.dll";
    WriteBytes(listed, "the user's own");
    ::SetFileAttributesW(listed.c_str(), FILE_ATTRIBUTE_READONLY);
    WriteBytes(sandbox.ListPath(), ListFileBytes({{listed}}));
    const std::string staging = UnixPathOf(sandbox.Dir() + L"QuorvaneStaging");
    const std::string userUnix = UnixPathOf(user);
    UnixBackground exchanger("touch \"$READY\"\nwhile [ ! -e \"$STOP\" ]; do\n"
                             "  if ls '" + staging + "'/*.path >/dev/null 2>&1; then mv '" + userUnix + "' '" +
                             userUnix + ".real' && ln -s '" + UnixPathOf(victims) + "' '" + userUnix +
                             "'; break; fi\ndone\nwhile [ ! -e \"$STOP\" ]; do sleep 0.01; done");
    ASSERT_TRUE(exchanger.Started());
    sandbox.RunOnce();
    exchanger.Stop();
    ExpectEndedStopped(sandbox);
    EXPECT_FALSE(HasPendingDelete(listed));
    ASSERT_TRUE(Restart().finished);
    ExpectVictimsUntouched();
    if (!DirectoryExists(user + L".real")) SwapForLink();  // the run ended before a record appeared
    SwapBack();
}


// Held open without delete sharing: in a folder no one else can change, the file is
// requested by its path (and the request recorded); in one others can write, no request
// is made and the entry is carried to the next start, the service set to start with the
// system. Released, both go at the next start: the request is taken back, the start type
// put back.
TEST_F(Attack, AHeldFileIsRequestedByItsPathOnlyWhereNoOneElseCanRedirectIt) {
    const std::wstring trusted = files / L"trusted";
    ASSERT_TRUE(::CreateDirectoryW(trusted.c_str(), nullptr));
    const std::wstring safe = trusted + L"\\held.dll", exposed = user + L"\\held.dll";
    WriteBytes(safe, "held");
    WriteBytes(exposed, "held");
    std::vector<platform::UniqueFile> holders;
    for (const std::wstring& path : {safe, exposed}) {
        holders.emplace_back(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holders.back());
    }
    WriteBytes(sandbox.ListPath(), ListFileBytes({{safe}, {exposed}}));
    sandbox.Register();
    ASSERT_EQ(ShieldStartType(), static_cast<DWORD>(SERVICE_DEMAND_START));
    sandbox.RunOnce();
    ExpectEndedStopped(sandbox);
    auto messages = Messages(ParseLog(sandbox.ReadLog()));
    for (const std::wstring& path : {safe, exposed}) {
        EXPECT_NE(std::find(messages.begin(), messages.end(), Scheduled(path)), messages.end()) << Ansi(path);
    }
    EXPECT_TRUE(HasPendingDelete(safe));
    EXPECT_FALSE(HasPendingDelete(exposed)) << "a request by a path others can redirect";
    EXPECT_EQ(ShieldStartType(), static_cast<DWORD>(SERVICE_AUTO_START));
    auto lines = StagedLines(sandbox);
    ASSERT_EQ(lines.count("requested"), 1u);
    EXPECT_EQ(lines.find("requested")->second.second, safe);
    ASSERT_EQ(lines.count("carried"), 1u);
    EXPECT_EQ(lines.find("carried")->second.second, exposed);

    holders.clear();
    ::DeleteFileW(sandbox.LogPath().c_str());
    sandbox.Start();
    ASSERT_TRUE(sandbox.WaitUntilFinished(120000));
    messages = Messages(ParseLog(sandbox.ReadLog()));
    for (const std::wstring& path : {safe, exposed}) {
        EXPECT_NE(std::find(messages.begin(), messages.end(), Deleted(path)), messages.end()) << Ansi(path);
        EXPECT_FALSE(FileExists(path));
        EXPECT_FALSE(HasPendingDelete(path)) << "an old request by path stayed";
    }
    EXPECT_TRUE(StagedLines(sandbox).empty());
    EXPECT_EQ(ShieldStartType(), static_cast<DWORD>(SERVICE_DEMAND_START)) << "the start type was not put back";
}

// A staging folder that cannot be used (a file stands at its name) makes no request by a
// path others could redirect: such a file is carried instead.
TEST_F(Attack, AnUnusableStagingFolderLeavesNoRequestByAPathOthersControl) {
    WriteBytes(sandbox.Dir() + L"QuorvaneStaging", "not a folder");
    const std::wstring listed = user + L"\\system.dll";
    WriteBytes(listed, "the user's own");
    ::SetFileAttributesW(listed.c_str(), FILE_ATTRIBUTE_READONLY);
    WriteBytes(sandbox.ListPath(), ListFileBytes({{listed}}));
    sandbox.Register();
    sandbox.RunOnce();
    ExpectEndedStopped(sandbox);
    const auto messages = Messages(ParseLog(sandbox.ReadLog()));
    EXPECT_FALSE(HasPendingDelete(listed));
    // Nothing can be recorded in a staging folder that is not there: refused, not carried.
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 3], Refused(listed));
    EXPECT_EQ(ShieldStartType(), static_cast<DWORD>(SERVICE_DEMAND_START));
    SwapForLink();
    ASSERT_TRUE(Restart().finished);
    ExpectVictimsUntouched();
    SwapBack();
}

// An administrator restores staged files while the user swaps the folder for a link and
// back every tenth of a millisecond: each file is back in its own folder or still staged,
// none in the victims' folder, and the tool's answer says which. Without the swap every
// restore succeeds.
TEST_F(Attack, ARestoreLandsWhereItWasAskedOrNowhere) {
    constexpr int kFiles = 25;
    std::vector<ListedFile> entries;
    for (int i = 0; i < kFiles; ++i) {
        const std::wstring path = user + L"\\f" + std::to_wstring(i) + L".dll";
        WriteBytes(path, "file " + std::to_string(i));
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
        entries.push_back({path});
    }
    WriteBytes(sandbox.ListPath(), ListFileBytes(entries));
    sandbox.RunOnce();
    ExpectEndedStopped(sandbox);
    auto staged = StagedLines(sandbox);
    ASSERT_EQ(staged.count("staged"), static_cast<size_t>(kFiles));

    const std::string userUnix = UnixPathOf(user);
    ASSERT_TRUE(RunUnixScript("ln -s '" + UnixPathOf(victims) + "' '" + userUnix + ".link'"));
    UnixBackground swapper(
        "perl -e 'my ($d, $stop, $ready) = @ARGV; my $n = 0;\n"
        "sub swap { syscall(316, -100, $d, -100, \"$d.link\", 2) == 0 or die \"exchange: $!\" }\n"
        "while (!-e $stop) {\n"
        "  swap(); select(undef, undef, undef, 0.0001); swap(); select(undef, undef, undef, 0.0001);\n"
        "  if (++$n == 20) { open(my $f, \">\", $ready); close($f); }\n"
        "}' '" + userUnix + "' \"$STOP\" \"$READY\"");
    ASSERT_TRUE(swapper.Started());
    std::map<std::wstring, DWORD> answers;
    for (const auto& [state, line] : staged) answers[line.second] = Tool(sandbox, L"staged restore " + line.first).exitCode;
    swapper.Stop();
    ASSERT_TRUE(DirectoryExists(user)) << "the swapper did not put the folder back";

    std::set<std::wstring> stillStaged;
    for (const auto& [state, line] : StagedLines(sandbox)) stillStaged.insert(line.second);
    int restored = 0;
    for (const auto& [path, exitCode] : answers) {
        SCOPED_TRACE(Ansi(path));
        const bool back = FileExists(path);
        EXPECT_NE(back, stillStaged.count(path) != 0) << "a file neither back nor staged";
        EXPECT_EQ(exitCode, back ? 0u : 1u) << "the tool's answer does not say where the file is";
        restored += back ? 1 : 0;
    }
    std::printf("restores under the swap: %d of %d back, %d still staged\n", restored, kFiles,
                kFiles - restored);
    ExpectVictimsUntouched();

    for (const auto& [state, line] : StagedLines(sandbox)) {
        EXPECT_EQ(Tool(sandbox, L"staged restore " + line.first).exitCode, 0u) << Ansi(line.second);
    }
    for (const ListedFile& entry : entries) EXPECT_TRUE(FileExists(entry.path)) << Ansi(entry.path);
    EXPECT_TRUE(sandbox.StagedFiles().empty());
}

}  // namespace
