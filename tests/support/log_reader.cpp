#include "support/log_reader.h"

namespace testing_support {

std::vector<LogEntryBytes> ParseLog(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start));
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }

    std::vector<LogEntryBytes> entries;
    for (const std::string& line : lines) {
        const size_t tab = line.find('\t');
        if (tab != std::string::npos) {
            entries.push_back({line.substr(0, tab), line.substr(tab + 1), {}});
            entries.back().message = "\x01";  // no message line yet
        } else if (!entries.empty()) {
            std::string& message = entries.back().message;
            if (message == "\x01") {
                message = line;
            } else {
                message += "\r\n" + line;
            }
        }
    }
    for (auto& entry : entries) {
        if (entry.message == "\x01") entry.message.clear();
    }
    return entries;
}

std::vector<std::string> Messages(const std::vector<LogEntryBytes>& entries) {
    std::vector<std::string> messages;
    for (const auto& entry : entries) messages.push_back(entry.message);
    return messages;
}

}  // namespace testing_support
