#include "eventlog/format_msg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "eventlog/format_msg_calls.h"
#include "platform/handles.h"
#include "platform/text.h"
#include "platform/win32.h"

namespace modFormatMsg {
namespace {

constexpr DWORD kFromModule = 0x1A00;
constexpr DWORD kFromSystem = 0x1200;

// What the platform itself gives, with a roomy buffer; the tests run under code page 936,
// where the texts are Chinese, so this is the measure rather than English literals.
std::wstring PlatformText(DWORD flags, HMODULE module, int32_t code) {
    char buffer[4096] = {};
    ::FormatMessageA(flags, module, static_cast<DWORD>(code), 0, buffer, sizeof buffer, nullptr);
    return platform::FromAnsi(buffer);
}

// Records every call and hands it on to the platform, unless a test sets a fake text.
struct Recorder {
    std::vector<std::string> loadedNames;
    std::vector<DWORD> loadFlags;
    HMODULE loaded = nullptr;
    HMODULE fakeModule = nullptr;  // returned instead of loading, when set
    int formatCalls = 0;
    DWORD formatFlags = 0;
    LPCVOID formatSource = nullptr;
    DWORD messageId = 0;
    DWORD languageId = 0xFFFF;
    DWORD bufferSize = 0;
    bool bufferAllNul = false;
    bool argumentsNull = false;
    const char* fakeText = nullptr;  // written instead of the platform's text, when set
    size_t fakeLength = 0;
    std::vector<HMODULE> freed;
    bool freedBeforeFormat = false;
};
Recorder g_recorder;

HMODULE WINAPI RecordLoad(LPCSTR name, HANDLE file, DWORD flags) {
    g_recorder.loadedNames.push_back(name);
    g_recorder.loadFlags.push_back(flags);
    g_recorder.loaded = g_recorder.fakeModule ? g_recorder.fakeModule
                                              : ::LoadLibraryExA(name, file, flags);
    return g_recorder.loaded;
}

DWORD WINAPI RecordFormat(DWORD flags, LPCVOID source, DWORD id, DWORD language, LPSTR buffer,
                          DWORD size, va_list* arguments) {
    Recorder& r = g_recorder;
    ++r.formatCalls;
    r.formatFlags = flags;
    r.formatSource = source;
    r.messageId = id;
    r.languageId = language;
    r.bufferSize = size;
    r.argumentsNull = arguments == nullptr;
    r.bufferAllNul = true;
    for (DWORD i = 0; i < size; ++i) r.bufferAllNul = r.bufferAllNul && buffer[i] == '\0';
    if (r.fakeText) {
        std::memcpy(buffer, r.fakeText, r.fakeLength);
        return static_cast<DWORD>(r.fakeLength);
    }
    if (r.fakeModule) return 0;
    return ::FormatMessageA(flags, source, id, language, buffer, size, arguments);
}

BOOL WINAPI RecordFree(HMODULE module) {
    g_recorder.freed.push_back(module);
    if (g_recorder.formatCalls == 0) g_recorder.freedBeforeFormat = true;
    return module == g_recorder.fakeModule ? TRUE : ::FreeLibrary(module);
}

class SystemErrorTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::GetACP(), 936u)
            << "the tests run under the Chinese code page (scripts/test.sh)";
        g_recorder = Recorder{};
        calls_.LoadLibraryExA = &RecordLoad;
        calls_.FormatMessageA = &RecordFormat;
        calls_.FreeLibrary = &RecordFree;
    }

    std::wstring Fake(const char* text, size_t length) {
        g_recorder.fakeText = text;
        g_recorder.fakeLength = length;
        return SystemErrorText(5, calls_);
    }
    std::wstring Fake(const char* text) { return Fake(text, std::strlen(text) + 1); }

    MessageCalls calls_;
};

TEST_F(SystemErrorTextTest, EachCodeRangeReachesItsMessageSource) {
    const struct {
        int32_t code;
        const char* file;  // null: the system table
    } rows[] = {
        {2099, nullptr},        {2100, "netmsg.dll"},  {2999, "netmsg.dll"},
        {3000, nullptr},        {11999, nullptr},      {12000, "Wininet.dll"},
        {12002, "Wininet.dll"}, {12171, "Wininet.dll"}, {12172, nullptr},
        {-1, nullptr},          {static_cast<int32_t>(0x80070005u), nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.code);
        g_recorder = Recorder{};
        const std::wstring text = SystemErrorText(row.code, calls_);
        const Recorder& r = g_recorder;

        if (row.file) {
            ASSERT_EQ(r.loadedNames, std::vector<std::string>{row.file});
            EXPECT_EQ(r.loadFlags, std::vector<DWORD>{LOAD_LIBRARY_AS_DATAFILE});
            if (!r.loaded) {
                EXPECT_EQ(r.formatCalls, 0) << "no message file, no lookup anywhere else";
                EXPECT_TRUE(text.empty());
                EXPECT_TRUE(r.freed.empty());
                continue;
            }
            EXPECT_EQ(r.formatFlags, kFromModule);
            EXPECT_EQ(r.formatSource, r.loaded);
            EXPECT_EQ(r.freed, std::vector<HMODULE>{r.loaded});
            EXPECT_FALSE(r.freedBeforeFormat);
        } else {
            EXPECT_TRUE(r.loadedNames.empty());
            EXPECT_EQ(r.formatFlags, kFromSystem);
            EXPECT_EQ(r.formatSource, nullptr);
            EXPECT_TRUE(r.freed.empty());
        }
        EXPECT_EQ(r.formatCalls, 1);
        EXPECT_EQ(r.messageId, static_cast<DWORD>(row.code));
        EXPECT_EQ(r.languageId, 0u);
        EXPECT_EQ(r.bufferSize, 256u);
        EXPECT_TRUE(r.bufferAllNul);
        EXPECT_TRUE(r.argumentsNull);
    }
}

