#include "eventlog/register_event_source.h"

#include <cstring>
#include <string_view>
#include <utility>

#include "eventlog/format_msg.h"
#include "eventlog/registry_calls.h"
#include "platform/handles.h"
#include "platform/raised_error.h"
#include "platform/text.h"

using eventlog::RegistrationStep;
using eventlog::RegistryCalls;

namespace {

constexpr DWORD kTypesSupported =
    EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

// A key name is at most 255 characters, which in a multi-byte ANSI code page takes up to
// three bytes each; a smaller buffer would fail the whole listing over one long name.
constexpr DWORD kLogNameCapacity = 1024;

const RegistryCalls& RealRegistry() {
    static const RegistryCalls calls;
    return calls;
}

// Closed through the same table that opened it.
using OpenKey = platform::UniqueClosedBy<HKEY, LONG>;

// The exact ANSI form of a key path. A character the code page cannot hold would become
// '?', and a NUL would cut the path short: either way the call would reach another key.
LONG ToAnsiKeyPath(const std::wstring& path, std::string& ansi) {
    if (path.find(L'\0') != std::wstring::npos) return ERROR_INVALID_NAME;
    std::optional<std::string> exact = platform::ToAnsiExact(path);
    if (!exact) return ERROR_NO_UNICODE_TRANSLATION;
    ansi = std::move(*exact);
    return ERROR_SUCCESS;
}

// String data goes in as ANSI with its terminating NUL counted.
LONG SetExpandString(const RegistryCalls& calls, HKEY key, const char* valueName,
                     const std::string& ansi) {
    return calls.RegSetValueExA(key, valueName, 0, REG_EXPAND_SZ,
                                reinterpret_cast<const BYTE*>(ansi.c_str()),
                                static_cast<DWORD>(ansi.size() + 1));
}

LONG SetDword(const RegistryCalls& calls, HKEY key, const char* valueName, DWORD value) {
    return calls.RegSetValueExA(key, valueName, 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&value), sizeof value);
}

eventlog::Failure StepFailure(RegistrationStep step, const std::wstring& appName,
                              const std::wstring& logName, LONG code) {
    return eventlog::RegistrationFailure(step, appName, logName,
                                         modFormatMsg::SystemErrorText(code));
}

std::wstring PlatformUpperCase(std::wstring_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int needed =
        ::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.data(), length, nullptr, 0);
    if (needed <= 0) return std::wstring(text);
    std::wstring upper(static_cast<size_t>(needed), L'\0');
    ::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.data(), length, upper.data(), needed);
    return upper;
}

}  // namespace

cRegisterEventSource::cRegisterEventSource() : calls_(&RealRegistry()) {}

cRegisterEventSource::cRegisterEventSource(const RegistryCalls& calls) : calls_(&calls) {}

void cRegisterEventSource::UnRegisterEventSource(const std::wstring& xi_strAppName,
                                                 const std::wstring& xi_strLogName) {
    std::string keyPath;
    LONG rc = ToAnsiKeyPath(eventlog::SourceKeyPath(xi_strLogName, xi_strAppName), keyPath);
    if (rc == ERROR_SUCCESS) rc = calls_->RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath.c_str());
    if (rc != ERROR_SUCCESS) {
        Raise(StepFailure(RegistrationStep::Delete, xi_strAppName, xi_strLogName, rc));
    }
}

