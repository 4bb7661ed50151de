#pragma once
// The client-side steps of the cleanup pass, each timed on its own over many entries:
// where the pass's time goes beyond the platform calls that the floor makes too.
#include <string>

namespace qbench {

void ProfilePass(const std::wstring& dir, int entries);

}  // namespace qbench
