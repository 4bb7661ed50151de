// QuorvaneTool log show on activity logs written by real runs of the service, and on a
// great log, as support staff and scripts run it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "support/json_reader.h"
#include "support/list_writer.h"
#include "support/log_reader.h"
#include "support/pass_lines.h"
#include "support/process.h"
#include "support/service_sandbox.h"
#include "support/test_files.h"

#include <psapi.h>

namespace {

using namespace testing_support;

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

ProcessResult Tool(const std::wstring& arguments) {
    return RunProcess(L"\"" + BinDir() + L"QuorvaneTool.exe\" " + arguments, 60000);
}

std::string WithoutFinalCrLf(std::string text) {
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
    return text;
}

// What the tool prints for a run: its heading, then every entry as the log holds it.
std::string ShownRun(const std::vector<LogEntryBytes>& entries, bool finished, const std::string& counts) {
    std::string text = "Run from " + entries.front().dateTime + " to " + entries.back().dateTime +
                       (finished ? ", finished" : ", unfinished: no stop entry") + "\r\n" + counts + "\r\n";
    for (const LogEntryBytes& entry : entries) {
        text += entry.dateTime + "\t" + entry.errorPart + "\t" + WithoutFinalCrLf(entry.message) + "\r\n";
    }
    return text;
}

bool IsAscii(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) > 0x7E) return false;
    }
    return true;
}

void ExpectJsonEntries(const JsonValue& run, const std::vector<LogEntryBytes>& entries) {
    const std::vector<JsonValue>& items = run.Find("entries")->items;
    ASSERT_GE(items.size(), entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        const JsonValue& item = items[i];
        EXPECT_EQ(item.Names(), (std::vector<std::string>{"time", "line", "number", "description", "message"}));
        const std::string numbers = std::to_string(item.Find("line")->number) + ":" +
                                    std::to_string(item.Find("number")->number) + ":";
        EXPECT_EQ(entries[i].errorPart.rfind(numbers, 0), 0u) << entries[i].errorPart;
        EXPECT_EQ(item.Find("time")->string, platform::FromAnsi(entries[i].dateTime));
        EXPECT_EQ(item.Find("description")->string,
                  platform::FromAnsi(entries[i].errorPart.substr(numbers.size())));
        EXPECT_EQ(item.Find("message")->string, platform::FromAnsi(entries[i].message));
    }
}

