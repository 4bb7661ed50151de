#include "tools/tool_args.h"

#include "platform/ascii.h"

namespace quorvane_tool {

const std::wstring& ParsedArgs::Required(const std::wstring& option) const {
    const auto found = options.find(option);
    if (found == options.end()) throw UsageError{L"missing " + option};
    return found->second;
}

std::wstring ParsedArgs::Optional(const std::wstring& option, const std::wstring& fallback) const {
    const auto found = options.find(option);
    return found == options.end() ? fallback : found->second;
}

namespace {

bool IsHelp(const std::wstring& word) { return word == L"--help" || word == L"-h" || word == L"/?"; }

}  // namespace

ParsedArgs ParseArgs(const std::vector<std::wstring>& words, const std::set<std::wstring>& valueOptions,
                     const std::set<std::wstring>& flagOptions) {
    const auto isOptionName = [&](const std::wstring& word) {
        const std::wstring name = word.substr(0, word.find(L'='));
        return IsHelp(name) || valueOptions.count(name) != 0 || flagOptions.count(name) != 0;
    };
    ParsedArgs args;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::wstring& word = words[i];
        if (IsHelp(word)) {
            args.help = true;
        } else if (word.rfind(L"--", 0) == 0 && word.size() > 2) {
            const size_t equals = word.find(L'=');
            const std::wstring name = word.substr(0, equals);
            if (valueOptions.count(name)) {
                if (args.options.count(name)) throw UsageError{name + L" given twice"};
                if (equals != std::wstring::npos) {
                    args.options[name] = word.substr(equals + 1);
                } else {
                    if (i + 1 >= words.size() || isOptionName(words[i + 1])) {
                        throw UsageError{name + L" needs a value"};
                    }
                    args.options[name] = words[++i];
                }
            } else if (flagOptions.count(name)) {
                if (equals != std::wstring::npos) throw UsageError{name + L" takes no value"};
                args.switches.insert(name);
            } else {
                throw UsageError{L"unknown option " + name};
            }
        } else {
            args.positional.push_back(word);
        }
    }
    return args;
}

bool SameWord(std::wstring_view word, std::wstring_view name) { return platform::EqualsIgnoringAsciiCase(word, name); }

std::optional<int32_t> ParseInt32(const std::wstring& text) {
    if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        if (text.size() > 10) return std::nullopt;
        uint32_t value = 0;
        for (size_t i = 2; i < text.size(); ++i) {
            const wchar_t c = text[i];
            uint32_t digit;
            if (c >= L'0' && c <= L'9') digit = static_cast<uint32_t>(c - L'0');
            else if (c >= L'a' && c <= L'f') digit = static_cast<uint32_t>(c - L'a' + 10);
            else if (c >= L'A' && c <= L'F') digit = static_cast<uint32_t>(c - L'A' + 10);
            else return std::nullopt;
            value = value * 16 + digit;
        }
        return static_cast<int32_t>(value);
    }
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == L'-';
    if (!text.empty() && (text[0] == L'-' || text[0] == L'+')) i = 1;
    if (i >= text.size()) return std::nullopt;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9') return std::nullopt;
        value = value * 10 + (text[i] - L'0');
        if (value > 2147483648LL) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
    return static_cast<int32_t>(value);
}

}  // namespace quorvane_tool
