#include "tools/tool_rules.h"

#include "activitylog/log_entry.h"

namespace quorvane_tool {
namespace {

bool IsControl(wchar_t c) { return c <= 0x1F; }

bool IsWhiteSpace(wchar_t c) {
    return c == L' ' || IsControl(c) || c == 0x00A0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

}  // namespace

bool HasControlCharacter(std::wstring_view text) {
    for (wchar_t c : text) {
        if (IsControl(c)) return true;
    }
    return false;
}

std::wstring ShownText(std::wstring_view text) {
    return basQuorvaneService::WithControlCharactersReplaced(text, L'?');
}

bool IsSingleKeyName(std::wstring_view name) {
    if (name.find(L'\\') != std::wstring_view::npos) return false;
    for (wchar_t c : name) {
        if (!IsWhiteSpace(c)) return true;
    }
    return false;
}

std::wstring HexCode(uint32_t code) {
    constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text = L"0x";
    for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(code >> shift) & 0xF];
    return text;
}

unsigned RedirectedCodePage(bool utf8Asked, unsigned consoleOutputCodePage, unsigned ansiCodePage) {
    if (utf8Asked) return kUtf8CodePage;
    return consoleOutputCodePage != 0 ? consoleOutputCodePage : ansiCodePage;
}

}  // namespace quorvane_tool
