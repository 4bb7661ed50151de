#include "eventlog/register_event_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "eventlog/format_msg.h"
#include "eventlog/registry_calls.h"
#include "platform/raised_error.h"
#include "platform/text.h"
#include "platform/handles.h"
#include "platform/win32.h"

// Reaches the private operations and the last-error record.
struct cRegisterEventSourceTestAccess {
    static std::optional<std::vector<std::wstring>> GetLogName(cRegisterEventSource& object) {
        return object.GetLogName();
    }
    static bool AddNameToList(cRegisterEventSource& object, std::wstring& list,
                              const std::wstring& name) {
        return object.AddNameToList(list, name);
    }
    static eventlog::Failure LastError(const cRegisterEventSource& object) {
        return {object.errorNumber_, object.errorSource_, object.errorDescription_};
    }
};

namespace {

using Access = cRegisterEventSourceTestAccess;
using namespace std::string_literals;

const std::wstring kLogsKey = L"System\\CurrentControlSet\\Services\\EventLog\\";
constexpr uint32_t kCreateOrDelete = 0x8004232C;
constexpr uint32_t kOpen = 0x8004232D;
constexpr uint32_t kSetValue = 0x8004232E;
constexpr uint32_t kSetTypes = 0x8004232F;
const std::wstring kSource = L"DidirUverev.RegisterEvntSource.RegisterEventSource";

// The registry is read back through the wide calls, independently of the code under test.
struct Value {
    bool exists = false;
    DWORD type = 0;
    std::vector<BYTE> data;
};

Value ReadValue(const std::wstring& keyPath, const wchar_t* name) {
    Value value;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return value;
    }
    DWORD size = 0;
    if (::RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        value.exists = ::RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(),
                                          &size) == ERROR_SUCCESS;
    }
    ::RegCloseKey(key);
    return value;
}

// REG_EXPAND_SZ holding exactly the text and its terminating NUL.
void ExpectExpandString(const std::wstring& keyPath, const wchar_t* name,
                        const std::wstring& text) {
    SCOPED_TRACE(name);
    const Value value = ReadValue(keyPath, name);
    ASSERT_TRUE(value.exists);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_EXPAND_SZ));
    const std::wstring withNul = text + L'\0';
    ASSERT_EQ(value.data.size(), withNul.size() * sizeof(wchar_t));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(value.data.data()), withNul.size()),
              withNul);
}

void ExpectDword(const std::wstring& keyPath, const wchar_t* name, DWORD expected) {
    SCOPED_TRACE(name);
    const Value value = ReadValue(keyPath, name);
    ASSERT_TRUE(value.exists);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD));
    ASSERT_EQ(value.data.size(), 4u);
    DWORD stored = 0;
    std::memcpy(&stored, value.data.data(), 4);
    EXPECT_EQ(stored, expected);
}

bool KeyExists(const std::wstring& keyPath) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(key);
    return true;
}

DWORD ValueCount(const std::wstring& keyPath) {
    HKEY key = nullptr;
    DWORD count = 0;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                           nullptr, nullptr, nullptr, nullptr);
        ::RegCloseKey(key);
    }
    return count;
}

void CreateKeyWithString(const std::wstring& keyPath, const wchar_t* name,
                         const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0, KEY_WRITE,
                                nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (name) {
        ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    ::RegCloseKey(key);
}

// Subkeys first: the call that deletes a whole tree came only with Vista.
void RemoveTree(const std::wstring& keyPath) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        const platform::UniqueHKey owner(key);
        wchar_t name[256];
        while (::RegEnumKeyW(key, 0, name, 256) == ERROR_SUCCESS) RemoveTree(keyPath + L"\\" + name);
    }
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, keyPath.c_str());
}

template <typename Call>
std::optional<platform::RaisedError> RaisedBy(Call call) {
    try {
        call();
    } catch (const platform::RaisedError& error) {
        return error;
    }
    return std::nullopt;
}

