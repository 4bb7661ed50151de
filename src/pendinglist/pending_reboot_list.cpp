#include "pendinglist/pending_reboot_list.h"

#include <algorithm>
#include <cstring>

#include "platform/ascii.h"

namespace basPendingRebootFiles {
namespace {

constexpr uint32_t kNoSlot = UINT32_MAX;
constexpr size_t kBlockUnits = 64 * 1024;

}  // namespace

void LowerCaseAscii(wchar_t* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        text[i] = platform::AsciiLower(text[i]);
    }
}

// --- TextPool ---

void TextPool::Reserve(size_t units) {
    if (units == 0) return;
    Block block;
    block.data.reset(new wchar_t[units]);  // left uninitialised: pages are touched as filled
    block.size = units;
    blocks_.push_back(std::move(block));
}

wchar_t* TextPool::Claim(size_t maxUnits) {
    if (blocks_.empty() || blocks_.back().size - blocks_.back().used < maxUnits) {
        Reserve(std::max(maxUnits, kBlockUnits));
    }
    Block& block = blocks_.back();
    return block.data.get() + block.used;
}

std::wstring_view TextPool::Commit(wchar_t* start, size_t units) {
    blocks_.back().used += units;
    return std::wstring_view(start, units);
}

std::wstring_view TextPool::Store(std::wstring_view text) {
    if (text.empty()) return {};
    wchar_t* start = Claim(text.size());
    std::memcpy(start, text.data(), text.size() * sizeof(wchar_t));
    return Commit(start, text.size());
}

void TextPool::Release() { std::vector<Block>().swap(blocks_); }

// --- PendingRebootList ---

PendingRebootList::PendingRebootList(LowerCaseMapping lower) : lower_(lower) {}
PendingRebootList::PendingRebootList(PendingRebootList&&) noexcept = default;
PendingRebootList& PendingRebootList::operator=(PendingRebootList&&) noexcept = default;
PendingRebootList::~PendingRebootList() = default;

void PendingRebootList::ReleaseEntries() {
    std::vector<PendingRebootEntry>().swap(slots_);
    std::vector<uint8_t>().swap(live_);
    texts_.Release();
    index_.reset();
    count_ = 0;
}

void PendingRebootList::Clear() {
    Header.clear();
    Version.clear();
    Extra.clear();
    ReleaseEntries();
}

void PendingRebootList::PrepareForLoad(uint32_t entries, size_t textUnits) {
    slots_.reserve(entries);
    live_.reserve(entries);
    texts_.Reserve(textUnits);
}

void PendingRebootList::AppendLoaded(std::wstring_view path, std::wstring_view extra,
                                     int32_t flag) {
    slots_.push_back(PendingRebootEntry{path, extra, flag});
    live_.push_back(1);
    ++count_;
}

void PendingRebootList::Append(std::wstring_view path, std::wstring_view extra, int32_t flag) {
    const std::wstring_view storedPath = texts_.Store(path);
    const std::wstring_view storedExtra = texts_.Store(extra);
    AppendLoaded(storedPath, storedExtra, flag);
    index_.reset();  // rebuilt on the next lookup
}

void PendingRebootList::LowerInto(std::wstring_view text, std::wstring& key) const {
    key.assign(text.data(), text.size());
    if (!key.empty()) lower_(key.data(), key.size());
}

const PendingRebootList::Index& PendingRebootList::EnsureIndex() const {
    if (index_) return *index_;
    auto index = std::make_unique<Index>();
    const size_t slots = slots_.size();
    index->nextSameKey.assign(slots, kNoSlot);
    index->liveTree.assign(slots + 1, 0);
    index->byKey.reserve(static_cast<size_t>(count_));
    std::wstring key;
    for (size_t slot = 0; slot < slots; ++slot) {
        if (!live_[slot]) continue;
        index->liveTree[slot + 1] += 1;
        LowerInto(slots_[slot].Path, key);
        const uint32_t s = static_cast<uint32_t>(slot);
        auto [it, inserted] = index->byKey.try_emplace(key, KeyChain{s, s});
        if (!inserted) {
            if (it->second.head == kNoSlot) {
                it->second.head = s;
            } else {
                index->nextSameKey[it->second.tail] = s;
            }
            it->second.tail = s;
        }
    }
    for (size_t i = 1; i <= slots; ++i) {  // Fenwick tree built in place, in linear time
        const size_t parent = i + (i & (~i + 1));
        if (parent <= slots) index->liveTree[parent] += index->liveTree[i];
    }
    index_ = std::move(index);
    return *index_;
}

int32_t PendingRebootList::LiveBefore(uint32_t slot) const {
    int32_t sum = 0;
    for (size_t i = slot; i > 0; i &= i - 1) sum += index_->liveTree[i];
    return sum;
}

uint32_t PendingRebootList::SlotOfIndex(int32_t index) const {
    const std::vector<int32_t>& tree = EnsureIndex().liveTree;
    const size_t slots = slots_.size();
    size_t step = 1;
    while (step * 2 <= slots) step *= 2;
    size_t position = 0;  // count of slots passed, 1-based tree position
    int32_t remaining = index + 1;
    for (; step > 0; step /= 2) {
        if (position + step <= slots && tree[position + step] < remaining) {
            position += step;
            remaining -= tree[position];
        }
    }
    return static_cast<uint32_t>(position);  // the slot at 0-based position
}

const PendingRebootEntry& PendingRebootList::Entry(int32_t index) const {
    if (static_cast<size_t>(count_) == slots_.size()) return slots_[static_cast<size_t>(index)];
    return slots_[SlotOfIndex(index)];
}

int32_t PendingRebootList::FindEntry(std::wstring_view path) const {
    if (count_ == 0) return -1;
    const Index& index = EnsureIndex();
    LowerInto(path, lookupKey_);
    const auto found = index.byKey.find(lookupKey_);
    if (found == index.byKey.end() || found->second.head == kNoSlot) return -1;
    return LiveBefore(found->second.head);
}

void PendingRebootList::RemoveEntry(std::wstring_view path) {
    if (count_ == 0) return;
    Index& index = const_cast<Index&>(EnsureIndex());
    LowerInto(path, lookupKey_);
    const auto found = index.byKey.find(lookupKey_);
    if (found == index.byKey.end() || found->second.head == kNoSlot) return;

    // The first valid slot of a key is always the one removed, so the valid slots of a
    // key stay a tail of its chain and the head is all that moves.
    const uint32_t slot = found->second.head;
    found->second.head = index.nextSameKey[slot];
    live_[slot] = 0;
    for (size_t i = slot + 1; i <= slots_.size(); i += i & (~i + 1)) index.liveTree[i] -= 1;
    if (--count_ == 0) ReleaseEntries();
}

}  // namespace basPendingRebootFiles
