#pragma once
// The events that report one run and their insert strings. Free of the Windows API:
// ReportRun (run_report.cpp) hands them to the event log.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "eventlog/run_report.h"

namespace modRunReport {

// Full identifiers: the severity in the top two bits, facility 0, customer bit clear. The
// message table of QuorvaneService.exe (events.mc) holds the texts under these numbers.
inline constexpr uint32_t kEventRunClean = 0x40000001;     // information
inline constexpr uint32_t kEventRunTroubled = 0x80000002;  // warning
inline constexpr uint32_t kEventRunNotActed = 0xC0000003;  // error
inline constexpr uint32_t kEventRefused = 0x8000000A;      // warning
inline constexpr uint32_t kEventMoreRefused = 0x8000000B;  // warning

enum class Severity { Success = 0, Information = 1, Warning = 2, Error = 3 };

constexpr Severity SeverityOf(uint32_t eventId) { return static_cast<Severity>(eventId >> 30); }

// What an insert holds where the run has nothing to say, so that no insert is empty.
inline constexpr wchar_t kNotApplicable[] = L"-";

struct RunEvent {
    uint32_t id = 0;
    std::vector<std::wstring> inserts;
};

// The most characters the platform takes in one insert string; a longer one makes the
// whole event fail.
inline constexpr size_t kInsertLimit = 31839;
// What stands at the end of an insert cut to that limit.
inline constexpr wchar_t kInsertCutMark[] = L"\x2026[cut]";

// A text from outside (a listed path, an account) as an insert shows it exactly: a control
// character becomes '?', so that the message keeps its lines; '%' becomes the full-width
// U+FF05, since a viewer expands "%%N" in an insert into a parameter message; past
// kInsertLimit characters the text is cut and ends with kInsertCutMark.
std::wstring InsertOf(std::wstring_view text);

// The system's text for an error number, supplied by the caller.
using ErrorTextFunction = std::wstring (*)(uint32_t error);

// In the order they are reported: an event for each of the first kRefusalEvents refusals,
// one for the refusals beyond them, then the run's own event (1, 2 or 3).
std::vector<RunEvent> EventsOfRun(const RunSummary& summary, ErrorTextFunction errorText);

}  // namespace modRunReport