void ExpectRaised(const std::optional<platform::RaisedError>& raised, uint32_t number,
                  const std::wstring& source, const std::wstring& description) {
    ASSERT_TRUE(raised) << "nothing was raised";
    EXPECT_EQ(static_cast<uint32_t>(raised->Number()), number);
    EXPECT_EQ(raised->Source(), source);
    EXPECT_EQ(raised->Description(), description) << platform::ToUtf8(raised->Description());
}

void ExpectRecordHolds(const cRegisterEventSource& object, const platform::RaisedError& raised) {
    const eventlog::Failure record = Access::LastError(object);
    EXPECT_EQ(record.Number, raised.Number());
    EXPECT_EQ(record.Source, raised.Source());
    EXPECT_EQ(record.Description, raised.Description());
}

// Hands every call on to the registry and records it; a test sets a failure to produce.
struct RegistrySpy {
    const char* failValue = nullptr;       // RegSetValueExA of this value fails
    bool failOpen = false;                 // RegOpenKeyExA fails
    const char* redirectOpen = nullptr;    // RegOpenKeyExA opens this path instead
    DWORD failEnumAt = MAXDWORD;           // RegEnumKeyA fails at this index
    LONG failCode = ERROR_ACCESS_DENIED;

    std::string createClass = "(not called)";
    REGSAM createAccess = 0;
    DWORD createOptions = MAXDWORD;
    bool createSecurityZero = false;
    std::vector<std::string> openedPaths;
    std::vector<REGSAM> openAccess;
    std::vector<std::string> setNames;
    std::vector<DWORD> setTypes;
    std::vector<std::string> setData;  // the bytes as passed, as many as the size said
    int handlesOut = 0;
    int closes = 0;
    int flushes = 0;
    bool closedAfterFlush = false;
};
RegistrySpy g_spy;

LONG WINAPI SpyCreate(HKEY root, LPCSTR path, DWORD reserved, LPSTR keyClass, DWORD options,
                      REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY key,
                      LPDWORD disposition) {
    g_spy.createClass = keyClass ? keyClass : "(null)";
    g_spy.createAccess = access;
    g_spy.createOptions = options;
    g_spy.createSecurityZero = security && security->nLength == 0 &&
                               security->lpSecurityDescriptor == nullptr &&
                               security->bInheritHandle == FALSE;
    const LONG rc = ::RegCreateKeyExA(root, path, reserved, keyClass, options, access, security,
                                      key, disposition);
    if (rc == ERROR_SUCCESS) ++g_spy.handlesOut;
    return rc;
}

LONG WINAPI SpyOpen(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
    g_spy.openedPaths.push_back(path);
    g_spy.openAccess.push_back(access);
    if (g_spy.failOpen) return g_spy.failCode;
    const LONG rc =
        ::RegOpenKeyExA(root, g_spy.redirectOpen ? g_spy.redirectOpen : path, options, access, key);
    if (rc == ERROR_SUCCESS) ++g_spy.handlesOut;
    return rc;
}

LONG WINAPI SpySet(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                   DWORD size) {
    g_spy.setNames.push_back(name);
    g_spy.setTypes.push_back(type);
    g_spy.setData.emplace_back(reinterpret_cast<const char*>(data), size);
    if (g_spy.failValue && std::strcmp(name, g_spy.failValue) == 0) return g_spy.failCode;
    return ::RegSetValueExA(key, name, reserved, type, data, size);
}

LONG WINAPI SpyFlush(HKEY key) {
    ++g_spy.flushes;
    return ::RegFlushKey(key);
}

LONG WINAPI SpyClose(HKEY key) {
    ++g_spy.closes;
    g_spy.closedAfterFlush = g_spy.flushes > 0;
    return ::RegCloseKey(key);
}

LONG WINAPI SpyEnum(HKEY key, DWORD index, LPSTR name, DWORD capacity) {
    if (index == g_spy.failEnumAt) return g_spy.failCode;
    return ::RegEnumKeyA(key, index, name, capacity);
}

class RegisterEventSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::GetACP(), 936u)
            << "the tests run under the Chinese code page (scripts/test.sh)";
        log_ = L"QuorvaneTest-" + std::to_wstring(::GetCurrentProcessId());
        // Longer than 255 bytes in code page 936: 150 characters of two bytes each.
        longLog_ = log_ + L"-" + std::wstring(150, L'\x6E05');
        scratch_ = L"Software\\" + log_;
        scratchAnsi_ = platform::ToAnsi(scratch_);
        RemoveTree(LogKey());
        RemoveTree(kLogsKey + longLog_);
        RemoveTree(scratch_);
        g_spy = RegistrySpy{};
        spyCalls_.RegCreateKeyExA = &SpyCreate;
        spyCalls_.RegOpenKeyExA = &SpyOpen;
        spyCalls_.RegSetValueExA = &SpySet;
        spyCalls_.RegFlushKey = &SpyFlush;
        spyCalls_.RegCloseKey = &SpyClose;
        spyCalls_.RegEnumKeyA = &SpyEnum;
    }
    void TearDown() override {
        RemoveTree(LogKey());
        RemoveTree(kLogsKey + longLog_);
        RemoveTree(scratch_);
    }

    std::wstring LogKey() const { return kLogsKey + log_; }
    std::wstring SourceKey(const std::wstring& app) const { return LogKey() + L"\\" + app; }
    std::wstring Describe(const wchar_t* lead, const std::wstring& app, DWORD code) const {
        return lead + app + L", in the registry under " + kLogsKey + log_ +
               L".  The error was: " + modFormatMsg::SystemErrorText(static_cast<int32_t>(code));
    }

    std::wstring log_;
    std::wstring longLog_;
    std::wstring scratch_;  // a key of this test's own outside the event logs
    std::string scratchAnsi_;
    eventlog::RegistryCalls spyCalls_;
};

TEST_F(RegisterEventSourceTest, RegistersTheFourValuesUnderTheSourceKey) {
    cRegisterEventSource source;
    source.RegisterEventSource(L"QuorvaneMsg.dll", L"QuorvaneCat.dll", L"C:\\Quorvane", L"Quorvane",
                               log_, 3);

    const std::wstring key = SourceKey(L"Quorvane");
    ExpectExpandString(key, L"EventMessageFile", L"C:\\Quorvane\\QuorvaneMsg.dll");
    ExpectExpandString(key, L"CategoryMessageFile", L"C:\\Quorvane\\QuorvaneCat.dll");
    ExpectDword(key, L"CategoryCount", 3);
    ExpectDword(key, L"TypesSupported", 7);
    EXPECT_EQ(ValueCount(key), 4u);
}

TEST_F(RegisterEventSourceTest, CallsGoInTheirOrderWithTheirArguments) {
    cRegisterEventSource source(spyCalls_);
    source.RegisterEventSource(L"m.dll", L"c.dll", L"C:\\Q", L"Quorvane", log_, 1);

    EXPECT_EQ(g_spy.createClass, "");
    EXPECT_EQ(g_spy.createAccess, static_cast<REGSAM>(KEY_WRITE));
    EXPECT_EQ(g_spy.createOptions, 0u);
    EXPECT_TRUE(g_spy.createSecurityZero);
    EXPECT_EQ(g_spy.openedPaths,
              std::vector<std::string>{platform::ToAnsi(kLogsKey + log_ + L"\\Quorvane")});
    EXPECT_EQ(g_spy.openAccess, std::vector<REGSAM>{KEY_WRITE});
    EXPECT_EQ(g_spy.setNames, (std::vector<std::string>{"EventMessageFile", "CategoryMessageFile",
                                                        "CategoryCount", "TypesSupported"}));
    EXPECT_EQ(g_spy.setTypes,
              (std::vector<DWORD>{REG_EXPAND_SZ, REG_EXPAND_SZ, REG_DWORD, REG_DWORD}));
    // The registry would add a missing terminator itself; the size must count it anyway.
    EXPECT_EQ(g_spy.setData, (std::vector<std::string>{"C:\\Q\\m.dll\0"s, "C:\\Q\\c.dll\0"s,
                                                       "\x01\0\0\0"s, "\x07\0\0\0"s}));
    EXPECT_EQ(g_spy.flushes, 1);
    EXPECT_TRUE(g_spy.closedAfterFlush);
    EXPECT_EQ(g_spy.closes, g_spy.handlesOut);
    EXPECT_EQ(g_spy.handlesOut, 2) << "the key is created, closed, and opened again";
}

