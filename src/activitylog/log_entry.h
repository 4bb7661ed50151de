#pragma once
// Layout of one activity log entry and the paths derived from the executable's path.
// Free of the Windows API: the caller hands in the already formatted date and time.
#include <cstdint>
#include <string>
#include <string_view>

namespace basQuorvaneService {

// The record of the most recent failure; 0, 0 and empty when there is none.
struct ErrorRecord {
    int32_t Line = 0;  // nothing in the system records a line, so it stays 0
    int32_t Number = 0;
    std::wstring Description;
};

// Short date, a blank, long time; the time is left out at exactly midnight.
std::wstring JoinDateTime(std::wstring_view shortDate, std::wstring_view longTime, bool midnight);

// date-time TAB line:number:description CR LF message CR LF
std::wstring FormatLogEntry(std::wstring_view dateTime, const ErrorRecord& error,
                            std::wstring_view message);

// Replaces each control character (U+0000 to U+001F) with `replacement`, so that a text
// taken from outside cannot break a log line and forge entries.
void ReplaceControlCharacters(std::wstring& text, wchar_t replacement);

// A copy of `text` with ReplaceControlCharacters applied.
std::wstring WithControlCharactersReplaced(std::wstring_view text, wchar_t replacement);

// The directory of a module path with exactly one trailing backslash.
std::wstring DirectoryOf(std::wstring_view modulePath);

// The file name of a module path without its extension.
std::wstring BaseNameOf(std::wstring_view modulePath);

}  // namespace basQuorvaneService
