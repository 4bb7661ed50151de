#pragma once
// Whether a path may be handed to the delete-at-restart facility as it stands: what the
// restart deletes is whatever the path reaches then, so no account outside the trusted
// ones may be able to remove, rename or turn into a link any component of it meanwhile.
// Free of the Windows API: the walk (path_chain.h) reads each component's entries.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "trust/access_entries.h"

namespace trust {

// "X:\a\b" gives "X:\", "X:\a", "X:\a\b": the drive's root first. Empty for any other
// form (relative, another host, the "\\?\" form, an empty component, a trailing
// backslash).
std::vector<std::wstring> ChainComponents(std::wstring_view path);

enum class ChainPlace {
    Root,    // the drive's root: only who may remove what it holds
    Folder,  // a folder below the root that holds the next component
    Object,  // the path's own file or folder
};

// The rights judged at a component. `nearestOfMissing`: the path's tail does not exist
// and this is the nearest folder that does, where whoever may add a file or a subfolder
// could put a link under the missing name.
uint32_t ChainRightsJudged(ChainPlace place, bool isFolder, bool nearestOfMissing);

struct ChainStep {
    SecurityFacts facts;
    bool isFolder = true;
};

struct ChainVerdict {
    size_t failedAt = kPasses;  // the index of the first step that fails
    TrustVerdict verdict;       // that step's, or a trusted one

    static constexpr size_t kPasses = static_cast<size_t>(-1);
    bool Passes() const { return failedAt == kPasses; }
};

// `steps`: the components that exist, the root first; `components`: how many the whole
// path has (ChainComponents); `tailMissing`: the components after the steps do not exist
// (false: the steps stop early only because the caller judges no further). Each owner but
// the root's must be a trusted account, and only entries that apply to the component
// itself count (inherit-only ones give nothing to it).
ChainVerdict JudgeChain(const std::vector<ChainStep>& steps, size_t components, bool tailMissing,
                        std::wstring_view serviceSid);

}  // namespace trust