void cRegisterEventSource::RegisterEventSource(const std::wstring& xi_strMessageFile,
                                               const std::wstring& xi_strCategoryFile,
                                               const std::wstring& xi_strFilePath,
                                               const std::wstring& xi_strAppName,
                                               const std::wstring& xi_strLogName,
                                               int32_t xi_lngNumCategories) {
    const RegistryCalls& calls = *calls_;
    const auto fail = [&](RegistrationStep step, LONG code) {
        return StepFailure(step, xi_strAppName, xi_strLogName, code);
    };

    // Every text is held against the code page before anything is created, so that a
    // refused registration leaves no key behind. A text that fails raises what its own
    // step raises: the key's create for the names, the value's write for a file name.
    std::string keyPath;
    LONG rc = ToAnsiKeyPath(eventlog::SourceKeyPath(xi_strLogName, xi_strAppName), keyPath);
    if (rc != ERROR_SUCCESS) Raise(fail(RegistrationStep::Create, rc));
    // A path the code page cannot hold is refused rather than stored with '?' in it.
    const std::wstring directory = eventlog::MessageFileDirectory(xi_strFilePath);
    const std::optional<std::string> eventMessageFile = platform::ToAnsiExact(directory + xi_strMessageFile);
    if (!eventMessageFile) {
        Raise(fail(RegistrationStep::SetEventMessageFile, ERROR_NO_UNICODE_TRANSLATION));
    }
    const std::optional<std::string> categoryMessageFile =
        platform::ToAnsiExact(directory + xi_strCategoryFile);
    if (!categoryMessageFile) {
        Raise(fail(RegistrationStep::SetCategoryMessageFile, ERROR_NO_UNICODE_TRANSLATION));
    }

    // An existing key is simply opened. The handle is only for the creation; the values
    // are written through a second open.
    char noClass[] = "";
    SECURITY_ATTRIBUTES security = {};
    HKEY created = nullptr;
    DWORD disposition = 0;
    rc = calls.RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, noClass,
                               REG_OPTION_NON_VOLATILE, KEY_WRITE, &security, &created,
                               &disposition);
    if (rc != ERROR_SUCCESS) Raise(fail(RegistrationStep::Create, rc));
    calls.RegCloseKey(created);

    HKEY opened = nullptr;
    rc = calls.RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_WRITE, &opened);
    if (rc != ERROR_SUCCESS) Raise(fail(RegistrationStep::Open, rc));
    const OpenKey key(opened, calls.RegCloseKey);

    rc = SetExpandString(calls, key.get(), "EventMessageFile", *eventMessageFile);
    if (rc != ERROR_SUCCESS) Raise(fail(RegistrationStep::SetEventMessageFile, rc));
    rc = SetExpandString(calls, key.get(), "CategoryMessageFile", *categoryMessageFile);
    if (rc != ERROR_SUCCESS) Raise(fail(RegistrationStep::SetCategoryMessageFile, rc));
    rc = SetDword(calls, key.get(), "CategoryCount", static_cast<DWORD>(xi_lngNumCategories));
    if (rc != ERROR_SUCCESS) Raise(fail(RegistrationStep::SetCategoryCount, rc));
    rc = SetDword(calls, key.get(), "TypesSupported", kTypesSupported);
    if (rc != ERROR_SUCCESS) Raise(fail(RegistrationStep::SetTypesSupported, rc));

    calls.RegFlushKey(key.get());
}

std::optional<std::vector<std::wstring>> cRegisterEventSource::GetLogName() {
    const RegistryCalls& calls = *calls_;
    const std::string logsKey = platform::ToAnsi(eventlog::kEventLogKey);
    HKEY opened = nullptr;
    if (calls.RegOpenKeyExA(HKEY_LOCAL_MACHINE, logsKey.c_str(), 0, KEY_READ, &opened) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    const OpenKey key(opened, calls.RegCloseKey);

    std::vector<std::wstring> names;
    for (DWORD index = 0;; ++index) {
        char name[kLogNameCapacity] = {};
        const LONG rc = calls.RegEnumKeyA(key.get(), index, name, kLogNameCapacity);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        // The failing call's own result is its error code: the registry calls do not set
        // the thread's last-error code, which would name some earlier failure.
        if (rc != ERROR_SUCCESS) {
            Raise(eventlog::LogNameFailure(rc, modFormatMsg::SystemErrorText(rc)));
        }
        const void* nul = std::memchr(name, '\0', sizeof name);
        const size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - name)
                                  : sizeof name;
        names.push_back(platform::FromAnsi(std::string_view(name, length)));
    }
    return names;
}

bool cRegisterEventSource::AddNameToList(std::wstring& list, const std::wstring& name) {
    return eventlog::AddNameToList(list, name, &PlatformUpperCase);
}

void cRegisterEventSource::Raise(eventlog::Failure failure) {
    errorNumber_ = failure.Number;
    errorSource_ = std::move(failure.Source);
    errorDescription_ = std::move(failure.Description);
    throw platform::RaisedError(errorNumber_, errorSource_, errorDescription_);
}
