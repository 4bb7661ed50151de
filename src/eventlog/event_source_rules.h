#pragma once
// The decisions of cRegisterEventSource that need no Windows API: the key path, the
// message-file directory, the failures it raises and the NUL-separated name list.
#include <cstdint>
#include <string>
#include <string_view>

namespace eventlog {

// Without a trailing backslash: the key whose subkeys are the event logs.
inline constexpr std::wstring_view kEventLogKey = L"System\\CurrentControlSet\\Services\\EventLog";

// kEventLogKey + "\" + log + "\" + app; the names are used exactly as passed.
std::wstring SourceKeyPath(std::wstring_view logName, std::wstring_view appName);

// The trimmed path plus one backslash when the trimmed form lacks a final backslash;
// otherwise the path exactly as passed, spaces and all.
std::wstring MessageFileDirectory(std::wstring_view filePath);

// Leading and trailing blanks (U+0020 only) removed.
std::wstring_view TrimSpaces(std::wstring_view text);

enum class RegistrationStep {
    Create,
    Open,
    SetEventMessageFile,
    SetCategoryMessageFile,
    SetCategoryCount,
    SetTypesSupported,
    Delete,
};

struct Failure {
    int32_t Number;
    std::wstring Source;
    std::wstring Description;
};

// A failed step of RegisterEventSource or UnRegisterEventSource; errorText is the
// platform's message for the failing call's code.
Failure RegistrationFailure(RegistrationStep step, std::wstring_view appName,
                            std::wstring_view logName, std::wstring_view errorText);

// A failed enumeration of the event logs, with the enumeration's error code.
Failure LogNameFailure(int32_t code, std::wstring_view errorText);

// Upper-cases a whole text; the platform's mapping in production, ASCII by default.
using UpperCaseFn = std::wstring (*)(std::wstring_view);
std::wstring UpperCaseAscii(std::wstring_view text);

// Adds name to a list of names, each followed by a NUL, the whole ended by one more NUL.
// Returns false, leaving the list alone, when an entry equals the name once both are
// trimmed and upper-cased; an empty or blank name counts as present in every list.
// A list that is empty or not ended by exactly two NULs is first brought to that form
// (no names: one NUL), so no name already there is lost or glued to the new one.
// A name holding a NUL is refused: it would split into two entries or end the list.
bool AddNameToList(std::wstring& list, std::wstring_view name,
                   UpperCaseFn upperCase = UpperCaseAscii) noexcept;

}  // namespace eventlog
