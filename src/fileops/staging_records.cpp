#include "fileops/staging_records.h"

#include <vector>

namespace fileops {
namespace {

constexpr wchar_t kMark = L'\xFEFF';
constexpr wchar_t kStaged[] = L"staged";
constexpr wchar_t kForeign[] = L"foreign";
constexpr wchar_t kCarried[] = L"carried";
constexpr wchar_t kRequested[] = L"requested";

std::wstring Join(std::initializer_list<std::wstring> fields) {
    std::wstring text(1, kMark);
    for (const std::wstring& field : fields) text += field + L"\r\n";
    return text;
}

// The fields of a complete record: every line ended by CR LF. A record cut short (a
// write that did not finish) is no record.
bool Split(std::wstring_view text, std::vector<std::wstring_view>& fields) {
    if (text.empty() || text[0] != kMark) return false;
    text.remove_prefix(1);
    while (!text.empty()) {
        const size_t end = text.find(L"\r\n");
        if (end == std::wstring_view::npos) return false;
        fields.push_back(text.substr(0, end));
        text.remove_prefix(end + 2);
    }
    return !fields.empty() && !fields[0].empty();
}

std::wstring Hex(uint64_t value, int digits) {
    std::wstring text(static_cast<size_t>(digits), L'0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4) text[static_cast<size_t>(i)] = L"0123456789ABCDEF"[value & 0xF];
    return text;
}

bool ParseNumber(std::wstring_view text, unsigned base, uint64_t limit, uint64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    value = 0;
    for (wchar_t c : text) {
        unsigned digit = 0;
        if (c >= L'0' && c <= L'9') digit = static_cast<unsigned>(c - L'0');
        else if (base == 16 && c >= L'A' && c <= L'F') digit = static_cast<unsigned>(c - L'A' + 10);
        else if (base == 16 && c >= L'a' && c <= L'f') digit = static_cast<unsigned>(c - L'a' + 10);
        else return false;
        if (digit > limit || value > (limit - digit) / base) return false;
        value = value * base + digit;
    }
    return true;
}

}  // namespace

std::wstring StagedRecordText(const StagedRecord& record) {
    return Join({record.listedPath, Hex(record.attributes, 8), Hex(record.number, 16), record.stagedName,
                 record.foreign ? kForeign : kStaged});
}

bool ParseStagedRecord(std::wstring_view text, StagedRecord& record) {
    std::vector<std::wstring_view> fields;
    if (!Split(text, fields) || fields.size() < 2) return false;
    uint64_t attributes = 0;
    if (!ParseNumber(fields[1], 16, UINT32_MAX, attributes)) return false;
    record = StagedRecord{};
    record.listedPath.assign(fields[0]);
    record.attributes = static_cast<uint32_t>(attributes);
    if (fields.size() == 2) return true;  // an earlier version's record: path and attributes
    if (fields.size() != 5 || !ParseNumber(fields[2], 16, UINT64_MAX, record.number) || fields[3].empty() ||
        (fields[4] != kStaged && fields[4] != kForeign)) {
        return false;
    }
    record.numberKnown = true;
    record.stagedName.assign(fields[3]);
    record.foreign = fields[4] == kForeign;
    return true;
}

std::wstring CarriedRecordText(const CarriedRecord& record) {
    return Join({record.listedPath, kCarried, std::to_wstring(record.reason)});
}

bool ParseCarriedRecord(std::wstring_view text, CarriedRecord& record) {
    std::vector<std::wstring_view> fields;
    uint64_t reason = 0;
    if (!Split(text, fields) || fields.size() != 3 || fields[1] != kCarried ||
        !ParseNumber(fields[2], 10, UINT32_MAX, reason)) {
        return false;
    }
    record.listedPath.assign(fields[0]);
    record.reason = static_cast<uint32_t>(reason);
    return true;
}

std::wstring PathRequestText(const std::wstring& listedPath) { return Join({listedPath, kRequested}); }

bool ParsePathRequest(std::wstring_view text, std::wstring& listedPath) {
    std::vector<std::wstring_view> fields;
    if (!Split(text, fields) || fields.size() != 2 || fields[1] != kRequested) return false;
    listedPath.assign(fields[0]);
    return true;
}

std::wstring StartTypeRecordText(const StartTypeRecord& record) {
    return Join({std::to_wstring(record.startType), record.delayed ? L"delayed" : L"not delayed"});
}

bool ParseStartTypeRecord(std::wstring_view text, StartTypeRecord& record) {
    std::vector<std::wstring_view> fields;
    uint64_t startType = 0;
    if (!Split(text, fields) || fields.size() != 2 || !ParseNumber(fields[0], 10, 4, startType) ||
        (fields[1] != L"delayed" && fields[1] != L"not delayed")) {
        return false;
    }
    record.startType = static_cast<uint32_t>(startType);
    record.delayed = fields[1] == L"delayed";
    return true;
}

}  // namespace fileops
