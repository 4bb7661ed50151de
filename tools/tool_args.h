#pragma once
// Command-line arguments of QuorvaneTool: positional words and --name value options.
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane_tool {

enum ExitCode : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// A usage error: the message goes to stderr with the command's usage, exit status 2.
struct UsageError {
    explicit UsageError(std::wstring text, std::wstring commandUsage = {})
        : message(std::move(text)), usage(std::move(commandUsage)) {}
    std::wstring message;
    std::wstring usage;  // the command's own usage; empty: the tool's
};

struct ParsedArgs {
    std::vector<std::wstring> positional;
    std::map<std::wstring, std::wstring> options;  // "--flag" -> "7"
    std::set<std::wstring> switches;               // "--force"
    bool help = false;

    bool Has(const std::wstring& option) const { return options.count(option) != 0; }
    const std::wstring& Required(const std::wstring& option) const;
    std::wstring Optional(const std::wstring& option, const std::wstring& fallback = {}) const;
};

// `valueOptions` take a value, as the next word (--flag 3) or behind "=" (--flag=3);
// `flagOptions` stand alone. Anything else beginning with "--" is a usage error, as is a
// missing value. A next word that is one of the command's own option names is not taken
// as a value: "--dir --message-file m.dll" lacks the folder rather than naming it
// "--message-file". Behind "=" any text is the value.
ParsedArgs ParseArgs(const std::vector<std::wstring>& words, const std::set<std::wstring>& valueOptions,
                     const std::set<std::wstring>& flagOptions);

// Command and group words compare without regard to ASCII letter case.
bool SameWord(std::wstring_view word, std::wstring_view name);

// A signed 32-bit decimal number, or 0x followed by up to eight hexadecimal digits (a
// value of 0x80000000 or more is the negative number with those 32 bits).
std::optional<int32_t> ParseInt32(const std::wstring& text);

}  // namespace quorvane_tool
