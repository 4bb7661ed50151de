#pragma once
// Registers an application as an event source of a Windows event log, and unregisters it,
// by writing or deleting the source's key under HKEY_LOCAL_MACHINE. Every failure is
// raised as platform::RaisedError with its number, source and description.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "eventlog/event_source_rules.h"

namespace eventlog {
struct RegistryCalls;  // registry_calls.h
}

class cRegisterEventSource {
public:
    cRegisterEventSource();
    // Through the given registry calls; the table must outlive the object.
    explicit cRegisterEventSource(const eventlog::RegistryCalls& calls);

    // Deletes the key of the source xi_strAppName under the log xi_strLogName.
    void UnRegisterEventSource(const std::wstring& xi_strAppName,
                               const std::wstring& xi_strLogName);

    // Creates the source's key (or opens the existing one) and writes EventMessageFile,
    // CategoryMessageFile, CategoryCount and TypesSupported, in that order. What was
    // written before a failure stays; a name or file name that the ANSI code page cannot
    // hold is refused before anything is created.
    void RegisterEventSource(const std::wstring& xi_strMessageFile,
                             const std::wstring& xi_strCategoryFile,
                             const std::wstring& xi_strFilePath,
                             const std::wstring& xi_strAppName,
                             const std::wstring& xi_strLogName, int32_t xi_lngNumCategories);

private:
    friend struct cRegisterEventSourceTestAccess;  // tests only

    // The names of the event logs; nothing when their key cannot be opened.
    std::optional<std::vector<std::wstring>> GetLogName();

    // See eventlog::AddNameToList; names compare in the platform's upper case.
    bool AddNameToList(std::wstring& list, const std::wstring& name);

    // Fills the last-error record and raises it.
    [[noreturn]] void Raise(eventlog::Failure failure);

    const eventlog::RegistryCalls* calls_;

    // The latest raised failure.
    int32_t errorNumber_ = 0;
    std::wstring errorSource_;
    std::wstring errorDescription_;
};
