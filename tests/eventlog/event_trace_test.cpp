// Full runs of the service under Wine's service control manager, with what each run
// reported to the event log read from Wine's trace: Wine's ReportEventW writes its
// arguments and every insert to the debug output. event_trace_test.sh starts the prefix's
// service manager with that output in a file and names the file in QUORVANE_EVENT_TRACE.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "eventlog/format_msg.h"
#include "platform/text.h"
#include "support/list_writer.h"
#include "support/service_sandbox.h"
#include "support/test_files.h"

namespace {

using namespace testing_support;

struct TracedEvent {
    unsigned type = 0;
    unsigned category = 0;
    uint32_t id = 0;
    unsigned count = 0;  // insert strings as the call gave their number
    std::vector<std::wstring> inserts;
};

struct TracedRun {
    int registrations = 0;
    int deregistrations = 0;
    std::vector<TracedEvent> events;
};

// debugstr_w: L"..." with \n \r \t \" \\ and \XXXX (four hex digits) for the rest.
std::wstring UnquoteDebugString(const std::string& quoted) {
    std::wstring text;
    const size_t begin = quoted.find("L\"");
    if (begin == std::string::npos) return text;
    for (size_t i = begin + 2; i < quoted.size() && quoted[i] != '"'; ++i) {
        if (quoted[i] != '\\' || i + 1 >= quoted.size()) {
            text += static_cast<wchar_t>(static_cast<unsigned char>(quoted[i]));
            continue;
        }
        const char next = quoted[++i];
        if (next == 'n') text += L'\n';
        else if (next == 'r') text += L'\r';
        else if (next == 't') text += L'\t';
        else if (next == '"' || next == '\\') text += static_cast<wchar_t>(next);
        else {
            text += static_cast<wchar_t>(std::stoul(quoted.substr(i, 4), nullptr, 16));
            i += 3;
        }
    }
    return text;
}

// The fields of "fixme:advapi:ReportEventW (handle,type,category,id,sid,count,size,strings,data): stub".
TracedEvent ParseReportLine(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream arguments(line.substr(line.find('(') + 1));
    for (std::string field; std::getline(arguments, field, ',');) fields.push_back(field);
    TracedEvent event;
    if (fields.size() < 6) return event;
    event.type = std::stoul(fields[1], nullptr, 16);
    event.category = std::stoul(fields[2], nullptr, 16);
    event.id = std::stoul(fields[3], nullptr, 16);
    event.count = std::stoul(fields[5], nullptr, 16);
    return event;
}

TracedRun ParseTrace(const std::string& trace) {
    TracedRun run;
    std::stringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(":advapi:RegisterEventSourceW") != std::string::npos) {
            if (line.find("L\"QuorvaneShield\"") != std::string::npos) ++run.registrations;
        } else if (line.find(":advapi:DeregisterEventSource") != std::string::npos) {
            ++run.deregistrations;
        } else if (line.find(":advapi:ReportEventW") != std::string::npos) {
            run.events.push_back(ParseReportLine(line));
        } else if (line.find(":eventlog:ReportEventW") != std::string::npos && !run.events.empty()) {
            run.events.back().inserts.push_back(UnquoteDebugString(line));
        }
    }
    return run;
}

std::string Describe(const std::vector<TracedEvent>& events) {
    std::ostringstream text;
    for (const TracedEvent& event : events) {
        text << "  0x" << std::hex << event.id << std::dec << " type " << event.type << ":";
        for (const std::wstring& insert : event.inserts) text << " [" << platform::ToUtf8(insert) << "]";
        text << "\n";
    }
    return text.str();
}

std::wstring TracePath() {
    const char* path = std::getenv("QUORVANE_EVENT_TRACE");
    return path ? platform::FromUtf8(path) : std::wstring();
}

class EventTrace : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(TracePath().empty()) << "run through event_trace_test.sh"; }

    // One full run over the list; what it reported, from the trace lines it added.
    TracedRun Run(const std::vector<ListedFile>& list) {
        WriteBytes(sandbox.ListPath(), ListFileBytes(list));
        const size_t before = ReadBytes(TracePath()).size();
        sandbox.RunOnce();
        const TracedRun run = ParseTrace(ReadBytes(TracePath()).substr(before));
        EXPECT_EQ(run.registrations, 1) << "one source for the whole report";
        EXPECT_EQ(run.deregistrations, 1);
        for (const TracedEvent& event : run.events) {
            EXPECT_EQ(event.category, 0u);
            EXPECT_EQ(event.count, event.inserts.size()) << "every insert traced";
        }
        return run;
    }

    // The run's own event: its identifier, type and inserts 1 to 9 (10 is the duration).
    static void ExpectRunEvent(const TracedEvent& event, uint32_t id, unsigned type,
                               const std::vector<std::wstring>& firstNine) {
        EXPECT_EQ(event.id, id);
        EXPECT_EQ(event.type, type);
        ASSERT_EQ(event.inserts.size(), 10u);
        EXPECT_EQ(std::vector<std::wstring>(event.inserts.begin(), event.inserts.begin() + 9), firstNine);
        const unsigned long ms = std::stoul(event.inserts[9]);
        EXPECT_LT(ms, 120000u) << "the run's duration in milliseconds";
    }

    ServiceSandbox sandbox;
    TempDir files;
};

