#pragma once
// The file operations with which the service tests, moves and removes the files of its
// list. They report through their results and never raise because a platform call
// failed. Every path is judged as a listed path is, and a file is reached only through a
// handle checked to name it: a pattern, a path the ANSI code page cannot hold exactly,
// another host, a device or a folder redirected by a link names no file here, and
// LastRefusal() says so.
//
// One object is one route: it holds the file its last existence test checked, so that the
// step that follows on the same path (DeleteFileNow, then DeleteFileUntilReboot) acts on
// that very file, and the path is judged and the file opened once.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fileops/checked_file.h"
#include "fileops/staging.h"

namespace fileops {
class BootCarry;
class RequestedDeletes;
class StagingFolder;
}  // namespace fileops

// What the route may use beyond the file itself.
struct RouteSetup {
    // A folder inside the caller's own trusted folder, created on first use; a file that
    // cannot be deleted now is moved there and its new name requested. Empty: none.
    std::wstring stagingFolder;
    // The service whose start type is set to start with the system when a file is carried
    // to the next start. Empty: nothing is carried.
    std::wstring serviceName;
    // The account the service runs as, for judging who else could change a path (SID
    // text); empty: the account this process runs as.
    std::wstring serviceSid;
    // Nothing is changed: each step that would change a file, the staging folder, the
    // restart queue or the service is weighed instead, with the answer the platform would
    // most likely give now, and a file the route would remove counts as gone for the
    // entries after it. What a run started now would do, asked first.
    bool changesNothing = false;
};

class cFileFuncs {
public:
    // Result codes of MoveFile2, MoveFile and DeleteFile.
    static constexpr int32_t kSourceMissing = 0;
    static constexpr int32_t kFailed = 2;
    static constexpr int32_t kDone = 3;

    // How the last DeleteFileUntilReboot left its path when it refused nothing.
    enum class RestartStep {
        None,             // nothing was asked (a refusal, or no call yet)
        Staged,           // moved into the staging folder, the staged name requested
        RequestedByPath,  // the path itself requested: no one but an administrator can redirect it
        Carried,          // no request: left for the service's next start, which follows the restart
        Withheld,         // no request, as others could redirect the path, and nothing to carry with
    };

    cFileFuncs();
    explicit cFileFuncs(RouteSetup setup);
    ~cFileFuncs();
    cFileFuncs(const cFileFuncs&) = delete;
    cFileFuncs& operator=(const cFileFuncs&) = delete;

    // True only for an existing file that the path names: a directory, a pattern, or a
    // path through a redirected folder gives false. A file refused to the route (access
    // denied) is not "there": LastRefusal() names the error.
    bool DoesFileExist(std::wstring sFile);

    // Within a volume, the rename through the checked handle; to another volume, a copy
    // through handles, flushed, then the source deleted through its handle. 3 only when
    // the file is at the destination and gone from the source. A pattern gives 2, every
    // pattern, as nothing is searched: nothing moves, and LastRefusal() is 123.
    int32_t MoveFile2(std::wstring strSourceFile, std::wstring strDestination, bool blnReplace);
    int32_t MoveFile(std::wstring strSourceFile, std::wstring strDestination);

    // Has the file deleted at the next restart; never fails. A file the checked handle can
    // move is staged; otherwise its path is requested only when no one but an
    // administrator could redirect it, and the file is carried to the next start where
    // the route can do that; LastRefusal() is set where none of these could be done.
    void DeleteFileUntilReboot(std::wstring strFile);
    // No destination asks for a delete, not a move.
    void MoveFileUntilReboot(std::wstring strSourceFile, std::optional<std::wstring> strDestination);

    // Deletes the file after resetting its attributes; silent in every case. DeleteFile of
    // a pattern gives 2, as MoveFile2 does.
    void SafeKill(std::wstring strFile);
    int32_t DeleteFile(std::wstring strFile);

    // Why the last operation left its path alone although something may stand there: 0,
    // or the Win32 error the failing step reported (123 a pattern, device or control
    // character, 50 another host, 4395 a redirection seen, 5 access denied...).
    uint32_t LastRefusal() const { return refusal_; }
    RestartStep LastRestartStep() const { return restartStep_; }
    // Why the last DeleteNow left its file: the delete mark's error, or the open's (32 in
    // use without delete sharing); 0 when it did not get that far.
    uint32_t LastDeleteError() const { return deleteError_; }
    // Why the last DeleteFileUntilReboot did not stage its file: the staging's error (17 on
    // another volume); 0 when it was staged or staging was not tried.
    uint32_t LastStageError() const { return stageError_; }

    // DeleteFileNow's delete: through the file the last existence test of the same path
    // held, else through a file judged and opened now. True when the platform took the
    // delete mark.
    bool DeleteNow(const std::wstring& path);

    // Before a pass: what earlier runs left in the staging folder finished, the staged
    // files that may be deleted now noted, and the requests by path whose files are gone
    // taken back.
    void BeginPass();
    // Deletes the staged files of earlier runs that came from `listedPath`: true when one
    // went. The pass asks at the entry of that path, so that its line follows the delete.
    bool ClearStaged(const std::wstring& listedPath);
    // The listed paths of the staged files still to be tried, after the pass's entries.
    std::vector<std::wstring> StagedLeft() const;
    // After a pass: when nothing was carried, the service's start type is put back.
    void EndPass();

private:
    struct Held {
        std::wstring listed;   // the text the caller gave
        fileops::ListedPath path;
        fileops::CheckedFile file;
        uint32_t openError = 0;  // the file shows only to an attribute open: why (32)
        uint32_t markError = 0;  // the delete mark the platform refused (5 read-only or running)
    };

    std::optional<fileops::ListedPath> Judge(const std::wstring& text);
    Held Take(const std::wstring& listed);
    Held OpenForRoute(const fileops::ListedPath& path, const std::wstring& listed);
    void Request(const std::wstring& full);
    void RequestByPathOrCarry(const fileops::ListedPath& path, uint32_t reason, HANDLE handle);
    void PathCleared(const std::wstring& full);
    fileops::RequestedDeletes& Requested();
    const std::wstring& ServiceSid();
    bool Dry() const { return setup_.changesNothing; }
    bool PredictedGone(uint64_t number) const;
    [[nodiscard]] DWORD MarkOrWeigh(const fileops::CheckedFile& file);
    [[nodiscard]] DWORD StageOrWeigh(const fileops::CheckedFile& file, const std::wstring& listedPath,
                                     std::wstring& staged);

    RouteSetup setup_;
    std::unique_ptr<fileops::StagingFolder> staging_;
    std::unique_ptr<fileops::BootCarry> carry_;
    std::unique_ptr<fileops::RequestedDeletes> requested_;  // read on the first request
    std::optional<std::vector<std::wstring>> pathRequests_;  // the recorded requests by path, upper case
    std::vector<fileops::StagedFile> stagedLeft_;             // noted by BeginPass, not yet tried
    Held held_;
    std::vector<uint64_t> predictedGone_;  // changesNothing: the files the route would remove
    uint32_t refusal_ = 0;
    uint32_t deleteError_ = 0;
    uint32_t stageError_ = 0;
    RestartStep restartStep_ = RestartStep::None;
};
