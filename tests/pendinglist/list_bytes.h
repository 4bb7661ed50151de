#pragma once
// Hand-built list files for tests, field by field, independent of the writer under test.
#include <cstdint>
#include <string>
#include <vector>

namespace list_bytes {

inline void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& out, uint32_t v) {
    for (int s = 0; s < 32; s += 8) out += static_cast<char>((v >> s) & 0xFF);
}
inline void PutText(std::string& out, const std::string& text) {
    Put16(out, static_cast<uint32_t>(text.size()));
    out += text;
}

struct Entry {
    std::string path;
    std::string extra;
    int32_t flag = 0;
};

// A whole record; `count` overrides the Count field, `lowerBound` the array's lower bound.
inline std::string Record(const std::vector<Entry>& entries,
                          const std::string& header = "Quorvane Pending Reboot List DB",
                          const std::string& version = "3.0", const std::string& extra = "",
                          int64_t count = -1, uint32_t lowerBound = 0) {
    std::string out;
    PutText(out, header);
    PutText(out, version);
    PutText(out, extra);
    if (entries.empty()) {
        Put16(out, 0);
    } else {
        Put16(out, 1);
        Put32(out, static_cast<uint32_t>(entries.size()));
        Put32(out, lowerBound);
        for (const Entry& e : entries) {
            PutText(out, e.path);
            PutText(out, e.extra);
            Put32(out, static_cast<uint32_t>(e.flag));
        }
    }
    Put32(out, static_cast<uint32_t>(count >= 0 ? count : static_cast<int64_t>(entries.size())));
    return out;
}

}  // namespace list_bytes
