#include "tools/tool_rules.h"

#include <gtest/gtest.h>

#include "tools/json_writer.h"

namespace quorvane_tool {
namespace {

TEST(ToolRules, ControlCharactersAreRefusedOrShownAsQuestionMarks) {
    EXPECT_FALSE(HasControlCharacter(L"C:\\a b\x7F\x0E01.tmp"));
    for (const wchar_t c : {L'\0', L'\t', L'\n', L'\r', L'\x1F'}) {
        EXPECT_TRUE(HasControlCharacter(std::wstring(L"x") + c + L"y")) << static_cast<int>(c);
    }
    EXPECT_EQ(ShownText(std::wstring(L"a\tb\r\nc\0d \x7F\x6E05", 11)), L"a?b??c?d \x7F\x6E05");
}

TEST(ToolRules, AnEventNameIsExactlyOneKeyName) {
    for (const wchar_t* name : {L"Application", L"L2", L" Quorvane ", L"..", L"a/b", L"\x6E05\x9664"}) {
        EXPECT_TRUE(IsSingleKeyName(name)) << name;
    }
    for (const wchar_t* name : {L"", L" ", L"\t", L"  \x3000", L"\\", L"a\\b", L"L2\\", L"\\Parameters"}) {
        EXPECT_FALSE(IsSingleKeyName(name)) << std::wstring(name).size();
    }
}

TEST(ToolRules, RedirectedOutputTakesUtf8ThenTheConsoleThenTheAnsiCodePage) {
    EXPECT_EQ(RedirectedCodePage(true, 850, 1252), kUtf8CodePage);
    EXPECT_EQ(RedirectedCodePage(true, 0, 936), kUtf8CodePage);
    EXPECT_EQ(RedirectedCodePage(false, 850, 1252), 850u);
    EXPECT_EQ(RedirectedCodePage(false, 0, 936), 936u) << "no console";
}

TEST(ToolRules, HexCodesHaveEightUpperCaseDigits) {
    EXPECT_EQ(HexCode(5), L"0x00000005");
    EXPECT_EQ(HexCode(0x8004232Cu), L"0x8004232C");
}

TEST(JsonWriter, StringsComeOutInAsciiWithEveryOtherUnitEscaped) {
    const struct {
        std::wstring text;
        const char* json;
    } rows[] = {
        {L"", R"("")"},
        {L"C:\\a \"b\"/c", R"("C:\\a \"b\"/c")"},
        {std::wstring(L"\0\t\n\x1F\x7F", 5), R"("\u0000\u0009\u000a\u001f\u007f")"},
        {L"\x00E9\x6E05\xFFFD", R"("\u00e9\u6e05\ufffd")"},
        {L"~ !", R"("~ !")"},
    };
    for (const auto& row : rows) {
        JsonWriter json;
        json.String(row.text);
        EXPECT_EQ(json.Text(), row.json);
    }
    // A character beyond the 16-bit range, whichever width wchar_t has here.
    JsonWriter pair;
    pair.String(sizeof(wchar_t) == 2 ? std::wstring(L"\xD83D\xDE00") : std::wstring(1, static_cast<wchar_t>(0x1F600)));
    EXPECT_EQ(pair.Text(), R"("\ud83d\ude00")");
}

TEST(JsonWriter, ContainersSeparateTheirMembersWithCommas) {
    JsonWriter json;
    json.BeginObject().Key("count").Number(-2147483648LL).Key("ok").Bool(true).Key("entries").BeginArray();
    json.BeginObject().Key("index").Number(0).EndObject().BeginObject().EndObject();
    json.BeginArray().EndArray().String(L"x").EndArray().Key("last").Bool(false).EndObject();
    EXPECT_EQ(json.Text(), R"({"count":-2147483648,"ok":true,"entries":[{"index":0},{},[],"x"],"last":false})");
    EXPECT_EQ(HexBytes(std::string("\x00\x81\xff", 3)), "0081ff");
}

}  // namespace
}  // namespace quorvane_tool
