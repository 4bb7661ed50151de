#pragma once
// The pending reboot list file, byte for byte: one record of length-prefixed ANSI texts
// and little-endian integers, shared with the product's other programs. Reading and
// writing work on whole byte buffers; the code page conversion is handed in.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "pendinglist/pending_reboot_list.h"

namespace basPendingRebootFiles {

inline constexpr wchar_t kListHeader[] = L"Quorvane Pending Reboot List DB";
inline constexpr wchar_t kListVersion[] = L"3.0";
inline constexpr size_t kEmptyListSize = 46;

class TextCodec {
public:
    virtual ~TextCodec() = default;
    // Converts `count` ANSI bytes; `out` has room for `count` units, which is always
    // enough. Returns the units written.
    virtual size_t Decode(const char* bytes, size_t count, wchar_t* out) const = 0;
    // Appends the ANSI form of the text.
    virtual void Encode(std::wstring_view text, std::string& out) const = 0;
};

// Why a file is not a complete record, and where it breaks.
enum class ListFault {
    None,
    Truncated,          // ends before the record is complete
    BadDimensionCount,  // neither 0 nor 1
    BadLowerBound,      // not 0
    CountMismatch,      // Count differs from the element count
};

struct ListCheck {
    ListFault fault = ListFault::None;
    size_t offset = 0;        // where the record breaks; its end when it is whole
    uint32_t entries = 0;     // element count of a whole record
    size_t textBytes = 0;     // bytes of all texts of a whole record
    bool ok() const { return fault == ListFault::None; }
};

const char* DescribeFault(ListFault fault);

// Walks the record without converting or allocating anything. Bytes after Count are
// accepted: lists rewritten in place by older writers can carry an old tail there.
ListCheck CheckListBytes(const uint8_t* data, size_t size);

// Replaces `list` with the record when it is whole; leaves `list` untouched otherwise.
// `consumed` is told, now and then, how far the bytes have been read, so that the
// caller can give memory that is no longer needed back early.
ListCheck ReadListBytes(const uint8_t* data, size_t size, const TextCodec& codec,
                        PendingRebootList& list,
                        const std::function<void(size_t)>& consumed = nullptr);

// The whole record. False, with `out` unspecified, when a text's ANSI form is longer
// than a 16-bit length can hold.
bool WriteListBytes(const PendingRebootList& list, const TextCodec& codec, std::string& out);

// A codec for tests and host tools: every byte is one character (ISO 8859-1).
class Latin1Codec : public TextCodec {
public:
    size_t Decode(const char* bytes, size_t count, wchar_t* out) const override;
    void Encode(std::wstring_view text, std::string& out) const override;
};

}  // namespace basPendingRebootFiles
