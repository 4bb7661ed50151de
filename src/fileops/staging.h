#pragma once
// The staging folder inside the service's own folder. A listed file that cannot be deleted
// now is renamed, through its checked handle, into this folder under a name of its own,
// and that name is what the platform is asked to delete at the next restart: a request
// for the listed path would be carried out on whatever the path reaches at that restart,
// and the owner of a folder on it could make that any file on the system. The service's
// folder admits no one else, so nothing can redirect a staged name.
//
// Beside each staged file "NAME.staged" lies its record "NAME.path": the listed path it
// came from and its attributes, so that it can be put back until it is deleted.
#include <cstdint>
#include <string>
#include <vector>

#include "fileops/own_file.h"

namespace fileops {

struct CheckedFile;

inline constexpr wchar_t kStagingFolderName[] = L"QuorvaneStaging";
inline constexpr wchar_t kStagedSuffix[] = L".staged";
inline constexpr wchar_t kRecordSuffix[] = L".path";

struct StagedFile {
    std::wstring name;        // "NAME", without a suffix
    std::wstring listedPath;  // where it was: "X:\dir\name"
    uint32_t attributes = 0;  // its attributes there
    bool present = false;     // the staged file is still in the folder
};

class StagingFolder {
public:
    // `folder`: the staging folder's full path, "X:\...\QuorvaneStaging".
    explicit StagingFolder(std::wstring folder);

    const std::wstring& Path() const { return path_; }

    // Moves the checked file into the folder under a new name and records where it was.
    // 0 with the staged file's full path; ERROR_NOT_SAME_DEVICE (17) when the file lies on
    // another volume; or the error of the step that failed (the file then stays where it
    // was and no record is left).
    unsigned long Stage(const CheckedFile& file, const std::wstring& listedPath, std::wstring& staged);

    // Tries every staged file again: its attributes reset (a file with more than one
    // name keeps them: they belong to its other names too) and deleted where it can be
    // now, its record with it; records whose file is gone are removed.
    void Sweep();

    // The staged files and their records, oldest first.
    std::vector<StagedFile> List();

    // Reads one record; false when there is none of that name.
    bool Read(const std::wstring& name, StagedFile& staged);

    // Moves a staged file, as Read gave it, back to its listed path, through its handle
    // into the checked folder of that path, with its attributes; never over a file that
    // stands there again (ERROR_FILE_EXISTS), never through a redirected folder (4395);
    // then withdraws its restart request and removes its record. 0 or the error.
    unsigned long Restore(const StagedFile& staged);

    // The folder checked and held open, created first when `create`: 0 or the error
    // (ERROR_PATH_NOT_FOUND when it is missing and not to be created).
    unsigned long OpenFolder(bool create);

private:
    void Forget(const std::wstring& name) const;  // removes a record
    bool StagedIsHeld(const std::wstring& stagedName, const CheckedFile& file,
                      const std::wstring& listedPath) const;

    std::wstring path_;
    OwnFolder folder_;
    bool open_ = false;
    unsigned sequence_ = 0;
};

}  // namespace fileops
