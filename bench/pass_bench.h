#pragma once
// The cleanup pass over the service's own list against the floor: the design's bare work,
// with none of the product's code inside it: the handle route of every listed file (one
// open without following a link, one final path, one delete mark, one close, each a
// platform call made directly) and the same log entries, each opened, appended to and
// closed, with no list around them. Beside them the path
// route the service took before it checked its handles (an existence search and a delete
// by path), to show what the checks cost.
#include <string>

namespace qbench {

// Wine looks a name up in a folder by reading the whole folder whenever the exact name
// is not there (every file made, every missing file searched), so files are spread over
// folders of a fixed size: the cost of a platform call then does not grow with N.
constexpr int kFilesPerFolder = 100;

// "<dir>d0001\file_000123.tmp": every path of a run has the same length.
std::wstring EntryPath(const std::wstring& dir, int index);

// The folders that the paths of `entries` entries need.
bool MakeFolders(const std::wstring& dir, int entries);

struct PassFigures {
    int entries = 0;
    double passSeconds = 0;   // the fastest of the repetitions
    double floorSeconds = 0;
    double passProcessor = 0;  // processor time of the same runs
    double floorProcessor = 0;
    double pathRouteSeconds = 0;  // the path route, fastest
    // The median over the repetitions of pass / floor, each repetition's two loops run
    // back to back: robust against a lucky or unlucky spell of either loop.
    double medianRatio = 0;
    std::string fault;        // empty when both loops did what they should
};

// The files of the entries live in `dir`, which is also the folder of the running
// executable (the list file and the pass's log lie there). With `filesExist` false the
// files are never made and every entry is found missing.
PassFigures MeasurePass(const std::wstring& dir, int entries, bool filesExist, int repetitions);

}  // namespace qbench
