// The message table in QuorvaneService.exe: every event the service reports formats from
// the executable, as Event Viewer formats it, in English and in Simplified Chinese.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "eventlog/run_report_events.h"
#include "platform/handles.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "support/test_files.h"

#include "events.h"  // written by windmc from src/eventlog/events.mc

namespace modRunReport {
namespace {

static_assert(QUORVANE_EVENT_RUN_CLEAN == kEventRunClean, "events.mc and the report agree");
static_assert(QUORVANE_EVENT_RUN_TROUBLED == kEventRunTroubled, "events.mc and the report agree");
static_assert(QUORVANE_EVENT_RUN_NOT_ACTED == kEventRunNotActed, "events.mc and the report agree");
static_assert(QUORVANE_EVENT_REFUSED == kEventRefused, "events.mc and the report agree");
static_assert(QUORVANE_EVENT_MORE_REFUSED == kEventMoreRefused, "events.mc and the report agree");

bool HasChinese(const std::wstring& text) {
    for (const wchar_t c : text) {
        if (c >= 0x4E00 && c <= 0x9FFF) return true;
    }
    return false;
}

bool IsAscii(const std::wstring& text) {
    for (const wchar_t c : text) {
        if (c > 0x7E && c != L'\r' && c != L'\n') return false;
    }
    return true;
}

TEST(MessageTable, EveryEventFormatsInEnglishAndChineseWithItsInserts) {
    const std::wstring exe = testing_support::BinDir() + L"QuorvaneService.exe";
    const platform::UniqueModule module(::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module) << ::GetLastError();

    // The inserts each text shows; the others stay in the event's data for scripts.
    const struct {
        uint32_t id;
        int inserts;
        std::set<int> shown;
    } events[] = {
        {kEventRunClean, 10, {1, 2, 3, 4, 5, 6, 7, 10}},
        {kEventRunTroubled, 10, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {kEventRunNotActed, 13, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}},
        {kEventRefused, 3, {1, 2, 3}},
        {kEventMoreRefused, 3, {1, 2, 3}},
    };
    for (const auto& event : events) {
        std::vector<std::wstring> inserts;
        for (int i = 1; i <= event.inserts; ++i) inserts.push_back(L"<insert " + std::to_wstring(i) + L">");
        std::vector<DWORD_PTR> arguments;
        for (const std::wstring& insert : inserts) {
            arguments.push_back(reinterpret_cast<DWORD_PTR>(insert.c_str()));
        }

        for (const WORD language : {WORD{0x0409}, WORD{0x0804}}) {
            SCOPED_TRACE(testing::Message() << std::hex << event.id << " in " << language);
            wchar_t buffer[4096] = {};
            const DWORD length = ::FormatMessageW(
                FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module.get(), event.id, language,
                buffer, 4096, reinterpret_cast<va_list*>(arguments.data()));
            ASSERT_GT(length, 0u) << ::GetLastError();
            const std::wstring text(buffer, length);
            for (int i = 1; i <= event.inserts; ++i) {
                const bool shown = text.find(inserts[i - 1]) != std::wstring::npos;
                EXPECT_EQ(shown, event.shown.count(i) != 0) << "insert " << i << ":\n" << platform::ToUtf8(text);
            }
            EXPECT_EQ(text.find(L'%'), std::wstring::npos) << "an insert left unsubstituted";
            if (language == 0x0804) {
                EXPECT_TRUE(HasChinese(text)) << platform::ToUtf8(text);
            } else {
                EXPECT_TRUE(IsAscii(text)) << platform::ToUtf8(text);
            }
        }
    }
}

}  // namespace
}  // namespace modRunReport
