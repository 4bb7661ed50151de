// QuorvaneTool list check on a mixed list of real files: what it says a run would do,
// changing nothing, and then a real run of the service doing exactly that, entry by entry.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/win32.h"
#include "support/json_reader.h"
#include "support/list_writer.h"
#include "support/log_reader.h"
#include "support/pass_lines.h"
#include "support/pending_renames.h"
#include "support/process.h"
#include "support/service_sandbox.h"
#include "support/test_files.h"
#include "support/unix_side.h"

namespace {

using namespace testing_support;

struct Line {
    std::string index, flag, outcome, detail, path;
};

std::vector<Line> EntryLines(const std::string& output) {
    std::vector<Line> lines;
    std::istringstream in(output);
    for (std::string text; std::getline(in, text);) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (text.empty() || text[0] == '#' || text.rfind("Checked ", 0) == 0) continue;
        Line line;
        std::istringstream fields(text);
        std::getline(fields, line.index, '\t');
        std::getline(fields, line.flag, '\t');
        std::getline(fields, line.outcome, '\t');
        std::getline(fields, line.detail, '\t');
        std::getline(fields, line.path);
        lines.push_back(line);
    }
    return lines;
}

// What `list check` may not change: each file's bytes and attributes, the staging folder,
// the restart queue and the log.
std::string Scene(const ServiceSandbox& sandbox, const std::vector<std::wstring>& paths) {
    std::string scene;
    for (const std::wstring& path : paths) {
        scene += ReadBytes(path) + "/" + std::to_string(::GetFileAttributesW(path.c_str())) + "\n";
    }
    scene += DirectoryExists(sandbox.Dir() + L"QuorvaneStaging") ? "staging\n" : "-\n";
    scene += FileExists(sandbox.LogPath()) ? "log\n" : "-\n";
    const std::optional<std::wstring> queue = ReadPendingRenamesRaw();
    return scene + (queue ? Ansi(*queue) : "none");
}

