#include "eventlog/event_source_rules.h"

#include <exception>

#include "platform/ascii.h"

namespace eventlog {
namespace {

constexpr std::wstring_view kErrorSourcePrefix = L"DidirUverev.RegisterEvntSource.";

int32_t ObjectError(uint32_t offset) {
    // Wraps like the rest of the system's 32-bit arithmetic.
    return static_cast<int32_t>(0x80040000u + offset);
}

std::wstring_view LeadingPhrase(RegistrationStep step) {
    switch (step) {
        case RegistrationStep::Create: return L"Could not CREATE the key, ";
        case RegistrationStep::Open: return L"Could not OPEN the key, ";
        case RegistrationStep::SetEventMessageFile:
            return L"Could not SET the EventMessageFile value for the key, ";
        case RegistrationStep::SetCategoryMessageFile:
            return L"Could not SET the CategoryMessageFile value for the key, ";
        case RegistrationStep::SetCategoryCount:
            return L"Could not SET the CategoryCount value for the key, ";
        case RegistrationStep::SetTypesSupported:
            return L"Could not SET the TypesSupported value for the key, ";
        case RegistrationStep::Delete: return L"Could not DELETE the key, ";
    }
    return {};
}

uint32_t Offset(RegistrationStep step) {
    switch (step) {
        case RegistrationStep::Create:
        case RegistrationStep::Delete: return 9004;
        case RegistrationStep::Open: return 9005;
        case RegistrationStep::SetEventMessageFile:
        case RegistrationStep::SetCategoryMessageFile:
        case RegistrationStep::SetCategoryCount: return 9006;
        case RegistrationStep::SetTypesSupported: return 9007;
    }
    return 0;
}

// The list with its trailing NULs reduced to exactly two, or a single NUL when it
// holds nothing but NULs.
std::wstring WellFormed(const std::wstring& list) {
    const size_t last = list.find_last_not_of(L'\0');
    if (last == std::wstring::npos) return std::wstring(1, L'\0');
    std::wstring result = list.substr(0, last + 1);
    result.append(2, L'\0');
    return result;
}

}  // namespace

std::wstring SourceKeyPath(std::wstring_view logName, std::wstring_view appName) {
    std::wstring path(kEventLogKey);
    path += L'\\';
    path += logName;
    path += L'\\';
    path += appName;
    return path;
}

std::wstring_view TrimSpaces(std::wstring_view text) {
    const size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring_view::npos) return {};
    const size_t last = text.find_last_not_of(L' ');
    return text.substr(first, last - first + 1);
}

std::wstring MessageFileDirectory(std::wstring_view filePath) {
    const std::wstring_view trimmed = TrimSpaces(filePath);
    if (!trimmed.empty() && trimmed.back() == L'\\') return std::wstring(filePath);
    std::wstring directory(trimmed);
    directory += L'\\';
    return directory;
}

Failure RegistrationFailure(RegistrationStep step, std::wstring_view appName,
                            std::wstring_view logName, std::wstring_view errorText) {
    std::wstring description(LeadingPhrase(step));
    description += appName;
    description += L", in the registry under ";
    description += kEventLogKey;
    description += L'\\';
    description += logName;
    description += L".  The error was: ";
    description += errorText;
    return {ObjectError(Offset(step)), std::wstring(kErrorSourcePrefix) + L"RegisterEventSource",
            std::move(description)};
}

Failure LogNameFailure(int32_t code, std::wstring_view errorText) {
    std::wstring description = L"Error retriving event log names, ";
    description += errorText;
    return {ObjectError(static_cast<uint32_t>(code)),
            std::wstring(kErrorSourcePrefix) + L"GetLogName", std::move(description)};
}

std::wstring UpperCaseAscii(std::wstring_view text) {
    std::wstring result(text);
    for (wchar_t& c : result) {
        c = platform::AsciiUpper(c);
    }
    return result;
}

bool AddNameToList(std::wstring& list, std::wstring_view name, UpperCaseFn upperCase) noexcept {
    if (name.find(L'\0') != std::wstring_view::npos) return false;
    // Never raises; the list is replaced only at the very end, by a move.
    try {
        std::wstring extended = WellFormed(list);
        const std::wstring wanted = upperCase(TrimSpaces(name));
        const std::wstring_view entries(extended);
        for (size_t start = 0;;) {
            const size_t end = entries.find(L'\0', start);
            if (end == std::wstring_view::npos) break;
            if (upperCase(TrimSpaces(entries.substr(start, end - start))) == wanted) return false;
            start = end + 1;
        }

        // Drop one of the two final NULs (or the lone NUL of an empty list) and close
        // the list again behind the new name.
        extended.pop_back();
        extended += name;
        extended.append(2, L'\0');
        list = std::move(extended);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace eventlog
