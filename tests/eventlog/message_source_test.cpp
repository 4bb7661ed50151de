#include "eventlog/message_source.h"

#include <gtest/gtest.h>

#include <climits>

namespace modFormatMsg {
namespace {

TEST(MessageSourceFor, RangesIncludeBothEndsAndEverythingElseIsTheSystemTable) {
    const struct {
        int32_t code;
        MessageSource source;
    } rows[] = {
        {2099, MessageSource::System},
        {2100, MessageSource::NetworkManagement},
        {2999, MessageSource::NetworkManagement},
        {3000, MessageSource::System},
        {11999, MessageSource::System},
        {12000, MessageSource::Internet},
        {12171, MessageSource::Internet},
        {12172, MessageSource::System},
        {0, MessageSource::System},
        {-1, MessageSource::System},
        {static_cast<int32_t>(0x80070005u), MessageSource::System},
        {INT32_MIN, MessageSource::System},
        {INT32_MAX, MessageSource::System},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(MessageSourceFor(row.code), row.source) << row.code;
    }
}

TEST(MessageFileName, NamesTheFileOfEachMessageTable) {
    EXPECT_STREQ(MessageFileName(MessageSource::NetworkManagement), "netmsg.dll");
    EXPECT_STREQ(MessageFileName(MessageSource::Internet), "Wininet.dll");
    EXPECT_EQ(MessageFileName(MessageSource::System), nullptr);
}

TEST(TrimFinalCrLf, RemovesOnePairAndNothingElse) {
    const struct {
        const wchar_t* in;
        const wchar_t* out;
    } rows[] = {
        {L"Access denied.\r\n", L"Access denied."},
        {L"two\r\n\r\n", L"two\r\n"},
        {L"lone\n", L"lone\n"},
        {L"lone\r", L"lone\r"},
        {L"reversed\n\r", L"reversed\n\r"},
        {L"blank after \r\n", L"blank after "},
        {L"\r\n", L""},
        {L"\n", L"\n"},
        {L"", L""},
        {L"no end.", L"no end."},
    };
    for (const auto& row : rows) {
        std::wstring text = row.in;
        TrimFinalCrLf(text);
        EXPECT_EQ(text, row.out);
    }
}

}  // namespace
}  // namespace modFormatMsg