TEST_F(EventTrace, AnEmptyListGivesOneCleanRunEvent) {
    const TracedRun run = Run({});
    ASSERT_EQ(run.events.size(), 1u) << Describe(run.events);
    ExpectRunEvent(run.events[0], 0x40000001, EVENTLOG_INFORMATION_TYPE,
                   {L"0", L"0", L"0", L"0", L"0", L"0", L"read", L"-", L"-"});
}

TEST_F(EventTrace, ARefusedPatternGetsItsOwnEventAndTheRunAWarningWithItsCounts) {
    WriteBytes(files / L"a.tmp", "a");
    const std::wstring pattern = files / L"*.tmp";
    const TracedRun run = Run({{files / L"a.tmp"}, {files / L"gone.tmp"}, {files / L"flagged.tmp", 1}, {pattern}});
    EXPECT_FALSE(FileExists(files / L"a.tmp"));
    ASSERT_EQ(run.events.size(), 2u) << Describe(run.events);
    EXPECT_EQ(run.events[0].id, 0x8000000Au);
    EXPECT_EQ(run.events[0].type, static_cast<unsigned>(EVENTLOG_WARNING_TYPE));
    EXPECT_EQ(run.events[0].inserts,
              (std::vector<std::wstring>{pattern, L"123", modFormatMsg::TrimmedErrorText(123)}));
    ExpectRunEvent(run.events[1], 0x80000002, EVENTLOG_WARNING_TYPE,
                   {L"4", L"1", L"1", L"0", L"1", L"1", L"read", L"-", L"-"});
}

// A viewer expands "%%N" in an insert, and the platform refuses an event with an insert
// past its limit: a refused path shows its '%' full-width, and a very long one is cut.
TEST_F(EventTrace, ARefusedPathsInsertShowsThePathItselfWithinThePlatformsLimit) {
    const std::wstring percent = files / L"%%1234\\*.tmp";
    const std::wstring longPath = files / (std::wstring(32000 - files.Path().size(), L'x') + L"*");
    const TracedRun run = Run({{percent}, {longPath}});
    ASSERT_EQ(run.events.size(), 3u) << Describe(run.events);
    EXPECT_EQ(run.events[0].inserts[0], files / L"\xFF05\xFF05" L"1234\\*.tmp");
    EXPECT_EQ(run.events[1].id, 0x8000000Au);
    ASSERT_EQ(run.events[1].inserts.size(), 3u) << "the long path's event was reported in full";
    // Wine's trace shows only the start of a long insert; InsertOf's own test holds the rest.
    EXPECT_EQ(run.events[1].inserts[0].substr(0, 40), longPath.substr(0, 40));
}

TEST_F(EventTrace, TwentyFiveRefusalsGiveTwentyEventsAndOneForTheRest) {
    std::vector<ListedFile> list;
    for (int i = 0; i < 25; ++i) list.push_back({files / (L"f" + std::to_wstring(i) + L"*.tmp")});
    const TracedRun run = Run(list);
    ASSERT_EQ(run.events.size(), 22u) << Describe(run.events);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(run.events[i].id, 0x8000000Au) << i;
        ASSERT_FALSE(run.events[i].inserts.empty());
        EXPECT_EQ(run.events[i].inserts[0], list[i].path);
    }
    EXPECT_EQ(run.events[20].id, 0x8000000Bu);
    EXPECT_EQ(run.events[20].type, static_cast<unsigned>(EVENTLOG_WARNING_TYPE));
    EXPECT_EQ(run.events[20].inserts, (std::vector<std::wstring>{L"5", L"25", L"20"}));
    ExpectRunEvent(run.events[21], 0x80000002, EVENTLOG_WARNING_TYPE,
                   {L"25", L"0", L"0", L"0", L"25", L"0", L"read", L"-", L"-"});
}

}  // namespace
