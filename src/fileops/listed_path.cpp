#include "fileops/listed_path.h"

#include <vector>

#include "platform/ascii.h"

namespace fileops {
namespace {

constexpr std::wstring_view kLiteralPrefix = L"\\\\?\\";

// Characters no file name holds; "*?" and the DOS wildcards "<>\"" are patterns to the
// search calls, and a pattern names no file.
constexpr std::wstring_view kPatternCharacters = L"*?<>\"|";

using platform::AsciiUpper;
using platform::EqualsIgnoringAsciiCase;

bool IsDriveRoot(std::wstring_view text) {
    return text.size() >= 3 && AsciiUpper(text[0]) >= L'A' && AsciiUpper(text[0]) <= L'Z' &&
           text[1] == L':' && text[2] == L'\\';
}

bool HasControlCharacter(std::wstring_view text) {
    for (wchar_t c : text) {
        if (c >= 0x01 && c <= 0x1F) return true;
    }
    return false;
}

// A colon after the drive names a stream of a file, not a file.
bool HasPatternOrStream(std::wstring_view afterDrive) {
    return afterDrive.find_first_of(kPatternCharacters) != std::wstring_view::npos ||
           afterDrive.find(L':') != std::wstring_view::npos;
}

bool OnlyDotsAndBlanks(std::wstring_view segment) {
    return segment.find_first_not_of(L". ") == std::wstring_view::npos;
}

std::vector<std::wstring_view> Split(std::wstring_view text) {
    std::vector<std::wstring_view> parts;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find(L'\\', start);
        const size_t stop = end == std::wstring_view::npos ? text.size() : end;
        parts.push_back(text.substr(start, stop - start));
        if (end == std::wstring_view::npos) break;
        start = end + 1;
    }
    return parts;
}

ListedPath Refuse(uint32_t error) {
    ListedPath judged;
    judged.kind = PathKind::Refused;
    judged.refusal = error;
    return judged;
}

// Refused for a pattern's characters or a stream's colon; `pattern` says which.
ListedPath RefusePatternOrStream(std::wstring_view afterDrive) {
    ListedPath judged = Refuse(kErrorInvalidName);
    judged.pattern = afterDrive.find_first_of(kPatternCharacters) != std::wstring_view::npos;
    return judged;
}

ListedPath NoFile() { return ListedPath{}; }

ListedPath File(std::wstring path) {
    ListedPath judged;
    judged.kind = PathKind::File;
    judged.path = std::move(path);
    return judged;
}

// After "\\?\" the platform resolves nothing: only a drive path whose every component is
// a plain name is one file.
ListedPath JudgeLiteral(std::wstring_view rest) {
    if (rest.size() >= 4 && EqualsIgnoringAsciiCase(rest.substr(0, 4), L"UNC\\")) return Refuse(kErrorNotSupported);
    if (!IsDriveRoot(rest)) return Refuse(kErrorInvalidName);  // GLOBALROOT, Volume{...}, ...
    if (HasPatternOrStream(rest.substr(2))) return RefusePatternOrStream(rest.substr(2));
    const auto parts = Split(rest.substr(3));
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::wstring_view part = parts[i];
        // A trailing separator names a folder; a doubled one no name at all.
        if (part.empty()) return i + 1 == parts.size() ? NoFile() : Refuse(kErrorInvalidName);
        if (part == L"." || part == L"..") return Refuse(kErrorInvalidName);
    }
    return File(std::wstring(rest));
}

// The platform's full-path form: "/" is a separator, runs of separators are one, "." and
// ".." are resolved (never above the root), a component's one trailing dot is dropped and
// the last component loses its trailing dots and blanks. Where platforms read a component
// differently (only dots and blanks, or two trailing dots) the path is refused rather than
// guessed at.
ListedPath JudgeDosPath(std::wstring text) {
    for (wchar_t& c : text) {
        if (c == L'/') c = L'\\';
    }
    if (text.size() >= 2 && text[0] == L'\\' && text[1] == L'\\') {
        // "\\.\" and "\\?\" spelled with slashes are device paths; the rest are other hosts,
        // which a service running under the machine's account must never connect to.
        const bool device = text.size() >= 3 && (text[2] == L'.' || text[2] == L'?');
        return Refuse(device ? kErrorInvalidName : kErrorNotSupported);
    }
    if (!IsDriveRoot(text)) return NoFile();
    const std::wstring_view afterDrive = std::wstring_view(text).substr(2);
    if (HasPatternOrStream(afterDrive)) return RefusePatternOrStream(afterDrive);

    const auto parts = Split(afterDrive.substr(1));
    const bool endsInSeparator = parts.back().empty();
    std::vector<std::wstring> kept;
    for (size_t i = 0; i < parts.size(); ++i) {
        std::wstring part(parts[i]);
        if (part.empty() || part == L".") continue;
        if (part == L"..") {
            if (!kept.empty()) kept.pop_back();
            continue;
        }
        const bool last = i + 1 == parts.size();
        if (OnlyDotsAndBlanks(part)) return Refuse(kErrorInvalidName);
        if (last) {
            part.erase(part.find_last_not_of(L". ") + 1);
        } else if (part.size() >= 2 && part[part.size() - 1] == L'.' && part[part.size() - 2] == L'.') {
            return Refuse(kErrorInvalidName);
        } else if (part.back() == L'.') {
            part.pop_back();
        }
        kept.push_back(std::move(part));
    }
    for (const auto& part : kept) {
        if (IsReservedDeviceName(part)) return Refuse(kErrorInvalidName);
    }
    // A folder, not a file.
    if (kept.empty() || endsInSeparator) return NoFile();

    std::wstring full(text.substr(0, 2));
    for (const auto& part : kept) {
        full += L'\\';
        full += part;
    }
    return File(std::move(full));
}

}  // namespace

bool IsReservedDeviceName(std::wstring_view component) {
    // The platform reads the name up to its first dot (or stream colon), less trailing blanks.
    std::wstring_view name = component.substr(0, component.find_first_of(L".:"));
    while (!name.empty() && name.back() == L' ') name.remove_suffix(1);
    if (name.size() == 3) {
        return EqualsIgnoringAsciiCase(name, L"CON") || EqualsIgnoringAsciiCase(name, L"PRN") ||
               EqualsIgnoringAsciiCase(name, L"AUX") || EqualsIgnoringAsciiCase(name, L"NUL");
    }
    if (name.size() == 4 && (EqualsIgnoringAsciiCase(name.substr(0, 3), L"COM") || EqualsIgnoringAsciiCase(name.substr(0, 3), L"LPT"))) {
        const wchar_t digit = name[3];
        return (digit >= L'1' && digit <= L'9') || digit == 0x00B9 || digit == 0x00B2 || digit == 0x00B3;
    }
    return EqualsIgnoringAsciiCase(name, L"CONIN$") || EqualsIgnoringAsciiCase(name, L"CONOUT$");
}

ListedPath JudgeListedPath(std::wstring_view text) {
    // A narrow call would see only the part before a NUL: that is another file.
    if (text.find(L'\0') != std::wstring_view::npos) return NoFile();
    // A line break or any other control character has no place in a file name, and would
    // forge lines wherever the path is shown.
    if (HasControlCharacter(text)) return Refuse(kErrorInvalidName);
    if (text.substr(0, kLiteralPrefix.size()) == kLiteralPrefix) {
        return JudgeLiteral(text.substr(kLiteralPrefix.size()));
    }
    return JudgeDosPath(std::wstring(text));
}

}  // namespace fileops
