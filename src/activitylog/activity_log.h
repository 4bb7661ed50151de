#pragma once
// The activity log beside the executable: one two-line entry per call, the file opened,
// appended to and closed for each entry.
#include <cstdint>
#include <string>
#include <string_view>

#include "activitylog/log_entry.h"

namespace basQuorvaneService {

// True when the command line holds "/debugmode"; set once before the bridge starts.
extern bool DebugMode;

// The most recent failure; WriteLog puts it into each entry's header line.
extern ErrorRecord CurrentError;
void RecordError(int32_t number, std::wstring description);
void ClearError();

// The executable's full path, its directory with one trailing backslash, and the log.
std::wstring ModulePath();
std::wstring AppDir();
std::wstring LogFilePath();

// The date and time an entry made now carries: the user locale's short date and long
// time, the time left out at exactly midnight. Formatted once a second; valid until the
// next call. Only the run's own thread writes the log.
const std::wstring& CurrentDateTimeText();

// Appends one entry when `always` is true or DebugMode is on. An entry that cannot be
// formatted (memory exhausted) or written (read-only directory, file locked by another
// program) is lost and the run goes on; the result says whether the entry reached the
// file. Never throws: failure handlers log with it.
bool WriteLog(std::wstring_view message, bool always) noexcept;

}  // namespace basQuorvaneService
