#pragma once
// Splits an activity log, as bytes, into its entries.
#include <string>
#include <vector>

namespace testing_support {

struct LogEntryBytes {
    std::string dateTime;   // before the TAB
    std::string errorPart;  // "line:number:description"
    std::string message;    // as passed to WriteLog, in ANSI bytes
};

// A header line holds a TAB; the message runs from after it to the CR LF that precedes
// the next header line (or the end). Messages written by the system hold no TAB.
std::vector<LogEntryBytes> ParseLog(const std::string& bytes);

std::vector<std::string> Messages(const std::vector<LogEntryBytes>& entries);

}  // namespace testing_support
