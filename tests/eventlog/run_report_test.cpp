// What ReportRun hands to the event log for a run, seen through its call table: which
// events, of which type, with which inserts, through one registered source.
#include "eventlog/run_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "eventlog/format_msg.h"
#include "eventlog/run_report_calls.h"
#include "platform/text.h"

namespace modRunReport {
namespace {

struct Reported {
    WORD type;
    DWORD id;
    std::vector<std::wstring> inserts;
};

struct Recorder {
    bool noEventLog = false;   // RegisterEventSourceW fails
    BOOL reportResult = TRUE;  // what ReportEventW returns
    int registrations = 0;
    int deregistrations = 0;
    bool sourceAsExpected = true;  // local machine, QuorvaneShield; the handle handed out
    bool fixedFieldsAsExpected = true;  // category 0, no SID, no data
    bool reportedAfterDeregister = false;
    std::vector<Reported> events;
};
Recorder g_recorder;
const HANDLE kSource = reinterpret_cast<HANDLE>(0x5151);

HANDLE WINAPI RecordRegister(LPCWSTR server, LPCWSTR source) {
    ++g_recorder.registrations;
    g_recorder.sourceAsExpected = g_recorder.sourceAsExpected && server == nullptr &&
                                  std::wstring(source) == L"QuorvaneShield";
    if (g_recorder.noEventLog) {
        ::SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return nullptr;
    }
    return kSource;
}

BOOL WINAPI RecordReport(HANDLE source, WORD type, WORD category, DWORD id, PSID sid, WORD count,
                         DWORD dataSize, LPCWSTR* strings, LPVOID data) {
    Recorder& r = g_recorder;
    r.sourceAsExpected = r.sourceAsExpected && source == kSource;
    r.fixedFieldsAsExpected = r.fixedFieldsAsExpected && category == 0 && sid == nullptr && dataSize == 0 &&
                              data == nullptr;
    r.reportedAfterDeregister = r.reportedAfterDeregister || r.deregistrations > 0;
    r.events.push_back({type, id, std::vector<std::wstring>(strings, strings + count)});
    if (!r.reportResult) ::SetLastError(ERROR_LOG_FILE_FULL);
    return r.reportResult;
}

BOOL WINAPI RecordDeregister(HANDLE source) {
    ++g_recorder.deregistrations;
    g_recorder.sourceAsExpected = g_recorder.sourceAsExpected && source == kSource;
    return TRUE;
}

std::vector<Reported> Report(const RunSummary& summary, Recorder recorder = {}) {
    g_recorder = recorder;
    EventLogCalls calls;
    calls.RegisterEventSourceW = RecordRegister;
    calls.ReportEventW = RecordReport;
    calls.DeregisterEventSource = RecordDeregister;
    ReportRun(summary, calls);
    return g_recorder.events;
}

constexpr WORD kInformation = EVENTLOG_INFORMATION_TYPE;
constexpr WORD kWarning = EVENTLOG_WARNING_TYPE;
constexpr WORD kError = EVENTLOG_ERROR_TYPE;

// Inserts 1 to 10 of events 1, 2 and 3.
std::vector<std::wstring> RunInserts(std::vector<std::wstring> counts, const wchar_t* list,
                                     const wchar_t* copy, const wchar_t* rewrite, const wchar_t* ms) {
    counts.insert(counts.end(), {list, copy, rewrite, ms});
    return counts;
}

std::vector<std::wstring> Plus(std::vector<std::wstring> inserts, std::vector<std::wstring> more) {
    inserts.insert(inserts.end(), more.begin(), more.end());
    return inserts;
}

RunSummary Counted(uint32_t entries, uint32_t deleted, uint32_t gone, uint32_t scheduled, uint32_t refused,
                   uint32_t leftAlone, uint32_t ms) {
    RunSummary summary;
    summary.entries = entries;
    summary.deleted = deleted;
    summary.gone = gone;
    summary.scheduled = scheduled;
    summary.refused = refused;
    summary.leftAlone = leftAlone;
    summary.durationMs = ms;
    return summary;
}

TEST(ReportRun, EachKindOfRunReportsItsEventsTypesAndInserts) {
    const std::wstring patternText = modFormatMsg::TrimmedErrorText(123);
    const std::wstring linkText = modFormatMsg::TrimmedErrorText(4395);
    ASSERT_FALSE(patternText.empty());
    ASSERT_NE(patternText.back(), L'\n');

    struct Case {
        const char* name;
        RunSummary summary;
        std::vector<Reported> expected;
    };
    std::vector<Case> cases;

    cases.push_back({"clean", Counted(6, 3, 1, 1, 0, 1, 1234),
                     {{kInformation, 0x40000001,
                       RunInserts({L"6", L"3", L"1", L"1", L"0", L"1"}, L"read", L"-", L"-", L"1234")}}});

    RunSummary refused = Counted(3, 1, 0, 0, 2, 0, 55);
    refused.refusals = {{L"C:\\files\\*.tmp", 123}, {L"C:\\link\\a\r\nb.tmp", 4395}};
    cases.push_back(
        {"refused", refused,
         {{kWarning, 0x8000000A, {L"C:\\files\\*.tmp", L"123", patternText}},
          {kWarning, 0x8000000A, {L"C:\\link\\a??b.tmp", L"4395", linkText.empty() ? L"-" : linkText}},
          {kWarning, 0x80000002,
           RunInserts({L"3", L"1", L"0", L"0", L"2", L"0"}, L"read", L"-", L"-", L"55")}}});

    RunSummary damaged = Counted(0, 0, 0, 0, 0, 0, 9);
    damaged.list = ListState::Damaged;
    damaged.keptCopy = L"C:\\Quorvane\\QuorvanePendingRebootList.dat.bad.1";
    cases.push_back({"damaged", damaged,
                     {{kWarning, 0x80000002,
                       RunInserts({L"0", L"0", L"0", L"0", L"0", L"0"}, L"damaged",
                                  L"C:\\Quorvane\\QuorvanePendingRebootList.dat.bad.1", L"written", L"9")}}});

    RunSummary unreadable = Counted(0, 0, 0, 0, 0, 0, 3);
    unreadable.list = ListState::Unreadable;
    cases.push_back({"unreadable", unreadable,
                     {{kWarning, 0x80000002,
                       RunInserts({L"0", L"0", L"0", L"0", L"0", L"0"}, L"unreadable", L"-", L"-", L"3")}}});

    RunSummary rewriteFailed = Counted(0, 0, 0, 0, 0, 0, 4);
    rewriteFailed.list = ListState::Created;
    rewriteFailed.rewriteFailed = true;
    cases.push_back({"rewrite failed", rewriteFailed,
                     {{kWarning, 0x80000002,
                       RunInserts({L"0", L"0", L"0", L"0", L"0", L"0"}, L"created", L"-", L"failed", L"4")}}});

    RunSummary untrusted = Counted(0, 0, 0, 0, 0, 0, 2);
    untrusted.untrustedObject = L"C:\\Quorvane\\";
    untrusted.untrustedAccount = L"BUILTIN\\Users";
    cases.push_back({"untrusted", untrusted,
                     {{kError, 0xC0000003,
                       Plus(RunInserts({L"0", L"0", L"0", L"0", L"0", L"0"}, L"read", L"-", L"-", L"2"),
                            {L"C:\\Quorvane\\", L"BUILTIN\\Users", L"0"})}}});

    RunSummary failed = Counted(4, 1, 0, 0, 0, 0, 8);
    failed.jobFailure = 7;
    cases.push_back({"job failure", failed,
                     {{kError, 0xC0000003,
                       Plus(RunInserts({L"4", L"1", L"0", L"0", L"0", L"0"}, L"read", L"-", L"-", L"8"),
                            {L"-", L"-", L"7"})}}});

    RunSummary many = Counted(25, 0, 0, 0, 25, 0, 60);
    Case manyCase{"25 refusals", many, {}};
    for (int i = 0; i < 25; ++i) {
        const std::wstring path = L"C:\\p\\" + std::to_wstring(i) + L"*";
        manyCase.summary.refusals.push_back({path, 123});
        if (i < 20) manyCase.expected.push_back({kWarning, 0x8000000A, {path, L"123", patternText}});
    }
    manyCase.expected.push_back({kWarning, 0x8000000B, {L"5", L"25", L"20"}});
    manyCase.expected.push_back(
        {kWarning, 0x80000002, RunInserts({L"25", L"0", L"0", L"0", L"25", L"0"}, L"read", L"-", L"-", L"60")});
    cases.push_back(manyCase);

    // The pass counted more refusals than it kept: the rest are counted, never invented.
    RunSummary counted = Counted(30, 0, 0, 0, 30, 0, 1);
    counted.refusals = {{L"C:\\kept\\*", 123}};
    cases.push_back({"more counted than kept", counted,
                     {{kWarning, 0x8000000A, {L"C:\\kept\\*", L"123", patternText}},
                      {kWarning, 0x8000000B, {L"29", L"30", L"1"}},
                      {kWarning, 0x80000002,
                       RunInserts({L"30", L"0", L"0", L"0", L"30", L"0"}, L"read", L"-", L"-", L"1")}}});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<Reported> events = Report(c.summary);
        ASSERT_EQ(events.size(), c.expected.size());
        for (size_t i = 0; i < events.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(events[i].id, c.expected[i].id);
            EXPECT_EQ(events[i].type, c.expected[i].type);
            EXPECT_EQ(events[i].inserts, c.expected[i].inserts);
        }
        EXPECT_EQ(g_recorder.registrations, 1);
        EXPECT_EQ(g_recorder.deregistrations, 1);
        EXPECT_TRUE(g_recorder.sourceAsExpected);
        EXPECT_TRUE(g_recorder.fixedFieldsAsExpected);
        EXPECT_FALSE(g_recorder.reportedAfterDeregister);
    }
}

// An absent event log service, or reports that fail, leave the run exactly as it was:
// nothing raised, the thread's last error kept, the source released when it was had.
TEST(ReportRun, AnAbsentOrFailingEventLogChangesNothing) {
    RunSummary summary = Counted(1, 0, 0, 0, 1, 0, 5);
    summary.refusals = {{L"C:\\x\\*", 123}};

    ::SetLastError(4321);
    Recorder absent;
    absent.noEventLog = true;
    EXPECT_TRUE(Report(summary, absent).empty());
    EXPECT_EQ(::GetLastError(), 4321u);
    EXPECT_EQ(g_recorder.registrations, 1);
    EXPECT_EQ(g_recorder.deregistrations, 0);

    Recorder failing;
    failing.reportResult = FALSE;
    ::SetLastError(4321);
    EXPECT_EQ(Report(summary, failing).size(), 2u) << "every event is tried";
    EXPECT_EQ(::GetLastError(), 4321u);
    EXPECT_EQ(g_recorder.deregistrations, 1);
}

}  // namespace
}  // namespace modRunReport
