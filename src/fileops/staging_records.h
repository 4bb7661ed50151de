#pragma once
// The records the service keeps in its staging folder, as UTF-16 text a person can read
// in any editor: a byte-order mark, then one field a line, each ended by CR LF. Free of the
// Windows API, so that reading and writing them is tested on the host.
#include <cstdint>
#include <string>
#include <string_view>

namespace fileops {

// Beside each staged file "NAME.staged": "NAME.path", written and flushed before the file
// is renamed there, so that a staged file is never without its record.
struct StagedRecord {
    std::wstring listedPath;  // where the file was: "X:\dir\name"
    uint32_t attributes = 0;  // its attributes there
    bool numberKnown = false; // records of earlier versions carry no number
    uint64_t number = 0;      // the file's number, which a rename keeps
    std::wstring stagedName;  // "NAME.staged"
    // Not the file that was checked: what a rename by path brought in its place, kept
    // until it is put back by hand, never deleted by the sweep.
    bool foreign = false;
};
std::wstring StagedRecordText(const StagedRecord& record);
bool ParseStagedRecord(std::wstring_view text, StagedRecord& record);

// "NAME.carried": a listed file left for the service's next start, since no request by
// its path could be made safely; `reason` is the error that kept it from being deleted.
struct CarriedRecord {
    std::wstring listedPath;
    uint32_t reason = 0;
};
std::wstring CarriedRecordText(const CarriedRecord& record);
bool ParseCarriedRecord(std::wstring_view text, CarriedRecord& record);

// "NAME.request": a delete at restart requested by the listed path itself, taken back
// when a later start finds the file deleted or gone.
std::wstring PathRequestText(const std::wstring& listedPath);
bool ParsePathRequest(std::wstring_view text, std::wstring& listedPath);

// The service's start type as it was found before the service set it to start with the
// system for a carried entry, and whether it was a delayed one.
struct StartTypeRecord {
    uint32_t startType = 0;
    bool delayed = false;
};
std::wstring StartTypeRecordText(const StartTypeRecord& record);
bool ParseStartTypeRecord(std::wstring_view text, StartTypeRecord& record);

}  // namespace fileops
