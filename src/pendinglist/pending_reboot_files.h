#pragma once
// The pending reboot list: the list file beside the executable, its process-wide
// in-memory mirror, and the one cleanup pass over it. Everything runs on the main thread.
#include <cstdint>
#include <string>

#include "fileops/file_funcs.h"
#include "pendinglist/job_record.h"
#include "pendinglist/pending_reboot_list.h"

namespace basPendingRebootFiles {

inline constexpr wchar_t kListFileName[] = L"QuorvanePendingRebootList.dat";
// Damaged lists are kept beside the list under ".bad", then ".bad.1" to ".bad.9".
inline constexpr int kDamagedCopies = 10;
std::wstring DamagedCopySuffix(int copy);

// The process-wide list; empty at process start.
PendingRebootList& List();

// The component's one file operations object, created on first use and kept for the
// process; its staging folder lies in the executable's folder.
cFileFuncs& Files();

// What Load and the cleanup pass did in this run, for the run's report.
JobRecord& RunRecord();

// AppDir() followed by the list file's name; recomputed at every call.
std::wstring ListFilePath();

// Replaces the in-memory list with the list file, or creates the file when it is
// missing. Only a file read in full and found malformed is damaged: it moves to the first
// free damaged-copy name and a fresh list is written; with no free name, or when it cannot
// be moved, it stays exactly as it is. A file that cannot be opened or read stays as it is
// too, and so does a link at the list's name. The read takes no lock; a rewrite takes the
// update lock that QuorvaneTool takes for the same file, waiting for it at most ten
// seconds. Reports only through the activity log.
void Load();

// Stamps the header and version and writes the whole in-memory list beside the list file,
// then renames it over the list file (never over a link). Reports only through the
// activity log.
void Save();

// Deletes each listed file now where it can, drops the entries whose files are gone,
// and schedules the others for deletion at the next restart.
void CleanupPass();

// The lowest index whose path matches without regard to case, or -1.
int32_t FindEntry(const std::wstring& path);
void RemoveEntry(const std::wstring& path);

}  // namespace basPendingRebootFiles
