#include "eventlog/message_source.h"

#include <gtest/gtest.h>

namespace modFormatMsg {
namespace {

TEST(TrimFinalCrLf, RemovesOnePairAndNothingElse) {
    const struct {
        const wchar_t* in;
        const wchar_t* out;
    } rows[] = {
        {L"two\r\n\r\n", L"two\r\n"}, {L"lone\n", L"lone\n"}, {L"lone\r", L"lone\r"},
        {L"reversed\n\r", L"reversed\n\r"}, {L"\r\n", L""}, {L"", L""},
    };
    for (const auto& row : rows) {
        std::wstring text = row.in;
        TrimFinalCrLf(text);
        EXPECT_EQ(text, row.out);
    }
}

TEST(TrimTrailingBreaksAndBlanks, RemovesTheWholeTailOfThemAndNothingBefore) {
    const struct {
        const wchar_t* in;
        const wchar_t* out;
    } rows[] = {
        {L"Access denied. \r\n", L"Access denied."}, {L"a\n\r \n\r", L"a"}, {L" a b\tc", L" a b\tc"},
        {L"a\r\nb\t\r\n", L"a\r\nb\t"}, {L" \r\n", L""}, {L"", L""},
    };
    for (const auto& row : rows) {
        std::wstring text = row.in;
        TrimTrailingBreaksAndBlanks(text);
        EXPECT_EQ(text, row.out);
    }
}

}  // namespace
}  // namespace modFormatMsg
