// libFuzzer target for the list file reader. Beyond "no crash" it checks:
// - the layout check and the reader agree on every input, and a rejected input leaves
//   the caller's list as it was;
// - a rejected input allocates no more than its size justifies, whatever it claims;
// - whatever is accepted writes back to the same record: the bytes read, less any tail
//   after Count, and a re-read yields the same fields.
#include <sanitizer/allocator_interface.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "pendinglist/list_format.h"

namespace {

using namespace basPendingRebootFiles;

// Allocation bounds, per input byte. A rejected input justifies a copy of itself at
// most. An accepted one: an entry takes at least 8 input bytes and its slot 40 bytes,
// and a text byte becomes one wchar_t (4 bytes here).
constexpr size_t kRejectedPerByte = 2;
constexpr size_t kAcceptedPerByte = 8;
constexpr size_t kSlack = 4096;

struct AllocationWatch {
    bool on = false;
    size_t largest = 0;
    size_t total = 0;
};
AllocationWatch watch;

// Called by the sanitizer allocator for every malloc and operator new; it must not
// allocate itself.
void OnMalloc(const volatile void*, size_t size) {
    if (!watch.on) return;
    watch.total += size;
    if (size > watch.largest) watch.largest = size;
}
void OnFree(const volatile void*) {}

const bool hooksInstalled = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;

[[noreturn]] void Fail(const char* what, size_t a = 0, size_t b = 0) {
    std::fprintf(stderr, "list_reader_fuzz: %s (%zu, %zu)\n", what, a, b);
    std::abort();
}

void Expect(bool condition, const char* what, size_t a = 0, size_t b = 0) {
    if (!condition) Fail(what, a, b);
}

void ExpectSameRecord(const PendingRebootList& a, const PendingRebootList& b) {
    Expect(a.Header == b.Header, "Header differs after a round trip");
    Expect(a.Version == b.Version, "Version differs after a round trip");
    Expect(a.Extra == b.Extra, "Extra differs after a round trip");
    Expect(a.Count() == b.Count(), "Count differs after a round trip",
           static_cast<size_t>(a.Count()), static_cast<size_t>(b.Count()));
    Expect(a.HasEntryStorage() == b.HasEntryStorage(), "entry storage differs after a round trip");
    for (int32_t i = 0; i < a.Count(); ++i) {
        const PendingRebootEntry& x = a.Entry(i);
        const PendingRebootEntry& y = b.Entry(i);
        Expect(x.Path == y.Path, "an entry's Path differs after a round trip", size_t(i));
        Expect(x.Extra == y.Extra, "an entry's Extra differs after a round trip", size_t(i));
        Expect(x.Flag == y.Flag, "an entry's Flag differs after a round trip", size_t(i));
    }
}

// The bytes the writer must produce for an accepted input: the record as read, without
// the tail after Count. A stored entry block of no elements is the one other difference:
// the writer stores an empty list as dimension count 0, with nothing more.
std::string ExpectedRewrite(const uint8_t* data, const ListCheck& check) {
    std::string record(reinterpret_cast<const char*>(data), check.offset);
    if (check.entries == 0) {
        size_t at = 0;
        for (int text = 0; text < 3; ++text) {
            at += 2 + (static_cast<uint8_t>(record[at]) | (static_cast<uint8_t>(record[at + 1]) << 8));
        }
        if (record[at] == 1) record.replace(at, 10, std::string(2, '\0'));
    }
    return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!hooksInstalled) Fail("the allocation hooks could not be installed");
    const Latin1Codec codec;  // one byte, one character: texts survive exactly

    const ListCheck layout = CheckListBytes(data, size);

    // A list that already holds something, to see that a rejected read leaves it alone.
    PendingRebootList list;
    list.Header = L"before";
    list.Append(L"C:\\sentinel", L"x", 5);

    watch = AllocationWatch{};
    watch.on = true;
    const ListCheck read = ReadListBytes(data, size, codec, list);
    watch.on = false;

    Expect(read.fault == layout.fault && read.offset == layout.offset &&
               read.entries == layout.entries && read.textBytes == layout.textBytes,
           "the reader and the layout check disagree", read.offset, layout.offset);
    Expect(read.offset <= size, "a fault offset past the end", read.offset, size);

    if (!read.ok()) {
        Expect(watch.total <= kRejectedPerByte * size + kSlack,
               "a rejected input allocated more than its size justifies", watch.total, size);
        Expect(list.Header == L"before" && list.Count() == 1 && list.Entry(0).Path == L"C:\\sentinel",
               "a rejected read changed the list");
        return 0;
    }

    Expect(watch.largest <= kAcceptedPerByte * size + kSlack,
           "an accepted input made an allocation out of proportion", watch.largest, size);
    Expect(list.Count() >= 0 && static_cast<uint32_t>(list.Count()) == read.entries,
           "Count differs from the entries read", static_cast<size_t>(list.Count()), read.entries);
    Expect(list.HasEntryStorage() == (read.entries != 0), "entry storage does not match Count");

    std::string written;
    Expect(WriteListBytes(list, codec, written), "an accepted list cannot be written back");
    const std::string expected = ExpectedRewrite(data, read);
    Expect(written == expected, "the rewrite differs from the record read", written.size(),
           expected.size());

    PendingRebootList again;
    const ListCheck reread = ReadListBytes(reinterpret_cast<const uint8_t*>(written.data()),
                                           written.size(), codec, again);
    Expect(reread.ok() && reread.offset == written.size(), "the rewrite does not read back whole",
           reread.offset, written.size());
    ExpectSameRecord(list, again);
    return 0;
}