TEST_F(RegisterEventSourceTest, FilePathGivesTheDirectoryOfBothMessageFiles) {
    const struct {
        const wchar_t* path;
        const wchar_t* categoryFile;
        const wchar_t* eventMessageFile;
        const wchar_t* categoryMessageFile;
    } rows[] = {
        {L"C:\\Q", L"c.dll", L"C:\\Q\\m.dll", L"C:\\Q\\c.dll"},
        {L"C:\\Q\\", L"c.dll", L"C:\\Q\\m.dll", L"C:\\Q\\c.dll"},
        {L"  C:\\Q  ", L"c.dll", L"C:\\Q\\m.dll", L"C:\\Q\\c.dll"},
        {L"  C:\\Q\\  ", L"c.dll", L"  C:\\Q\\  m.dll", L"  C:\\Q\\  c.dll"},
        {L"", L"c.dll", L"\\m.dll", L"\\c.dll"},
        {L"C:\\Q", L"", L"C:\\Q\\m.dll", L"C:\\Q\\"},
    };
    cRegisterEventSource source;
    for (const auto& row : rows) {
        SCOPED_TRACE(platform::ToUtf8(std::wstring(L"path \"") + row.path + L"\""));
        source.RegisterEventSource(L"m.dll", row.categoryFile, row.path, L"Quorvane", log_, 0);
        ExpectExpandString(SourceKey(L"Quorvane"), L"EventMessageFile", row.eventMessageFile);
        ExpectExpandString(SourceKey(L"Quorvane"), L"CategoryMessageFile", row.categoryMessageFile);
    }
}

TEST_F(RegisterEventSourceTest, CategoryCountIsStoredAsItsUnsigned32BitForm) {
    cRegisterEventSource source;
    for (int32_t count : {-1, 0, INT32_MIN}) {
        source.RegisterEventSource(L"m.dll", L"c.dll", L"C:\\Q", L"Quorvane", log_, count);
        ExpectDword(SourceKey(L"Quorvane"), L"CategoryCount", static_cast<DWORD>(count));
    }
}

TEST_F(RegisterEventSourceTest, ExistingKeyIsOverwrittenAndItsOtherValuesStay) {
    CreateKeyWithString(SourceKey(L"Quorvane"), L"EventMessageFile", L"old.dll");
    CreateKeyWithString(SourceKey(L"Quorvane"), L"Other", L"kept");

    cRegisterEventSource source;
    source.RegisterEventSource(L"new.dll", L"c.dll", L"C:\\Q", L"Quorvane", log_, 2);

    ExpectExpandString(SourceKey(L"Quorvane"), L"EventMessageFile", L"C:\\Q\\new.dll");
    ExpectDword(SourceKey(L"Quorvane"), L"TypesSupported", 7);
    const Value other = ReadValue(SourceKey(L"Quorvane"), L"Other");
    ASSERT_TRUE(other.exists);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(other.data.data())), L"kept");
    EXPECT_EQ(ValueCount(SourceKey(L"Quorvane")), 5u);
}

TEST_F(RegisterEventSourceTest, NamesAndFilesTravelInTheAnsiCodePage) {
    const std::wstring app = L"\x6E05\x9664\x6A21\x5757";  // 清除模块
    cRegisterEventSource source;
    source.RegisterEventSource(L"\x6E05\x9664.dll", L"c.dll", L"C:\\\x6A21\x5757", app, log_, 1);
    ExpectExpandString(SourceKey(app), L"EventMessageFile", L"C:\\\x6A21\x5757\\\x6E05\x9664.dll");

    source.UnRegisterEventSource(app, log_);
    EXPECT_FALSE(KeyExists(SourceKey(app)));
}