TEST(ListCheck, SaysWhatARunThenDoesAndChangesNothing) {
    PendingRenamesGuard restoreRenames;
    ServiceSandbox sandbox;
    TempDir files, victims;
    const std::wstring open = files / L"open";
    ASSERT_TRUE(::CreateDirectoryW(open.c_str(), nullptr));
    ASSERT_TRUE(RunUnixScript("chmod 0777 '" + UnixPathOf(open) + "'"));
    ASSERT_TRUE(::CreateDirectoryW((files / L"folder").c_str(), nullptr));
    WriteBytes(victims / L"system.dll", "the victim's own");
    ASSERT_TRUE(MakeUnixLink(victims.Path().substr(0, victims.Path().size() - 1), files / L"linked"));

    const std::wstring deletable = files / L"deletable.tmp", readOnly = files / L"readonly.tmp",
                       held = files / L"held.tmp", heldOpen = open + L"\\held.tmp", inOpen = open + L"\\plain.tmp",
                       flagged = files / L"flagged.tmp";
    for (const std::wstring& path : {deletable, readOnly, held, heldOpen, inOpen, flagged}) WriteBytes(path, "listed");
    ASSERT_TRUE(::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::vector<ListedFile> entries = {
        {deletable}, {readOnly}, {held}, {files / L"missing.tmp"}, {files / L"folder"}, {files / L"*.tmp"},
        {files / L"linked\\system.dll"}, {flagged, 1}, {inOpen}, {heldOpen}, {deletable}};
    WriteBytes(sandbox.ListPath(), ListFileBytes(entries));

    // Held without delete sharing through the check and the run.
    const auto hold = [](const std::wstring& path) {
        return platform::UniqueFile(
            ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    };
    const platform::UniqueFile holders[] = {hold(held), hold(heldOpen)};
    const std::vector<std::wstring> scenePaths = {deletable, readOnly,           held, heldOpen, inOpen, flagged,
                                                  victims / L"system.dll", sandbox.ListPath()};
    const std::string before = Scene(sandbox, scenePaths);

    const ProcessResult checked =
        RunProcess(L"\"" + BinDir() + L"QuorvaneTool.exe\" list check \"" + sandbox.ListPath() + L"\"");
    ASSERT_EQ(checked.exitCode, 0u) << checked.output;
    std::printf("%s", checked.output.c_str());
    EXPECT_EQ(Scene(sandbox, scenePaths), before) << "list check changed something";
    const std::vector<Line> lines = EntryLines(checked.output);
    ASSERT_EQ(lines.size(), entries.size()) << checked.output;
    const char* const expected[] = {"delete", "stage",     "restart-by-path", "gone",  "gone", "refuse",
                                    "refuse", "left-alone", "delete",         "boot", "gone"};
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].index, std::to_string(i));
        EXPECT_EQ(lines[i].outcome, expected[i]) << lines[i].path;
        EXPECT_EQ(lines[i].path, Ansi(entries[i].path));
    }
    EXPECT_EQ(lines[0].detail, "-");
    EXPECT_EQ(lines[1].detail.rfind("not deletable now: error 5", 0), 0u) << lines[1].detail;
    EXPECT_EQ(lines[2].detail.rfind("not deletable now: error 32", 0), 0u) << lines[2].detail;
    EXPECT_NE(lines[2].detail.find("; may change"), std::string::npos) << lines[2].detail;
    EXPECT_EQ(lines[5].detail.rfind("error 123", 0), 0u) << lines[5].detail;
    EXPECT_EQ(lines[6].detail.rfind("error 4395", 0), 0u) << lines[6].detail;
    EXPECT_NE(checked.output.find("Checked 11: delete 2, stage 1, boot 1, restart-by-path 1, refuse 2, gone 3, "
                                  "left-alone 1, not-acted 0"),
              std::string::npos)
        << checked.output;

    // The same from --json, outcome by outcome.
    const ProcessResult json =
        RunProcess(L"\"" + BinDir() + L"QuorvaneTool.exe\" list check \"" + sandbox.ListPath() + L"\" --json");
    const auto document = ParseJson(json.output);
    ASSERT_TRUE(document && document->Find("entries")) << json.output;
    ASSERT_EQ(document->Find("entries")->items.size(), lines.size()) << json.output;
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(Ansi(document->Find("entries")->items[i].Find("outcome")->string), lines[i].outcome);
    }
    EXPECT_EQ(document->Find("tally")->Find("gone")->number, 3);

    // The run's own lines, one entry after another, are what the check named.
    sandbox.RunOnce();
    std::vector<std::string> predicted, logged;
    for (const Line& line : lines) {
        if (line.outcome == "left-alone") continue;
        const std::wstring path = entries[std::stoul(line.index)].path;
        predicted.push_back(Start(path));
        if (line.outcome == "delete") predicted.push_back(Deleted(path));
        if (line.outcome == "gone") predicted.push_back(Gone(path));
        if (line.outcome == "refuse") predicted.push_back(Refused(path));
        if (line.outcome == "stage" || line.outcome == "boot" || line.outcome == "restart-by-path") {
            predicted.push_back(Scheduled(path));
        }
    }
    const std::string signature = Ansi(texts::kSignature);
    for (const std::string& message : Messages(ParseLog(sandbox.ReadLog()))) {
        if (message.rfind(signature, 0) == 0) logged.push_back(message);
    }
    EXPECT_EQ(logged, predicted);
    std::printf("%s", sandbox.ReadLog().c_str());
    // And each restart step is the one named: staged, requested by its path, carried.
    ASSERT_EQ(sandbox.StagedFiles().size(), 1u);
    EXPECT_TRUE(HasPendingDelete(held));
    EXPECT_FALSE(HasPendingDelete(heldOpen));
    WIN32_FIND_DATAW found;
    platform::UniqueFind carried(::FindFirstFileW((sandbox.Dir() + L"QuorvaneStaging\\*.carried").c_str(), &found));
    EXPECT_TRUE(carried);

    // A list others can change: said first, and nothing is acted on.
    ASSERT_TRUE(RunUnixScript("chmod 0777 '" + UnixPathOf(sandbox.Dir()) + "'"));
    const ProcessResult refused =
        RunProcess(L"\"" + BinDir() + L"QuorvaneTool.exe\" list check \"" + sandbox.ListPath() + L"\"");
    ASSERT_TRUE(RunUnixScript("chmod 0755 '" + UnixPathOf(sandbox.Dir()) + "'"));
    EXPECT_EQ(refused.exitCode, 0u) << refused.output;
    EXPECT_EQ(refused.output.rfind("# the service would not act on this list: ", 0), 0u) << refused.output;
    for (const Line& line : EntryLines(refused.output)) EXPECT_EQ(line.outcome, "not-acted") << refused.output;

    // A list that does not read: its reason, exit status 1.
    WriteBytes(files / L"broken.dat", "not a list");
    const ProcessResult broken = RunProcess(L"\"" + BinDir() + L"QuorvaneTool.exe\" list check \"" +
                                            (files / L"broken.dat") + L"\"");
    EXPECT_EQ(broken.exitCode, 1u) << broken.output;
    EXPECT_NE(broken.output.find("unreadable list"), std::string::npos) << broken.output;
}

}  // namespace
