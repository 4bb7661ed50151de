#pragma once
// Load of the list file against the floor of reading its bytes and converting its texts,
// each measured in a fresh process so that the peak working set is Load's own.
#include <cstddef>
#include <string>

namespace qbench {

struct LoadFigures {
    int entries = 0;
    size_t fileBytes = 0;
    double loadSeconds = 0;    // the fastest of the repetitions
    double floorSeconds = 0;
    double loadPeakRatio = 0;  // (peak working set - working set before) / file size; highest seen
    double floorPeakRatio = 0;
    size_t baselineBytes = 0;  // working set before Load, in Load's last run
    std::string fault;
};

// Writes a list of `entries` entries beside the running executable `exe` (whose folder
// is `dir`) and runs `exe` as a child for each measurement.
LoadFigures MeasureLoad(const std::wstring& exe, const std::wstring& dir, int entries,
                        int repetitions);

// The child's side: "service" runs Load, "floor" reads and converts; the figures go to
// `resultPath`. Returns the process exit code.
int RunLoadChild(const std::wstring& mode, const std::wstring& resultPath);

}  // namespace qbench
