#include "eventlog/run_report_events.h"

#include <algorithm>

#include "activitylog/log_entry.h"

namespace modRunReport {
namespace {

std::wstring OrNotApplicable(const std::wstring& text) { return text.empty() ? kNotApplicable : text; }

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

const wchar_t* ListWord(ListState state) {
    switch (state) {
        case ListState::Read: return L"read";
        case ListState::Created: return L"created";
        case ListState::Damaged: return L"damaged";
        case ListState::Unreadable: return L"unreadable";
    }
    return kNotApplicable;
}

// Only a missing or damaged list is written afresh.
const wchar_t* RewriteWord(const RunSummary& summary) {
    if (summary.rewriteFailed) return L"failed";
    if (summary.list == ListState::Created || summary.list == ListState::Damaged) return L"written";
    return kNotApplicable;
}

uint32_t RunEventId(const RunSummary& summary) {
    if (!summary.untrustedObject.empty() || summary.jobFailure != 0) return kEventRunNotActed;
    const bool troubled = summary.refused > 0 || summary.list == ListState::Damaged ||
                          summary.list == ListState::Unreadable || summary.rewriteFailed;
    return troubled ? kEventRunTroubled : kEventRunClean;
}

// One layout for events 1, 2 and 3, so that a script reads every run alike; event 3 adds
// what stopped the run.
RunEvent RunOwnEvent(const RunSummary& summary) {
    RunEvent event{RunEventId(summary),
                   {std::to_wstring(summary.entries), std::to_wstring(summary.deleted),
                    std::to_wstring(summary.gone), std::to_wstring(summary.scheduled),
                    std::to_wstring(summary.refused), std::to_wstring(summary.leftAlone),
                    ListWord(summary.list), OrNotApplicable(summary.keptCopy), RewriteWord(summary),
                    std::to_wstring(summary.durationMs)}};
    if (event.id == kEventRunNotActed) {
        event.inserts.push_back(OrNotApplicable(InsertOf(summary.untrustedObject)));
        event.inserts.push_back(OrNotApplicable(InsertOf(summary.untrustedAccount)));
        event.inserts.push_back(std::to_wstring(summary.jobFailure));
    }
    return event;
}

}  // namespace

std::wstring InsertOf(std::wstring_view text) {
    std::wstring insert = basQuorvaneService::WithControlCharactersReplaced(text, L'?');
    for (wchar_t& c : insert) {
        if (c == L'%') c = L'\xFF05';
    }
    if (insert.size() <= kInsertLimit) return insert;
    size_t kept = kInsertLimit - (sizeof(kInsertCutMark) / sizeof(wchar_t) - 1);
    if (IsHighSurrogate(insert[kept - 1])) --kept;  // never half a character
    insert.resize(kept);
    return insert + kInsertCutMark;
}

std::vector<RunEvent> EventsOfRun(const RunSummary& summary, ErrorTextFunction errorText) {
    std::vector<RunEvent> events;
    const size_t ownEvents = std::min(summary.refusals.size(), kRefusalEvents);
    events.reserve(ownEvents + 2);
    for (size_t i = 0; i < ownEvents; ++i) {
        const RefusedEntry& refusal = summary.refusals[i];
        events.push_back({kEventRefused,
                          {InsertOf(refusal.path),
                           std::to_wstring(refusal.error),
                           OrNotApplicable(errorText(refusal.error))}});
    }
    const uint32_t refused = summary.refused;
    if (refused > ownEvents) {
        events.push_back({kEventMoreRefused,
                          {std::to_wstring(refused - ownEvents), std::to_wstring(refused),
                           std::to_wstring(ownEvents)}});
    }
    events.push_back(RunOwnEvent(summary));
    return events;
}

}  // namespace modRunReport
