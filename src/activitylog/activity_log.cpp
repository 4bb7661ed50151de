#include "activitylog/activity_log.h"

#include <cstring>
#include <exception>

#include "ownfiles/own_file.h"
#include "platform/handles.h"
#include "platform/long_path.h"
#include "platform/nt_file.h"
#include "platform/text.h"
#include "platform/win32.h"

namespace basQuorvaneService {

bool DebugMode = false;
ErrorRecord CurrentError;

void RecordError(int32_t number, std::wstring description) {
    CurrentError.Line = 0;
    CurrentError.Number = number;
    CurrentError.Description = std::move(description);
}

void ClearError() { CurrentError = ErrorRecord{}; }

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);  // truncated: a long path
    }
}

std::wstring AppDir() { return DirectoryOf(ModulePath()); }

namespace {

std::wstring LogFileName() { return BaseNameOf(ModulePath()) + L"Log.txt"; }

}  // namespace

std::wstring LogFilePath() {
    // The executable does not move while it runs. Beside a deep folder the log is still
    // reached, through the long form of its path.
    static const std::wstring path = platform::ExtendedPath(AppDir() + LogFileName());
    return path;
}

namespace {

// Where the log must be found: its folder's final path and its name. Read once; a folder
// that cannot be read now is asked again at the next entry.
const std::wstring* ExpectedLogPath() {
    static std::wstring expected;
    if (expected.empty()) {
        std::wstring folder;
        if (ownfiles::FinalFolderPath(AppDir(), folder) != 0) return nullptr;
        if (folder.back() != L'\\') folder += L'\\';
        expected = folder + LogFileName();
    }
    return &expected;
}

}  // namespace

// A pass writes thousands of entries a second; the text changes only with the second.
const std::wstring& CurrentDateTimeText() {
    static std::wstring text;
    static SYSTEMTIME formattedFor = {};
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    now.wMilliseconds = 0;
    if (!text.empty() && std::memcmp(&now, &formattedFor, sizeof(now)) == 0) return text;

    wchar_t date[128] = {};
    wchar_t time[128] = {};
    ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 128);
    ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, 128);
    const bool midnight = now.wHour == 0 && now.wMinute == 0 && now.wSecond == 0;
    text = JoinDateTime(date, time, midnight);
    formattedFor = now;
    return text;
}

bool WriteLog(std::wstring_view message, bool always) noexcept {
    if (!DebugMode && !always) return false;

    try {
        const std::string bytes =
            platform::ToAnsi(FormatLogEntry(CurrentDateTimeText(), CurrentError, message));
        const std::wstring* expected = ExpectedLogPath();
        if (!expected) return false;
        // Others may read the log between entries, and so may a second writer append. A link
        // at the log's name, or a second name of another file, gets nothing: the service
        // would append its entries, the listed paths among them, to whatever it leads to.
        // The log's final path is read at its first open of the run; a later entry that
        // reaches the same file, by number, with one name, needs no second reading.
        static ownfiles::KnownOwnFile known;
        const ownfiles::OwnFile file = ownfiles::OpenOrCreateOwnFile(LogFilePath(), *expected, FILE_APPEND_DATA,
                                                                   FILE_SHARE_READ | FILE_SHARE_WRITE, &known);
        if (file.state != ownfiles::OwnState::Opened) return false;
        DWORD written = 0;
        return platform::NativeCalls().WriteFile(file.handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                           nullptr) &&
               written == bytes.size();
    } catch (const std::exception&) {
        // The text or the path could not be allocated: the entry is lost like an unwritable one.
        return false;
    }
}

}  // namespace basQuorvaneService
