#pragma once
// The in-memory pending reboot list. Free of the Windows API: the lower-case mapping
// that FindEntry compares with is handed in.
//
// Texts of the entries live in one pool owned by the list, so that a list of a million
// entries costs little more than its texts in UTF-16. Removing an entry leaves a
// tombstone in its slot; a lazily built index keeps FindEntry and RemoveEntry from
// scanning the list, so a pass that removes every entry stays linear.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace basPendingRebootFiles {

struct PendingRebootEntry {
    std::wstring_view Path;   // full path of a file to be deleted
    std::wstring_view Extra;  // carried through unchanged
    int32_t Flag = 0;         // 0: the pass handles the entry; anything else: left alone
};

// Maps the text to lower case in place.
using LowerCaseMapping = void (*)(wchar_t* text, size_t length);
void LowerCaseAscii(wchar_t* text, size_t length);

// Append-only storage for texts; views into it stay valid until Release.
class TextPool {
public:
    void Reserve(size_t units);  // one block of exactly this many units
    std::wstring_view Store(std::wstring_view text);
    wchar_t* Claim(size_t maxUnits);          // room for up to maxUnits, then...
    std::wstring_view Commit(wchar_t* start, size_t units);  // ...keep what was written
    void Release();

private:
    struct Block {
        std::unique_ptr<wchar_t[]> data;
        size_t size = 0;
        size_t used = 0;
    };
    std::vector<Block> blocks_;
};

class PendingRebootList {
public:
    std::wstring Header;
    std::wstring Version;
    std::wstring Extra;

    explicit PendingRebootList(LowerCaseMapping lower = LowerCaseAscii);
    PendingRebootList(PendingRebootList&&) noexcept;
    PendingRebootList& operator=(PendingRebootList&&) noexcept;
    PendingRebootList(const PendingRebootList&) = delete;
    PendingRebootList& operator=(const PendingRebootList&) = delete;
    ~PendingRebootList();

    LowerCaseMapping LowerCase() const { return lower_; }

    // Number of valid entries.
    int32_t Count() const { return count_; }
    // False exactly when the list holds no entry storage at all.
    bool HasEntryStorage() const { return !slots_.empty() || slots_.capacity() != 0; }

    // The valid entry at an index from 0 to Count() - 1.
    const PendingRebootEntry& Entry(int32_t index) const;

    template <typename Visit>
    void ForEachEntry(Visit&& visit) const {
        for (size_t slot = 0; slot < slots_.size(); ++slot) {
            if (live_[slot]) visit(slots_[slot]);
        }
    }

    // Copies the texts in.
    void Append(std::wstring_view path, std::wstring_view extra, int32_t flag);

    // The lowest index whose Path equals the path in the lower-case mapping, or -1.
    int32_t FindEntry(std::wstring_view path) const;
    // Removes the entry FindEntry finds; nothing when there is none. When the last entry
    // goes, the entry storage is released entirely.
    void RemoveEntry(std::wstring_view path);

    // Entries without storage and Count 0; Header, Version and Extra stay.
    void ReleaseEntries();
    // Everything empty, as at process start.
    void Clear();

    // Slots are the entries in storage order, removed ones included; a slot keeps its
    // number while entries are removed, so a pass can walk them.
    size_t SlotCount() const { return slots_.size(); }
    bool IsLiveSlot(size_t slot) const { return slot < slots_.size() && live_[slot]; }
    const PendingRebootEntry& AtSlot(size_t slot) const { return slots_[slot]; }

    // For the reader: room for a known number of entries and text units, and the
    // appends that fill it without copying through a temporary.
    void PrepareForLoad(uint32_t entries, size_t textUnits);
    TextPool& Texts() { return texts_; }
    void AppendLoaded(std::wstring_view path, std::wstring_view extra, int32_t flag);

private:
    struct KeyChain {
        uint32_t head;  // first slot with this key that is still valid
        uint32_t tail;
    };
    struct Index {
        std::unordered_map<std::wstring, KeyChain> byKey;
        std::vector<uint32_t> nextSameKey;
        std::vector<int32_t> liveTree;  // Fenwick tree over the valid slots
    };

    const Index& EnsureIndex() const;
    void LowerInto(std::wstring_view text, std::wstring& key) const;
    int32_t LiveBefore(uint32_t slot) const;
    uint32_t SlotOfIndex(int32_t index) const;

    LowerCaseMapping lower_;
    TextPool texts_;
    std::vector<PendingRebootEntry> slots_;
    std::vector<uint8_t> live_;
    int32_t count_ = 0;
    mutable std::unique_ptr<Index> index_;
    mutable std::wstring lookupKey_;  // reused, so that a lookup allocates nothing
};

}  // namespace basPendingRebootFiles
