// Micro-benchmarks of the pure list code: the reader and writer of the list file's
// bytes, and the lookups of the cleanup pass. Paths are as long as the Windows
// benchmark's (46 characters); the codec is the host's one-byte codec.
#include <benchmark/benchmark.h>

#include <cwchar>
#include <string>
#include <vector>

#include "pendinglist/list_format.h"
#include "pendinglist/pending_reboot_list.h"

namespace {

using basPendingRebootFiles::Latin1Codec;
using basPendingRebootFiles::PendingRebootList;

std::wstring EntryPath(int64_t index) {
    wchar_t path[64];
    std::swprintf(path, 64, L"C:\\users\\root\\Temp\\qbench-1a2b\\file_%06lld.tmp",
                  static_cast<long long>(index));
    return path;
}

PendingRebootList MakeList(int64_t entries) {
    PendingRebootList list;
    for (int64_t i = 0; i < entries; ++i) list.Append(EntryPath(i), L"", 0);
    return list;
}

std::string ListBytes(int64_t entries) {
    std::string bytes;
    basPendingRebootFiles::WriteListBytes(MakeList(entries), Latin1Codec(), bytes);
    return bytes;
}

void BM_WriteList(benchmark::State& state) {
    const PendingRebootList list = MakeList(state.range(0));
    const Latin1Codec codec;
    std::string bytes;
    for (auto _ : state) {
        basPendingRebootFiles::WriteListBytes(list, codec, bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WriteList)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_ReadList(benchmark::State& state) {
    const std::string bytes = ListBytes(state.range(0));
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const Latin1Codec codec;
    for (auto _ : state) {
        PendingRebootList list;
        const auto check = basPendingRebootFiles::ReadListBytes(data, bytes.size(), codec, list);
        if (!check.ok() || list.Count() != state.range(0)) state.SkipWithError("the list did not read back");
        benchmark::DoNotOptimize(list.Count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadList)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The pass's access pattern: for each slot in order, the entry's path is copied and
// removed by path; the first removal builds the index. With `findFirst`, FindEntry runs
// before each removal, as for an entry in hand whose index the removals before it keep
// moving down (always 0 here). Linear time shows as O(N).
void BM_PassOrder(benchmark::State& state, bool findFirst) {
    const int64_t entries = state.range(0);
    for (auto _ : state) {
        state.PauseTiming();
        PendingRebootList list = MakeList(entries);
        state.ResumeTiming();
        std::wstring path;
        for (size_t slot = 0; slot < list.SlotCount(); ++slot) {
            if (!list.IsLiveSlot(slot)) continue;
            const std::wstring_view entry = list.AtSlot(slot).Path;
            path.assign(entry.data(), entry.size());
            if (findFirst) benchmark::DoNotOptimize(list.FindEntry(path));
            list.RemoveEntry(path);
        }
        if (list.Count() != 0) state.SkipWithError("entries left");
    }
    state.SetComplexityN(entries);
    state.SetItemsProcessed(state.iterations() * entries);
}
BENCHMARK_CAPTURE(BM_PassOrder, RemoveEntry, false)
    ->Arg(1000)->Arg(10000)->Arg(50000)->Arg(200000)
    ->Complexity(benchmark::oN)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PassOrder, FindEntryThenRemoveEntry, true)
    ->Arg(1000)->Arg(10000)->Arg(50000)->Arg(200000)
    ->Complexity(benchmark::oN)->Unit(benchmark::kMicrosecond);

// A lookup in a list of which half was removed from the front: the Fenwick tree's
// share of FindEntry once the slots and the indexes have drifted apart.
void BM_FindEntryAfterRemovals(benchmark::State& state) {
    const int64_t entries = state.range(0);
    PendingRebootList list = MakeList(entries);
    for (int64_t i = 0; i < entries / 2; ++i) list.RemoveEntry(EntryPath(i));
    std::vector<std::wstring> remaining;
    for (int64_t i = entries / 2; i < entries; ++i) remaining.push_back(EntryPath(i));
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(list.FindEntry(remaining[next]));
        if (++next == remaining.size()) next = 0;
    }
    state.SetComplexityN(entries);
}
BENCHMARK(BM_FindEntryAfterRemovals)
    ->Arg(1000)->Arg(10000)->Arg(50000)->Arg(200000)
    ->Complexity(benchmark::oLogN);

}  // namespace

BENCHMARK_MAIN();
