#include "eventlog/event_source_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace eventlog {
namespace {

using namespace std::string_literals;

TEST(MessageFileDirectory, EdgesOfTheTrim) {
    const struct {
        const wchar_t* path;
        const wchar_t* directory;
    } rows[] = {
        {L"C:\\Quorvane\\ ", L"C:\\Quorvane\\ "},  // kept untrimmed
        {L"   ", L"\\"},
        {L"\\", L"\\"},
        {L"\tC:\\Q\t", L"\tC:\\Q\t\\"},  // only blanks are trimmed
    };
    for (const auto& row : rows) {
        EXPECT_EQ(MessageFileDirectory(row.path), row.directory) << '"' << row.path << '"';
    }
}

TEST(LogNameFailure, NumberIsTheObjectErrorBasePlusTheCode) {
    const Failure failure = LogNameFailure(5, L"Access denied.");
    EXPECT_EQ(static_cast<uint32_t>(failure.Number), 0x80040005u);
    EXPECT_EQ(failure.Source, L"DidirUverev.RegisterEvntSource.GetLogName");
    EXPECT_EQ(failure.Description, L"Error retriving event log names, Access denied.");
    EXPECT_EQ(static_cast<uint32_t>(LogNameFailure(234, L"").Number), 0x800400EAu);
}

TEST(AddNameToList, NameAlreadyThereIsFoundTrimmedAndInAnyCase) {
    std::wstring list = L"A\0B\0\0"s;
    EXPECT_FALSE(AddNameToList(list, L" b "));
    EXPECT_EQ(list, L"A\0B\0\0"s);
    EXPECT_FALSE(AddNameToList(list, L"a"));
    EXPECT_EQ(list, L"A\0B\0\0"s);

    std::wstring spaced = L" Application \0\0"s;
    EXPECT_FALSE(AddNameToList(spaced, L"APPLICATION"));
    EXPECT_EQ(spaced, L" Application \0\0"s);
}

TEST(AddNameToList, NewNameIsAppendedAsPassedBeforeTheFinalNul) {
    std::wstring list = L"A\0B\0\0"s;
    EXPECT_TRUE(AddNameToList(list, L"C"));
    EXPECT_EQ(list, L"A\0B\0C\0\0"s);
    EXPECT_TRUE(AddNameToList(list, L" d "));
    EXPECT_EQ(list, L"A\0B\0C\0 d \0\0"s);
    EXPECT_FALSE(AddNameToList(list, L"D"));
}

TEST(AddNameToList, PartOfANameIsNotTheName) {
    std::wstring list = L"Application\0\0"s;
    EXPECT_TRUE(AddNameToList(list, L"App"));
    EXPECT_EQ(list, L"Application\0App\0\0"s);
}

TEST(AddNameToList, BlankNameCountsAsPresent) {
    for (const std::wstring& name : {L""s, L"   "s}) {
        std::wstring list = L"A\0\0"s;
        EXPECT_FALSE(AddNameToList(list, name));
        EXPECT_EQ(list, L"A\0\0"s);
    }
    std::wstring empty;
    EXPECT_FALSE(AddNameToList(empty, L""));
    EXPECT_EQ(empty, L"");
}

TEST(AddNameToList, EmptyListInAnyFormGetsTheNameAsItsOnlyEntry) {
    for (const std::wstring& list0 : {L""s, L"\0"s, L"\0\0"s, L"\0\0\0"s}) {
        std::wstring list = list0;
        EXPECT_TRUE(AddNameToList(list, L"C")) << list0.size();
        EXPECT_EQ(list, L"C\0\0"s) << list0.size();
    }
}

TEST(AddNameToList, ListWithoutItsTwoFinalNulsKeepsEveryName) {
    const struct {
        std::wstring list;
        std::wstring after;
    } rows[] = {
        {L"A\0B\0"s, L"A\0B\0C\0\0"s},      // the final NUL missing
        {L"A\0B"s, L"A\0B\0C\0\0"s},        // the last name unterminated
        {L"A"s, L"A\0C\0\0"s},
        {L"A\0B\0\0\0"s, L"A\0B\0C\0\0"s},  // one NUL too many
    };
    for (const auto& row : rows) {
        std::wstring list = row.list;
        EXPECT_TRUE(AddNameToList(list, L"C")) << row.list.size();
        EXPECT_EQ(list, row.after) << row.list.size();
    }
}

TEST(AddNameToList, UnterminatedLastNameStillCountsAsPresentAndTheListStaysAsItWas) {
    std::wstring list = L"A\0B"s;
    EXPECT_FALSE(AddNameToList(list, L"b"));
    EXPECT_EQ(list, L"A\0B"s);
}

TEST(AddNameToList, NameHoldingANulIsRefused) {
    std::wstring list = L"A\0\0"s;
    EXPECT_FALSE(AddNameToList(list, L"X\0Y"s));
    EXPECT_FALSE(AddNameToList(list, L"\0"s));
    EXPECT_EQ(list, L"A\0\0"s);
}

TEST(AddNameToList, ComparisonUsesTheGivenUpperCase) {
    const UpperCaseFn latinOne = [](std::wstring_view text) {
        std::wstring result = UpperCaseAscii(text);
        for (wchar_t& c : result) {
            if (c >= 0xE0 && c <= 0xFE && c != 0xF7) c = static_cast<wchar_t>(c - 0x20);
        }
        return result;
    };
    std::wstring list = L"\xC9v\xE9nement\0\0"s;  // Événement
    std::wstring copy = list;
    EXPECT_TRUE(AddNameToList(copy, L"\xE9v\xE9nement"));  // ASCII folding misses é/É
    EXPECT_FALSE(AddNameToList(list, L"\xE9v\xE9nement", latinOne));
}

}  // namespace
}  // namespace eventlog
