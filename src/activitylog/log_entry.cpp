#include "activitylog/log_entry.h"

namespace basQuorvaneService {

std::wstring JoinDateTime(std::wstring_view shortDate, std::wstring_view longTime, bool midnight) {
    std::wstring text(shortDate);
    if (!midnight) {
        text += L' ';
        text += longTime;
    }
    return text;
}

std::wstring FormatLogEntry(std::wstring_view dateTime, const ErrorRecord& error,
                            std::wstring_view message) {
    std::wstring entry;
    entry.reserve(dateTime.size() + error.Description.size() + message.size() + 32);
    entry += dateTime;
    entry += L'\t';
    entry += std::to_wstring(error.Line);
    entry += L':';
    entry += std::to_wstring(error.Number);
    entry += L':';
    entry += error.Description;
    entry += L"\r\n";
    entry += message;
    entry += L"\r\n";
    return entry;
}

void ReplaceControlCharacters(std::wstring& text, wchar_t replacement) {
    for (wchar_t& c : text) {
        if (c < 0x20) c = replacement;
    }
}

std::wstring WithControlCharactersReplaced(std::wstring_view text, wchar_t replacement) {
    std::wstring replaced(text);
    ReplaceControlCharacters(replaced, replacement);
    return replaced;
}

std::wstring DirectoryOf(std::wstring_view modulePath) {
    const size_t slash = modulePath.find_last_of(L"\\/");
    std::wstring dir(slash == std::wstring_view::npos ? std::wstring_view{}
                                                      : modulePath.substr(0, slash));
    // Exactly one trailing backslash, also for a drive root ("C:" becomes "C:\").
    if (dir.empty() || dir.back() != L'\\') dir += L'\\';
    return dir;
}

std::wstring BaseNameOf(std::wstring_view modulePath) {
    const size_t slash = modulePath.find_last_of(L"\\/");
    std::wstring_view name =
        slash == std::wstring_view::npos ? modulePath : modulePath.substr(slash + 1);
    const size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring_view::npos && dot > 0) name = name.substr(0, dot);
    return std::wstring(name);
}

}  // namespace basQuorvaneService