TEST(LogShow, RealRunsWithAndWithoutDebugModeAForeignLineAndAnUnfinishedRun) {
    ServiceSandbox sandbox;
    TempDir files;
    WriteBytes(sandbox.ListPath(), ListFileBytes({{files / L"a.tmp"}, {files / L"gone.tmp"}, {files / L"*.tmp"},
                                                  {files / L"flagged.tmp", 1}}));
    WriteBytes(files / L"a.tmp", "a");
    sandbox.RunOnce();
    const size_t firstRunEnd = sandbox.ReadLog().size();
    WriteBytes(files / L"a.tmp", "a");
    sandbox.Register(L"/debugmode");
    sandbox.Start();
    ASSERT_TRUE(sandbox.WaitUntilFinished(120000));

    const std::string runs = sandbox.ReadLog();
    const std::vector<LogEntryBytes> plain = ParseLog(runs.substr(0, firstRunEnd));
    const std::vector<LogEntryBytes> debug = ParseLog(runs.substr(firstRunEnd));
    ASSERT_EQ(plain.size(), 10u);
    ASSERT_EQ(debug.size(), 12u) << "start entry and separator besides";
    // A line of another program, then a run as the log stands before its stop entry.
    const std::string stopped = Titled(texts::kStopped) + "\r\n";
    const size_t stopHeader = runs.rfind("\r\n", runs.size() - stopped.size() - 3) + 2;
    const std::string unfinished = runs.substr(firstRunEnd, stopHeader - firstRunEnd);
    WriteBytes(sandbox.LogPath(), runs + "written by another program\r\n" + unfinished);
    const std::vector<LogEntryBytes> cut(debug.begin(), debug.end() - 1);

    // Read while a writer holds the log open as the service does.
    const platform::UniqueFile writer(::CreateFileW(sandbox.LogPath().c_str(), FILE_APPEND_DATA,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer);

    const std::string counts =
        "Taken up 3, deleted 1, already gone 1, handed to delete at restart 0, refused 1";
    const std::string three = ShownRun(plain, true, counts) + "\r\n" + ShownRun(debug, true, counts) +
                              "(unparsed)\t\twritten by another program\r\n\r\n" + ShownRun(cut, false, counts);
    ProcessResult r = Tool(L"log show " + Quoted(sandbox.LogPath()) + L" --runs 3");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(r.output, three);
    EXPECT_EQ(Tool(L"log show " + Quoted(sandbox.LogPath()) + L" --runs=10").output, three) << "all there are";
    EXPECT_EQ(Tool(L"LOG SHOW " + Quoted(sandbox.LogPath())).output, ShownRun(cut, false, counts));

    r = Tool(L"log show " + Quoted(sandbox.LogPath()) + L" --json --runs 3");
    ASSERT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_TRUE(IsAscii(r.output));
    const std::optional<JsonValue> doc = ParseJson(r.output);
    ASSERT_TRUE(doc) << r.output;
    EXPECT_EQ(doc->Names(), (std::vector<std::string>{"file", "runs"}));
    EXPECT_EQ(doc->Find("file")->string, sandbox.LogPath());
    const std::vector<JsonValue>& shown = doc->Find("runs")->items;
    ASSERT_EQ(shown.size(), 3u);
    for (const JsonValue& run : shown) {
        EXPECT_EQ(run.Names(),
                  (std::vector<std::string>{"started", "finished", "first", "last", "counts", "entries"}));
        EXPECT_EQ(run.Find("counts")->Names(),
                  (std::vector<std::string>{"takenUp", "deleted", "gone", "scheduled", "refused"}));
        EXPECT_EQ(run.Find("counts")->Find("takenUp")->number, 3);
        EXPECT_EQ(run.Find("counts")->Find("refused")->number, 1);
        EXPECT_TRUE(run.Find("started")->boolean);
    }
    EXPECT_TRUE(shown[1].Find("finished")->boolean);
    EXPECT_FALSE(shown[2].Find("finished")->boolean);
    EXPECT_EQ(shown[0].Find("first")->string, platform::FromAnsi(plain.front().dateTime));
    ExpectJsonEntries(shown[0], plain);
    ExpectJsonEntries(shown[1], debug);
    ExpectJsonEntries(shown[2], cut);
    ASSERT_EQ(shown[1].Find("entries")->items.size(), debug.size() + 1);
    EXPECT_EQ(shown[1].Find("entries")->items.back().Names(), std::vector<std::string>{"text"});
    EXPECT_EQ(shown[1].Find("entries")->items.back().Find("text")->string, L"written by another program");
}

TEST(LogShow, UsageErrorsAndLogsThatCannotBeRead) {
    TempDir dir;
    WriteBytes(dir / L"log.txt", "");
    for (const std::wstring& arguments : std::vector<std::wstring>{
             L"log", L"log show", L"log show a b", L"log show " + Quoted(dir / L"log.txt") + L" --runs 0",
             L"log show " + Quoted(dir / L"log.txt") + L" --runs x", L"log show x --lines 3"}) {
        const ProcessResult r = Tool(arguments);
        EXPECT_EQ(r.exitCode, 2u) << platform::ToUtf8(arguments) << "\n" << r.output;
        EXPECT_NE(r.output.find("Usage:"), std::string::npos);
    }
    ProcessResult r = Tool(L"log show " + Quoted(dir / L"missing.txt"));
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_NE(r.output.find("no such file"), std::string::npos) << r.output;
    // No final backslash: before the closing quote it would escape the quote.
    r = Tool(L"log show " + Quoted(dir.Path().substr(0, dir.Path().size() - 1)));
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_NE(r.output.find("it is a directory"), std::string::npos) << r.output;
    r = Tool(L"log show " + Quoted(dir / L"log.txt") + L" --json");
    EXPECT_EQ(r.exitCode, 0u);
    const std::optional<JsonValue> empty = ParseJson(r.output);
    ASSERT_TRUE(empty) << r.output;
    EXPECT_TRUE(empty->Find("runs")->items.empty()) << "an empty log holds no run";
}

// The peak working set of a tool process, sampled until it ends: the platform gives the
// high-water mark, which a sample near the end holds whole.
SIZE_T PeakWorkingSetOf(const std::wstring& arguments, double& seconds) {
    const auto start = std::chrono::steady_clock::now();
    const platform::UniqueHandle tool = LaunchProcess(L"\"" + BinDir() + L"QuorvaneTool.exe\" " + arguments);
    SIZE_T peak = 0;
    do {
        PROCESS_MEMORY_COUNTERS counters = {};
        if (::GetProcessMemoryInfo(tool.get(), &counters, sizeof counters)) {
            peak = std::max(peak, counters.PeakWorkingSetSize);
        }
    } while (::WaitForSingleObject(tool.get(), 1) == WAIT_TIMEOUT);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return peak;
}

TEST(LogShow, AGreatLogIsReadFromItsEndInBoundedMemory) {
    using namespace texts;
    const auto entry = [](const std::wstring& time, const std::wstring& message) {
        return Ansi(time + L"\t0:0:\r\n" + message + L"\r\n");
    };
    const auto run = [&](const std::wstring& time, int files) {
        std::string bytes = entry(time, TitledText(kLoadingList)) + entry(time, TitledText(kPreparingList));
        for (int i = 0; i < files; ++i) {
            const std::wstring path =
                L"C:\\Users\\user\\AppData\\Local\\Temp\\quarantine\\file" + std::to_wstring(i) + L".tmp";
            bytes += entry(time, PassText(kStartLabel, path)) + entry(time, PassText(kDeletedLabel, path));
        }
        return bytes + entry(time, TitledText(kCleanupDone)) + entry(time, TitledText(kStopped));
    };
    TempDir dir;
    const std::wstring log = dir / L"QuorvaneServiceLog.txt";
    {
        std::string block;
        while (block.size() < (1u << 20)) block += run(L"2026/12/1 9:00:00", 20);
        platform::UniqueFile file(::CreateFileW(log.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        const std::string last = run(L"2026/12/7 9:00:00", 2) + run(L"2026/12/7 10:00:00", 1);
        DWORD written = 0;
        for (size_t size = 0; size < (256u << 20); size += block.size()) {
            ASSERT_TRUE(::WriteFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &written, nullptr));
        }
        ASSERT_TRUE(::WriteFile(file.get(), last.data(), static_cast<DWORD>(last.size()), &written, nullptr));
    }

    double seconds = 0;
    const SIZE_T peak = PeakWorkingSetOf(L"log show " + Quoted(log) + L" --runs 2", seconds);
    std::cout << "log show --runs 2 of a 256 MiB log: peak working set " << peak / 1024 << " KiB, " << seconds
              << " s\n";
    EXPECT_GT(peak, 0u) << "no sample of the tool's memory";
    EXPECT_LT(peak, SIZE_T{48} << 20) << "a 256 MiB log takes 512 MiB as text";

    const ProcessResult r = Tool(L"log show " + Quoted(log) + L" --runs 2");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(r.output.rfind("Run from 2026/12/7 9:00:00 to 2026/12/7 9:00:00, finished\r\n"
                             "Taken up 2, deleted 2,", 0),
              0u)
        << r.output.substr(0, 300);
    EXPECT_NE(r.output.find("\r\n\r\nRun from 2026/12/7 10:00:00 to 2026/12/7 10:00:00, finished\r\n"
                            "Taken up 1, deleted 1,"),
              std::string::npos);
}

}  // namespace
