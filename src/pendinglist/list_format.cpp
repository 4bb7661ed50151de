#include "pendinglist/list_format.h"

namespace basPendingRebootFiles {
namespace {

constexpr size_t kReportEvery = 1 << 20;

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void Put16(std::string& out, uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void Put32(std::string& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((v >> shift) & 0xFF);
}

// A cursor over the record that stops at the first field that runs past the end.
class Cursor {
public:
    Cursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Has(size_t n) const { return size_ - pos_ >= n; }
    size_t Position() const { return pos_; }
    const uint8_t* Here() const { return data_ + pos_; }
    void Skip(size_t n) { pos_ += n; }

    // A text field: the length, then that many bytes. `start` receives the bytes.
    bool Text(size_t& start, size_t& length, size_t& breakAt) {
        if (!Has(2)) return Break(breakAt);
        length = Read16(Here());
        pos_ += 2;
        if (!Has(length)) return Break(breakAt);
        start = pos_;
        pos_ += length;
        return true;
    }

    bool Int32(uint32_t& value, size_t& breakAt) {
        if (!Has(4)) return Break(breakAt);
        value = Read32(Here());
        pos_ += 4;
        return true;
    }

private:
    bool Break(size_t& breakAt) {
        breakAt = pos_;
        return false;
    }
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

ListCheck Fault(ListFault fault, size_t offset) {
    ListCheck check;
    check.fault = fault;
    check.offset = offset;
    return check;
}

// The fields of one whole record, as offsets into the bytes; shared by the check and
// the reader so that both see exactly the same layout.
struct TextSpan {
    size_t start = 0;
    size_t length = 0;
};

template <typename OnEntry>
ListCheck WalkRecord(const uint8_t* data, size_t size, TextSpan (&top)[3], OnEntry&& onEntry) {
    Cursor cursor(data, size);
    size_t breakAt = 0;
    ListCheck check;
    for (TextSpan& text : top) {
        if (!cursor.Text(text.start, text.length, breakAt)) return Fault(ListFault::Truncated, breakAt);
        check.textBytes += text.length;
    }
    if (!cursor.Has(2)) return Fault(ListFault::Truncated, cursor.Position());
    const size_t dimensionAt = cursor.Position();
    const uint16_t dimensions = Read16(cursor.Here());
    cursor.Skip(2);
    if (dimensions > 1) return Fault(ListFault::BadDimensionCount, dimensionAt);

    uint32_t elements = 0;
    if (dimensions == 1) {
        if (!cursor.Int32(elements, breakAt)) return Fault(ListFault::Truncated, breakAt);
        const size_t lowerBoundAt = cursor.Position();
        uint32_t lowerBound = 0;
        if (!cursor.Int32(lowerBound, breakAt)) return Fault(ListFault::Truncated, breakAt);
        if (lowerBound != 0) return Fault(ListFault::BadLowerBound, lowerBoundAt);
        for (uint32_t i = 0; i < elements; ++i) {
            TextSpan path, extra;
            uint32_t flag = 0;
            if (!cursor.Text(path.start, path.length, breakAt) ||
                !cursor.Text(extra.start, extra.length, breakAt) || !cursor.Int32(flag, breakAt)) {
                return Fault(ListFault::Truncated, breakAt);
            }
            check.textBytes += path.length + extra.length;
            onEntry(path, extra, static_cast<int32_t>(flag), cursor.Position());
        }
    }
    const size_t countAt = cursor.Position();
    uint32_t count = 0;
    if (!cursor.Int32(count, breakAt)) return Fault(ListFault::Truncated, breakAt);
    if (count != elements) return Fault(ListFault::CountMismatch, countAt);
    check.entries = elements;
    check.offset = cursor.Position();
    return check;
}

std::wstring DecodeToString(const uint8_t* data, TextSpan span, const TextCodec& codec) {
    std::wstring text(span.length, L'\0');
    text.resize(codec.Decode(reinterpret_cast<const char*>(data + span.start), span.length,
                             text.data()));
    return text;
}

std::wstring_view DecodeToPool(const uint8_t* data, TextSpan span, const TextCodec& codec,
                               TextPool& pool) {
    if (span.length == 0) return {};
    wchar_t* out = pool.Claim(span.length);
    const size_t units = codec.Decode(reinterpret_cast<const char*>(data + span.start),
                                      span.length, out);
    return pool.Commit(out, units);
}

bool PutText(std::string& out, std::wstring_view text, const TextCodec& codec) {
    const size_t lengthAt = out.size();
    Put16(out, 0);
    codec.Encode(text, out);
    const size_t length = out.size() - lengthAt - 2;
    if (length > UINT16_MAX) return false;
    out[lengthAt] = static_cast<char>(length & 0xFF);
    out[lengthAt + 1] = static_cast<char>(length >> 8);
    return true;
}

}  // namespace

const char* DescribeFault(ListFault fault) {
    switch (fault) {
    case ListFault::None: return "whole record";
    case ListFault::Truncated: return "the file ends before the record is complete";
    case ListFault::BadDimensionCount: return "the entry block's dimension count is neither 0 nor 1";
    case ListFault::BadLowerBound: return "the entry block's lower bound is not 0";
    case ListFault::CountMismatch: return "Count differs from the number of stored entries";
    }
    return "unknown";
}

ListCheck CheckListBytes(const uint8_t* data, size_t size) {
    TextSpan top[3];
    return WalkRecord(data, size, top, [](const TextSpan&, const TextSpan&, int32_t, size_t) {});
}

ListCheck ReadListBytes(const uint8_t* data, size_t size, const TextCodec& codec,
                        PendingRebootList& list, const std::function<void(size_t)>& consumed) {
    // First the layout alone: nothing is allocated for an element count until the bytes
    // that hold the elements are known to be there.
    const ListCheck check = CheckListBytes(data, size);
    if (!check.ok()) return check;

    // The top texts first: the bytes before a reported offset may be gone afterwards.
    TextSpan top[3];
    PendingRebootList loaded(list.LowerCase());
    Cursor cursor(data, size);
    size_t unused = 0;
    for (TextSpan& text : top) cursor.Text(text.start, text.length, unused);
    loaded.Header = DecodeToString(data, top[0], codec);
    loaded.Version = DecodeToString(data, top[1], codec);
    loaded.Extra = DecodeToString(data, top[2], codec);

    loaded.PrepareForLoad(check.entries, check.textBytes);
    size_t reportedAt = 0;
    WalkRecord(data, size, top,
               [&](const TextSpan& path, const TextSpan& extra, int32_t flag, size_t end) {
                   const std::wstring_view p = DecodeToPool(data, path, codec, loaded.Texts());
                   const std::wstring_view e = DecodeToPool(data, extra, codec, loaded.Texts());
                   loaded.AppendLoaded(p, e, flag);
                   if (consumed && end - reportedAt >= kReportEvery) {
                       consumed(end);
                       reportedAt = end;
                   }
               });
    list = std::move(loaded);
    return check;
}

bool WriteListBytes(const PendingRebootList& list, const TextCodec& codec, std::string& out) {
    out.clear();
    size_t estimate = kEmptyListSize + 10;
    list.ForEachEntry([&](const PendingRebootEntry& entry) {
        estimate += 8 + (entry.Path.size() + entry.Extra.size()) * 2;
    });
    out.reserve(estimate);

    bool fits = PutText(out, list.Header, codec) && PutText(out, list.Version, codec) &&
                PutText(out, list.Extra, codec);
    if (list.Count() == 0) {
        Put16(out, 0);  // no entry storage: dimension count 0 and nothing more
    } else {
        Put16(out, 1);
        Put32(out, static_cast<uint32_t>(list.Count()));
        Put32(out, 0);
        list.ForEachEntry([&](const PendingRebootEntry& entry) {
            fits = fits && PutText(out, entry.Path, codec) && PutText(out, entry.Extra, codec);
            Put32(out, static_cast<uint32_t>(entry.Flag));
        });
    }
    Put32(out, static_cast<uint32_t>(list.Count()));
    return fits;
}

size_t Latin1Codec::Decode(const char* bytes, size_t count, wchar_t* out) const {
    for (size_t i = 0; i < count; ++i) out[i] = static_cast<unsigned char>(bytes[i]);
    return count;
}

void Latin1Codec::Encode(std::wstring_view text, std::string& out) const {
    for (wchar_t c : text) out += c < 0x100 ? static_cast<char>(c) : '?';
}

}  // namespace basPendingRebootFiles
