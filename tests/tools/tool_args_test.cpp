#include "tools/tool_args.h"

#include <gtest/gtest.h>

namespace quorvane_tool {
namespace {

TEST(ToolArgs, NumbersAreSigned32BitDecimalOrHex) {
    EXPECT_EQ(ParseInt32(L"0"), 0);
    EXPECT_EQ(ParseInt32(L"-7"), -7);
    EXPECT_EQ(ParseInt32(L"+12"), 12);
    EXPECT_EQ(ParseInt32(L"2147483647"), INT32_MAX);
    EXPECT_EQ(ParseInt32(L"-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseInt32(L"0x10"), 16);
    EXPECT_EQ(ParseInt32(L"0XfF"), 255);
    EXPECT_EQ(ParseInt32(L"0x8004232C"), static_cast<int32_t>(0x8004232Cu));
    EXPECT_EQ(ParseInt32(L"0xFFFFFFFF"), -1);
    for (const wchar_t* bad : {L"", L"-", L"2147483648", L"-2147483649", L"12x", L"0x", L"0x123456789",
                               L"0xG", L" 1", L"1.5", L"99999999999999999999"}) {
        EXPECT_FALSE(ParseInt32(bad).has_value()) << std::wstring(bad).size();
    }
}

TEST(ToolArgs, OptionsTakeTheirValueAndUnknownOnesAreRefused) {
    const ParsedArgs args =
        ParseArgs({L"FILE", L"--flag", L"3", L"PATH", L"--force", L"--extra", L"--odd"},
                  {L"--flag", L"--extra"}, {L"--force"});
    EXPECT_EQ(args.positional, (std::vector<std::wstring>{L"FILE", L"PATH"}));
    EXPECT_EQ(args.Required(L"--flag"), L"3");
    EXPECT_EQ(args.Optional(L"--extra"), L"--odd") << "a value may look like an option";
    EXPECT_TRUE(args.switches.count(L"--force"));
    EXPECT_EQ(args.Optional(L"--missing", L"fallback"), L"fallback");
    EXPECT_THROW(args.Required(L"--missing"), UsageError);

    EXPECT_THROW(ParseArgs({L"--bogus"}, {}, {}), UsageError);
    EXPECT_THROW(ParseArgs({L"--flag"}, {L"--flag"}, {}), UsageError);
    EXPECT_THROW(ParseArgs({L"--flag", L"1", L"--flag", L"2"}, {L"--flag"}, {}), UsageError);
    EXPECT_TRUE(ParseArgs({L"x", L"--help"}, {}, {}).help);
}

TEST(ToolArgs, ValuesFollowAnEqualsSignOrComeAsTheNextWordThatNamesNoOption) {
    const std::set<std::wstring> values = {L"--dir", L"--message-file", L"--extra"};
    const std::set<std::wstring> flags = {L"--force"};
    const ParsedArgs args = ParseArgs({L"--dir=C:\a=b", L"--extra=", L"--message-file", L"m.dll"}, values, flags);
    EXPECT_EQ(args.Required(L"--dir"), L"C:\a=b");
    EXPECT_EQ(args.Required(L"--extra"), L"");
    EXPECT_EQ(args.Required(L"--message-file"), L"m.dll");
    EXPECT_EQ(ParseArgs({L"--extra=--force"}, values, flags).Required(L"--extra"), L"--force");

    // The next word is another option of the command: the value is missing, not that name.
    for (const std::vector<std::wstring>& words :
         {std::vector<std::wstring>{L"--dir", L"--message-file", L"m.dll"}, {L"--dir", L"--force"},
          {L"--dir", L"--extra=x"}, {L"--dir", L"--help"}, {L"--force=1"}, {L"--dir=a", L"--dir=b"},
          {L"--bogus=1"}}) {
        EXPECT_THROW(ParseArgs(words, values, flags), UsageError) << words[0];
    }
}

TEST(ToolArgs, CommandWordsMatchInAnyAsciiLetterCase) {
    EXPECT_TRUE(SameWord(L"LIST", L"list"));
    EXPECT_TRUE(SameWord(L"EventSource", L"eventsource"));
    EXPECT_FALSE(SameWord(L"lists", L"list"));
    EXPECT_FALSE(SameWord(L"lis", L"list"));
    EXPECT_FALSE(SameWord(L"l30st", L"list")) << "only ASCII letters fold";
}

}  // namespace
}  // namespace quorvane_tool
