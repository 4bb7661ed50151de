#include "osversion/version_judgement.h"

#include <algorithm>

namespace osversion {
namespace {

constexpr wchar_t kWin32sMessage[] = L"You are running Win32s. This is not supported!";
constexpr wchar_t kRunningPrefix[] = L"You are running ";
constexpr wchar_t kNeedsNt4Sp4[] = L". You must be running at least NT 4.0 with SP 4 or greater";
constexpr wchar_t kNeedsWin2000Rtm[] =
    L". For Win2000, you must be running at least build 2195 (RTM version).";
constexpr wchar_t kUnknownPrefix[] = L"Unknown operating system: ";

// The record's fields are unsigned, but every comparison is made on the signed value.
int32_t AsSigned(uint32_t value) {
    return value <= 0x7FFFFFFFu ? static_cast<int32_t>(value)
                                : -static_cast<int32_t>(~value) - 1;
}

// A field that the query left without a terminator within its length is not read at all.
std::wstring ServicePackText(const std::array<char, kServicePackChars>& field,
                             const AnsiDecoder& decode) {
    const auto end = std::find(field.begin(), field.end(), '\0');
    if (end == field.end()) return {};
    const std::wstring text =
        decode(std::string_view(field.data(), static_cast<std::size_t>(end - field.begin())));
    const std::size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos) return {};
    return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

// The last digit counts. A lettered release ("Service Pack 6a") is read by the digit just
// before its letters, or it would rank below the release it mends; a text without a
// digit there gives 0.
int16_t ServicePackNumber(std::wstring_view text) {
    while (!text.empty() && IsAsciiLetter(text.back())) text.remove_suffix(1);
    if (text.empty()) return 0;
    const wchar_t last = text.back();
    return last >= L'0' && last <= L'9' ? static_cast<int16_t>(last - L'0') : 0;
}

}  // namespace

int16_t LoWord(uint32_t value) {
    const int32_t low = static_cast<int32_t>(value & 0xFFFFu);
    return static_cast<int16_t>(low >= 0x8000 ? low - 0x10000 : low);
}

VersionFindings JudgeVersion(const VersionRecord& record, const AnsiDecoder& decode) {
    const int16_t build = LoWord(record.BuildNumber);
    const int16_t servicePack = ServicePackNumber(ServicePackText(record.CSDVersion, decode));
    const int32_t major = AsSigned(record.MajorVersion);

    std::wstring text = std::to_wstring(record.MajorVersion) + L"." +
                        std::to_wstring(record.MinorVersion);
    if (build > 0) text += L" Build " + std::to_wstring(build);
    if (servicePack > 0) text += L" SP " + std::to_wstring(servicePack);

    // The prefix goes in front before any message is built, so the messages carry it too.
    VersionFindings findings;
    switch (record.PlatformId) {
        case kPlatformWin32s:
            findings.VersionText = L"Win32s " + text;
            findings.TypeError = kWin32sMessage;
            break;
        case kPlatformWindows:
            findings.VersionText = L"Windows 98 " + text;
            findings.TypeValid = 1;
            break;
        case kPlatformNT:
            findings.VersionText = L"Windows NT " + text;
            if (major == 4 && servicePack >= 4) {
                findings.TypeValid = 2;
            } else if (major <= 4) {
                findings.TypeError = kRunningPrefix + findings.VersionText + kNeedsNt4Sp4;
            } else if (build > 2030) {
                // The bar is build 2031, lower than the 2195 that the message names; keep them apart.
                findings.TypeValid = 3;
            } else {
                findings.TypeError = kRunningPrefix + findings.VersionText + kNeedsWin2000Rtm;
            }
            break;
        default:
            findings.VersionText = text;
            findings.TypeError = kUnknownPrefix + text;
            break;
    }
    return findings;
}

}  // namespace osversion