TEST_F(RegisterEventSourceTest, TextTheCodePageCannotHoldReachesNoOtherKeyOrPath) {
    // Thai is not in code page 936: a lossy conversion would make the name "Q?".
    const std::wstring thai = L"Q\x0E01";
    cRegisterEventSource source;

    auto raised =
        RaisedBy([&] { source.RegisterEventSource(L"m.dll", L"", L"C:\\", thai, log_, 0); });
    ExpectRaised(raised, kCreateOrDelete, kSource,
                 Describe(L"Could not CREATE the key, ", thai, ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_FALSE(KeyExists(LogKey()));

    CreateKeyWithString(SourceKey(L"Q?"), nullptr, L"");
    raised = RaisedBy([&] { source.UnRegisterEventSource(thai, log_); });
    ExpectRaised(raised, kCreateOrDelete, kSource,
                 Describe(L"Could not DELETE the key, ", thai, ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_TRUE(KeyExists(SourceKey(L"Q?")));

    // A file name or folder is held against the code page before the key is created, so
    // the refusal leaves nothing behind; it raises what the value's write would raise.
    RemoveTree(LogKey());
    raised =
        RaisedBy([&] { source.RegisterEventSource(thai + L".dll", L"", L"C:\\", L"Q", log_, 0); });
    ExpectRaised(raised, kSetValue, kSource,
                 Describe(L"Could not SET the EventMessageFile value for the key, ", L"Q",
                          ERROR_NO_UNICODE_TRANSLATION));
    raised = RaisedBy([&] { source.RegisterEventSource(L"m.dll", L"c.dll", thai, L"Q", log_, 0); });
    ExpectRaised(raised, kSetValue, kSource,
                 Describe(L"Could not SET the EventMessageFile value for the key, ", L"Q",
                          ERROR_NO_UNICODE_TRANSLATION));
    raised = RaisedBy([&] { source.RegisterEventSource(L"m.dll", thai, L"C:\\", L"Q", log_, 0); });
    ExpectRaised(raised, kSetValue, kSource,
                 Describe(L"Could not SET the CategoryMessageFile value for the key, ", L"Q",
                          ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_FALSE(KeyExists(LogKey()));
}

TEST_F(RegisterEventSourceTest, CreateFailureOfThePlatformIsRaisedWithItsText) {
    // No registry takes a key name this long.
    const std::wstring app(300, L'a');
    HKEY key = nullptr;
    const LONG code = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, SourceKey(app).c_str(), 0, nullptr, 0,
                                        KEY_WRITE, nullptr, &key, nullptr);
    ASSERT_NE(code, ERROR_SUCCESS);

    cRegisterEventSource source;
    const auto raised =
        RaisedBy([&] { source.RegisterEventSource(L"m.dll", L"", L"C:\\", app, log_, 0); });
    ASSERT_TRUE(raised);
    EXPECT_EQ(static_cast<uint32_t>(raised->Number()), kCreateOrDelete);
    const std::wstring lead = L"Could not CREATE the key, " + app + L", in the registry under " +
                              kLogsKey + log_ + L".  The error was: ";
    ASSERT_EQ(raised->Description().substr(0, lead.size()), lead);
    EXPECT_FALSE(raised->Description().size() == lead.size()) << "the platform's text is missing";
    ExpectRecordHolds(source, *raised);
}

TEST_F(RegisterEventSourceTest, FailedValueWriteIsRaisedAfterTheKeyIsClosedAndEarlierValuesStay) {
    const struct {
        const char* failing;
        uint32_t number;
        const wchar_t* lead;
        std::vector<const wchar_t*> written;
    } rows[] = {
        {"EventMessageFile", kSetValue,
         L"Could not SET the EventMessageFile value for the key, ", {}},
        {"CategoryMessageFile", kSetValue,
         L"Could not SET the CategoryMessageFile value for the key, ", {L"EventMessageFile"}},
        {"CategoryCount", kSetValue, L"Could not SET the CategoryCount value for the key, ",
         {L"EventMessageFile", L"CategoryMessageFile"}},
        {"TypesSupported", kSetTypes, L"Could not SET the TypesSupported value for the key, ",
         {L"EventMessageFile", L"CategoryMessageFile", L"CategoryCount"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.failing);
        RemoveTree(LogKey());
        g_spy = RegistrySpy{};
        g_spy.failValue = row.failing;
        cRegisterEventSource source(spyCalls_);

        const auto raised = RaisedBy([&] {
            source.RegisterEventSource(L"m.dll", L"c.dll", L"C:\\Q", L"Quorvane", log_, 4);
        });
        ExpectRaised(raised, row.number, kSource,
                     Describe(row.lead, L"Quorvane", ERROR_ACCESS_DENIED));
        if (raised) ExpectRecordHolds(source, *raised);
        EXPECT_EQ(g_spy.setNames.back(), row.failing) << "nothing is written after the failure";
        EXPECT_EQ(g_spy.closes, g_spy.handlesOut);
        EXPECT_EQ(ValueCount(SourceKey(L"Quorvane")), row.written.size());
        for (const wchar_t* name : row.written) {
            EXPECT_TRUE(ReadValue(SourceKey(L"Quorvane"), name).exists) << platform::ToUtf8(name);
        }
    }
    ExpectExpandString(SourceKey(L"Quorvane"), L"EventMessageFile", L"C:\\Q\\m.dll");
    ExpectExpandString(SourceKey(L"Quorvane"), L"CategoryMessageFile", L"C:\\Q\\c.dll");
}

TEST_F(RegisterEventSourceTest, OpenFailureIsRaisedAndTheCreatedKeyStays) {
    g_spy.failOpen = true;
    cRegisterEventSource source(spyCalls_);
    const auto raised = RaisedBy([&] {
        source.RegisterEventSource(L"m.dll", L"c.dll", L"C:\\Q", L"Quorvane", log_, 0);
    });
    ExpectRaised(raised, kOpen, kSource,
                 Describe(L"Could not OPEN the key, ", L"Quorvane", ERROR_ACCESS_DENIED));
    EXPECT_TRUE(KeyExists(SourceKey(L"Quorvane")));
    EXPECT_TRUE(g_spy.setNames.empty());
    EXPECT_EQ(g_spy.closes, g_spy.handlesOut);
}

TEST_F(RegisterEventSourceTest, UnregisteringDeletesOnlyTheSourceKey) {
    cRegisterEventSource source;
    source.RegisterEventSource(L"m.dll", L"c.dll", L"C:\\Q", L"Quorvane", log_, 0);
    source.RegisterEventSource(L"m.dll", L"c.dll", L"C:\\Q", L"Sibling", log_, 0);

    source.UnRegisterEventSource(L"Quorvane", log_);
    EXPECT_FALSE(KeyExists(SourceKey(L"Quorvane")));
    EXPECT_TRUE(KeyExists(SourceKey(L"Sibling")));
}

TEST_F(RegisterEventSourceTest, UnregisteringAMissingSourceRaisesWithThePlatformsText) {
    cRegisterEventSource source;
    EXPECT_EQ(Access::LastError(source).Number, 0);
    EXPECT_EQ(Access::LastError(source).Source, L"");

    const auto raised = RaisedBy([&] { source.UnRegisterEventSource(L"Quorvane", log_); });
    ExpectRaised(raised, kCreateOrDelete, kSource,
                 Describe(L"Could not DELETE the key, ", L"Quorvane", ERROR_FILE_NOT_FOUND));
    ASSERT_TRUE(raised);
    EXPECT_FALSE(modFormatMsg::SystemErrorText(ERROR_FILE_NOT_FOUND).empty());
    ExpectRecordHolds(source, *raised);

    // The record keeps the latest failure through later successful calls.
    source.RegisterEventSource(L"m.dll", L"c.dll", L"C:\\Q", L"Quorvane", log_, 0);
    ExpectRecordHolds(source, *raised);
}

TEST_F(RegisterEventSourceTest, GetLogNameListsTheEventLogsThatExist) {
    // Windows always has the Application log. A Wine prefix loses its key when the package
    // test's uninstall empties it (Wine's installer removes emptied parent keys), so the
    // test makes sure of it rather than depend on the order of the tests.
    CreateKeyWithString(kLogsKey + L"Application", nullptr, L"");
    CreateKeyWithString(kLogsKey + longLog_, nullptr, L"");
    cRegisterEventSource source;
    source.RegisterEventSource(L"m.dll", L"c.dll", L"C:\\Q", L"Quorvane", log_, 0);

    auto names = Access::GetLogName(source);
    ASSERT_TRUE(names);
    auto has = [&](const std::wstring& name) {
        return std::count(names->begin(), names->end(), name) == 1;
    };
    EXPECT_TRUE(has(L"Application"));
    EXPECT_TRUE(has(log_));
    EXPECT_TRUE(has(longLog_));
    EXPECT_FALSE(has(L"Quorvane")) << "sources are not logs";

    RemoveTree(LogKey());
    names = Access::GetLogName(source);
    ASSERT_TRUE(names);
    EXPECT_FALSE(has(log_));
}

TEST_F(RegisterEventSourceTest, GetLogNameOfAKeyWithoutSubkeysIsAnEmptyList) {
    CreateKeyWithString(scratch_, L"NotALog", L"values are not listed");
    g_spy.redirectOpen = scratchAnsi_.c_str();
    cRegisterEventSource source(spyCalls_);

    const auto names = Access::GetLogName(source);
    ASSERT_TRUE(names) << "a list, not nothing";
    EXPECT_TRUE(names->empty());
    EXPECT_EQ(g_spy.openedPaths,
              std::vector<std::string>{"System\\CurrentControlSet\\Services\\EventLog"});
    EXPECT_EQ(g_spy.openAccess, std::vector<REGSAM>{KEY_READ});
    EXPECT_EQ(g_spy.closes, g_spy.handlesOut);
}

TEST_F(RegisterEventSourceTest, GetLogNameGivesNothingWhenTheKeyCannotBeOpened) {
    g_spy.redirectOpen = scratchAnsi_.c_str();  // removed in SetUp
    cRegisterEventSource source(spyCalls_);
    std::optional<std::vector<std::wstring>> names = std::vector<std::wstring>{L"sentinel"};
    EXPECT_FALSE(RaisedBy([&] { names = Access::GetLogName(source); }));
    EXPECT_FALSE(names);
    EXPECT_EQ(Access::LastError(source).Number, 0);
}

TEST_F(RegisterEventSourceTest, GetLogNameRaisesTheEnumerationsOwnErrorCode) {
    g_spy.failEnumAt = 1;
    cRegisterEventSource source(spyCalls_);
    // The registry calls leave the thread's last-error code alone; it names an old failure.
    ::SetLastError(ERROR_INVALID_HANDLE);

    const auto raised = RaisedBy([&] { Access::GetLogName(source); });
    ExpectRaised(raised, 0x80040005, L"DidirUverev.RegisterEvntSource.GetLogName",
                 L"Error retriving event log names, " +
                     modFormatMsg::SystemErrorText(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(raised);
    ExpectRecordHolds(source, *raised);
    EXPECT_EQ(g_spy.closes, g_spy.handlesOut);
}

TEST_F(RegisterEventSourceTest, AddNameToListComparesInThePlatformsUpperCase) {
    cRegisterEventSource source;
    std::wstring list = L"A\0B\0\0"s;
    EXPECT_FALSE(Access::AddNameToList(source, list, L" b "));
    EXPECT_EQ(list, L"A\0B\0\0"s);
    EXPECT_TRUE(Access::AddNameToList(source, list, L"C"));
    EXPECT_EQ(list, L"A\0B\0C\0\0"s);

    std::wstring accented = L"\xC9v\xE9nement\0\0"s;  // Événement
    EXPECT_FALSE(Access::AddNameToList(source, accented, L" \xE9v\xE9nement "));
    EXPECT_EQ(accented, L"\xC9v\xE9nement\0\0"s);
}

}  // namespace
