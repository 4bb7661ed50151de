#pragma once
// The staging folder inside the service's own folder. A listed file that cannot be deleted
// now is renamed, through its checked handle, into this folder under a name of its own,
// and that name is what the platform is asked to delete at the next restart: a request
// for the listed path would be carried out on whatever the path reaches at that restart,
// and the owner of a folder on it could make that any file on the system. The service's
// folder admits no one else, so nothing can redirect a staged name.
//
// Every file here has its record (staging_records.h), and every change is ordered so that
// a run ended at any moment leaves a state the next start finishes: a record is written
// and flushed before its file arrives, and removed only after its file and its request
// are gone.
#include <cstdint>
#include <string>
#include <vector>

#include "ownfiles/own_file.h"
#include "fileops/staging_records.h"

namespace fileops {

struct CheckedFile;
class RequestedDeletes;

inline constexpr wchar_t kStagingFolderName[] = L"QuorvaneStaging";
inline constexpr wchar_t kStagedSuffix[] = L".staged";
inline constexpr wchar_t kRecordSuffix[] = L".path";
inline constexpr wchar_t kCarriedSuffix[] = L".carried";
inline constexpr wchar_t kPathRequestSuffix[] = L".request";
inline constexpr wchar_t kStartTypeRecordName[] = L"start-type.record";

struct StagedFile {
    std::wstring name;  // "NAME", without a suffix
    StagedRecord record;
    bool present = false;  // the staged file is still in the folder
};

struct CarriedEntry {
    std::wstring name;  // "NAME", without a suffix
    CarriedRecord record;
};

struct PathRequest {
    std::wstring name;  // "NAME", without a suffix
    std::wstring listedPath;
};

// What a restore did, decided by where the file is afterwards.
struct RestoreResult {
    enum Outcome {
        Restored,     // at its listed path, its request and record gone
        NotMoved,     // still staged: `error` is what kept it (0 when nothing was said)
        BroughtBack,  // it arrived somewhere else and is staged again under its name
        Astray,       // it arrived somewhere else and could not be brought back: `error`
    };
    RestoreResult(Outcome outcome, DWORD error, std::wstring where = {})
        : outcome(outcome), error(error), where(std::move(where)) {}

    Outcome outcome;
    DWORD error;
    std::wstring where;  // Astray: where the file is, as far as its handle tells
};

class StagingFolder {
public:
    // `folder`: the staging folder's full path, "X:\...\QuorvaneStaging".
    explicit StagingFolder(std::wstring folder);

    const std::wstring& Path() const { return path_; }
    // A file of the folder by the folder's final path, as the service requests it for the
    // restart; empty while the folder is not open.
    std::wstring PathOf(const std::wstring& fileName) const { return open_ ? folder_.PathOf(fileName) : std::wstring(); }

    // The folder checked and held open, created first when `create`: 0 or the error
    // (ERROR_PATH_NOT_FOUND when it is missing and not to be created).
    [[nodiscard]] DWORD OpenFolder(bool create);

    // Moves the checked file into the folder under a new name, its record first. 0 with
    // the staged file's full path; ERROR_NOT_SAME_DEVICE (17) when the file lies on another
    // volume; 4395 when the file that arrived is not the one checked (a rename by path,
    // under Wine): it is put back, or kept with a record that says so; or the error of the
    // step that failed, the file then where it was and no record left.
    [[nodiscard]] DWORD Stage(const CheckedFile& file, const std::wstring& listedPath, std::wstring& staged);

    // What Stage would answer now, changing nothing: 0 when the folder opens (or could be
    // created in the service's folder) and the file lies on its volume; 17 on another
    // volume; or the error of the folder's opening.
    [[nodiscard]] DWORD WeighStage(const CheckedFile& file);

    // Finishes what earlier runs left: a record whose file is gone goes, its request first;
    // a start type record never put in place goes. Returns the staged files that may be
    // deleted now: those whose records name them by their number.
    std::vector<StagedFile> Sweep();

    // Deletes a staged file Sweep returned, its attributes reset, then takes its request
    // back and removes its record; one that still cannot be deleted is requested where it is
    // not yet. True when it was deleted.
    bool Clear(const StagedFile& staged, RequestedDeletes& requested);

    // The staged files and their records, oldest first.
    std::vector<StagedFile> List();
    // Reads one record; false when there is none of that name or it cannot be read.
    bool Read(const std::wstring& name, StagedFile& staged);

    // Moves a staged file, as Read gave it, back to its listed path through its handle,
    // into the checked folder of that path, with its attributes; never over a file that
    // stands there again, never through a redirected folder. Afterwards it checks where
    // the file arrived: anywhere else, it is moved back under its staged name, its record
    // and request unchanged. Only a file that arrived takes its request back and its record.
    RestoreResult Restore(const StagedFile& staged);

    // The entries carried to the next start, and the requests made by a listed path.
    std::vector<CarriedEntry> Carried();
    std::vector<PathRequest> PathRequests();
    [[nodiscard]] DWORD RecordCarried(const CarriedRecord& record);
    [[nodiscard]] DWORD RecordPathRequest(const std::wstring& listedPath);

    // The start type record: 0 with it, ERROR_FILE_NOT_FOUND when there is none, or the
    // error. Written new and renamed into place, never over one that exists.
    [[nodiscard]] DWORD ReadStartType(StartTypeRecord& record);
    [[nodiscard]] DWORD WriteStartType(const StartTypeRecord& record);

    // Removes the record "NAME" + `suffix` (a whole name when `suffix` is empty).
    [[nodiscard]] DWORD RemoveRecord(const std::wstring& name, const wchar_t* suffix);

private:
    [[nodiscard]] DWORD CreateRecord(const std::wstring& text, const wchar_t* suffix, std::wstring& name);
    [[nodiscard]] DWORD ReadText(const std::wstring& fileName, std::wstring& text);
    std::vector<std::wstring> Names(const wchar_t* suffix);
    std::wstring NewName();
    [[nodiscard]] DWORD KeepAsForeign(const std::wstring& name, ownfiles::OwnFile& arrived, const StagedRecord& record);

    std::wstring path_;
    ownfiles::OwnFolder folder_;
    bool open_ = false;
    unsigned sequence_ = 0;
};

}  // namespace fileops
