#include "driver/command_line.h"

#include "platform/ascii.h"

namespace basQuorvaneService {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

std::wstring_view ArgumentsAfterProgram(std::wstring_view commandLine) {
    size_t i = 0;
    if (!commandLine.empty() && commandLine[0] == L'"') {
        const size_t close = commandLine.find(L'"', 1);
        i = close == std::wstring_view::npos ? commandLine.size() : close + 1;
    } else {
        while (i < commandLine.size() && !IsBlank(commandLine[i])) ++i;
    }
    while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
    return commandLine.substr(i);
}

bool HasDebugSwitch(std::wstring_view commandLine) {
    // The switch is plain ASCII, so folding ASCII letters is the whole case-insensitive test.
    constexpr std::wstring_view kSwitch = L"/debugmode";
    const std::wstring_view args = ArgumentsAfterProgram(commandLine);
    if (args.size() < kSwitch.size()) return false;
    for (size_t start = 0; start + kSwitch.size() <= args.size(); ++start) {
        size_t k = 0;
        while (k < kSwitch.size() && platform::AsciiLower(args[start + k]) == kSwitch[k]) ++k;
        if (k == kSwitch.size()) return true;
    }
    return false;
}

}  // namespace basQuorvaneService
