#include "platform/text.h"

#include "platform/win32.h"

namespace platform {
namespace {

std::string Narrow(std::wstring_view text, unsigned codePage, DWORD flags) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int needed = ::WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0,
                                             nullptr, nullptr);
    if (needed <= 0) return {};
    std::string result(static_cast<size_t>(needed), '\0');
    ::WideCharToMultiByte(codePage, flags, text.data(), length, result.data(), needed, nullptr,
                          nullptr);
    return result;
}

std::wstring Widen(std::string_view bytes, unsigned codePage) {
    if (bytes.empty()) return {};
    const int length = static_cast<int>(bytes.size());
    const int needed = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    if (needed <= 0) return {};
    std::wstring result(static_cast<size_t>(needed), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), length, result.data(), needed);
    return result;
}

unsigned Resolve(unsigned codePage) {
    return codePage == CP_ACP ? ::GetACP() : codePage;
}

// Best fit writes look-alikes (the full-width hyphen as "-", superscript two as "2"), which
// read as other text. UTF-8 and the stateful code pages refuse the flag.
DWORD NoBestFit(unsigned resolvedCodePage) {
    return resolvedCodePage == CP_UTF8 || resolvedCodePage >= 50000 ? 0 : WC_NO_BEST_FIT_CHARS;
}

}  // namespace

std::string ToAnsi(std::wstring_view text, unsigned codePage) {
    const unsigned resolved = Resolve(codePage);
    return Narrow(text, resolved, NoBestFit(resolved));
}

std::optional<std::string> ToAnsiExact(std::wstring_view text, unsigned codePage) {
    const unsigned resolved = Resolve(codePage);
    // The round trip catches every loss, also for the code pages without the flag.
    std::string bytes = Narrow(text, resolved, NoBestFit(resolved));
    if (Widen(bytes, resolved) != text) return std::nullopt;
    return bytes;
}

std::wstring FromAnsi(std::string_view bytes, unsigned codePage) {
    return Widen(bytes, codePage);
}

std::string ToUtf8(std::wstring_view text) { return Narrow(text, CP_UTF8, 0); }

std::wstring FromUtf8(std::string_view bytes) { return Widen(bytes, CP_UTF8); }

}  // namespace platform