TEST_F(SystemErrorTextTest, SystemCodesGiveThePlatformTextLessItsFinalCrLf) {
    for (int32_t code : {2, 5, 87, static_cast<int32_t>(0x80070005u)}) {
        SCOPED_TRACE(code);
        const std::wstring platformText = PlatformText(kFromSystem, nullptr, code);
        ASSERT_GT(platformText.size(), 2u);
        ASSERT_EQ(platformText.substr(platformText.size() - 2), L"\r\n");
        EXPECT_EQ(SystemErrorText(code), platformText.substr(0, platformText.size() - 2));
    }
}

TEST_F(SystemErrorTextTest, InternetCodeIsFoundInWininetWhereTheSystemTableHasNothing) {
    platform::UniqueModule wininet(
        ::LoadLibraryExA("Wininet.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(wininet);
    const std::wstring fromWininet = PlatformText(kFromModule, wininet.get(), 12002);
    ASSERT_FALSE(fromWininet.empty());
    ASSERT_TRUE(PlatformText(kFromSystem, nullptr, 12002).empty());

    const std::wstring text = SystemErrorText(12002);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text + L"\r\n", fromWininet);
}

TEST_F(SystemErrorTextTest, NetworkCodeIsEmptyWhenNetmsgIsMissingThoughTheSystemKnowsIt) {
    platform::UniqueModule netmsg(
        ::LoadLibraryExA("netmsg.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (netmsg) GTEST_SKIP() << "this platform has netmsg.dll";
    // Wine's own system table holds 2250 (the network connection could not be found).
    ASSERT_FALSE(PlatformText(kFromSystem, nullptr, 2250).empty());
    EXPECT_EQ(SystemErrorText(2250), L"");
    EXPECT_EQ(SystemErrorText(2100), L"");
}

TEST_F(SystemErrorTextTest, CodeWithoutMessageGivesEmptyText) {
    // The customer bit (0x20000000) marks codes that no system component defines.
    for (int32_t code : {-1, 0x20000001, 12000}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(SystemErrorText(code), L"");
    }
}

TEST_F(SystemErrorTextTest, InsertSequenceStaysUnexpanded) {
    // ERROR_BAD_EXE_FORMAT: "%1 is not a valid Win32 application."
    const std::wstring text = SystemErrorText(193);
    EXPECT_NE(text.find(L"%1"), std::wstring::npos) << platform::ToUtf8(text);
    EXPECT_EQ(text + L"\r\n", PlatformText(kFromSystem, nullptr, 193));
}

TEST_F(SystemErrorTextTest, OnlyOneFinalCrLfIsTrimmed) {
    EXPECT_EQ(Fake("one\r\n"), L"one");
    EXPECT_EQ(Fake("two\r\n\r\n"), L"two\r\n");
    EXPECT_EQ(Fake("lone\n"), L"lone\n");
    EXPECT_EQ(Fake("blank \r\n"), L"blank ");
}

TEST_F(SystemErrorTextTest, TextIsReadInTheAnsiCodePageUpToTheFirstNul) {
    // GBK: 访 B7C3, 问 CECA, 。A1A3
    EXPECT_EQ(Fake("\xB7\xC3\xCE\xCA\xA1\xA3\r\n"), L"\x8BBF\x95EE\x3002");
    EXPECT_EQ(Fake("cut\0hidden\r\n", 13), L"cut");
}

TEST_F(SystemErrorTextTest, MessageFillingTheWholeBufferIsKeptToTheBuffersEnd) {
    const std::string full(256, 'x');
    EXPECT_EQ(Fake(full.data(), full.size()), std::wstring(256, L'x'));
}

TEST_F(SystemErrorTextTest, MessageFileIsReleasedAfterTheLookupAlsoWithoutMessage) {
    g_recorder.fakeModule = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x4000));
    EXPECT_EQ(SystemErrorText(12100, calls_), L"");
    EXPECT_EQ(g_recorder.formatCalls, 1);
    EXPECT_EQ(g_recorder.freed, std::vector<HMODULE>{g_recorder.fakeModule});
    EXPECT_FALSE(g_recorder.freedBeforeFormat);
}

}  // namespace
}  // namespace modFormatMsg
