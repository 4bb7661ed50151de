#include "trust/chain_rule.h"

namespace trust {
namespace {

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// Who may delete, rename or re-permission an object, or take it over.
constexpr uint32_t kRemoveOrTakeOver = kRightDelete | kRightWriteDac | kRightWriteOwner;
// On a folder, either lets its holder make it, once emptied, a mount point.
constexpr uint32_t kMakeMountPoint = kRightWriteData | kRightWriteAttributes;
// On the nearest existing folder: add a file or a subfolder under the missing name.
constexpr uint32_t kAddEntry = kRightWriteData | kRightAppendData;

}  // namespace

std::vector<std::wstring> ChainComponents(std::wstring_view path) {
    if (path.size() < 3 || !IsDriveLetter(path[0]) || path[1] != L':' || path[2] != L'\\') return {};
    std::vector<std::wstring> components{std::wstring(path.substr(0, 3))};
    size_t start = 3;
    while (start < path.size()) {
        const size_t end = path.find(L'\\', start);
        if (end == start) return {};
        if (end == std::wstring_view::npos) {
            components.emplace_back(path);
            break;
        }
        if (end + 1 == path.size()) return {};
        components.emplace_back(path.substr(0, end));
        start = end + 1;
    }
    return components;
}

uint32_t ChainRightsJudged(ChainPlace place, bool isFolder, bool nearestOfMissing) {
    uint32_t judged = 0;
    switch (place) {
        // Adding a folder to the root, which every user may, replaces nothing.
        case ChainPlace::Root: judged = kRightDeleteChild; break;
        case ChainPlace::Folder: judged = kRemoveOrTakeOver | kMakeMountPoint | kRightDeleteChild; break;
        case ChainPlace::Object: judged = kRemoveOrTakeOver | (isFolder ? kMakeMountPoint : 0); break;
    }
    return judged | (nearestOfMissing ? kAddEntry : 0);
}

ChainVerdict JudgeChain(const std::vector<ChainStep>& steps, size_t components, bool tailMissing,
                        std::wstring_view serviceSid) {
    for (size_t i = 0; i < steps.size(); ++i) {
        const ChainPlace place = i == 0                ? ChainPlace::Root
                                 : i + 1 == components ? ChainPlace::Object
                                                       : ChainPlace::Folder;
        const bool nearest = tailMissing && i + 1 == steps.size();
        const uint32_t judged = ChainRightsJudged(place, steps[i].isFolder, nearest);
        TrustVerdict verdict = JudgeFacts(steps[i].facts, place != ChainPlace::Root,
                                          {{EntryScope::Itself, judged}}, serviceSid);
        if (!verdict.Trusted()) return {i, std::move(verdict)};
    }
    return {ChainVerdict::kPasses, {TrustFinding::Trusted, {}, 0}};
}

}  // namespace trust
