#pragma once
// The file operations with which the service tests, moves and removes the files of its
// list. They report through their results and never raise because a platform call
// failed. Every path is judged as a listed path is, and a file is reached only through a
// handle checked to name it: a pattern, a path the ANSI code page cannot hold exactly,
// another host, a device or a folder redirected by a link names no file here, and
// LastRefusal() says so.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace fileops {
class PendingDeletes;
class StagingFolder;
}  // namespace fileops

class cFileFuncs {
public:
    // Result codes of MoveFile2, MoveFile and DeleteFile.
    static constexpr int32_t kSourceMissing = 0;
    static constexpr int32_t kFailed = 2;
    static constexpr int32_t kDone = 3;

    // Without a staging folder a delete at restart is requested for the file's own path.
    cFileFuncs();
    // `stagingFolder`: a folder inside the caller's own trusted folder, created on first
    // use; a file that cannot be deleted now is moved there and its new name requested.
    explicit cFileFuncs(std::wstring stagingFolder);
    ~cFileFuncs();
    cFileFuncs(const cFileFuncs&) = delete;
    cFileFuncs& operator=(const cFileFuncs&) = delete;

    // True only for an existing file that the path names: a directory, a pattern, or a
    // path through a redirected folder gives false.
    bool DoesFileExist(std::wstring sFile) const;

    // Within a volume, the rename through the checked handle; to another volume, a copy
    // through handles, flushed, then the source deleted through its handle. 3 only when
    // the file is at the destination and gone from the source.
    int32_t MoveFile2(std::wstring strSourceFile, std::wstring strDestination,
                      bool blnReplace) const;
    int32_t MoveFile(std::wstring strSourceFile, std::wstring strDestination) const;

    // Asks the platform to delete the file at the next restart; never fails. An existing
    // file is staged first where there is a staging folder; a missing file, a missing
    // folder or a directory is requested by its path once its nearest folder checks out.
    void DeleteFileUntilReboot(std::wstring strFile) const;
    // No destination asks for a delete, not a move.
    void MoveFileUntilReboot(std::wstring strSourceFile,
                             std::optional<std::wstring> strDestination) const;

    // Deletes the file after resetting its attributes; silent in every case.
    void SafeKill(std::wstring strFile) const;
    int32_t DeleteFile(std::wstring strFile) const;

    // Why the last operation left its path alone although something may stand there: 0,
    // or a Win32 error number (123 a pattern, device or control character, 50 another
    // host, 4395 a redirected folder, or the failing call's own, a restart request's too).
    uint32_t LastRefusal() const;

    // Tries the files staged by earlier runs again (the staging folder's own sweep).
    void RetryStaged() const;

private:
    void Request(const std::wstring& full) const;

    std::unique_ptr<fileops::StagingFolder> staging_;
    mutable std::unique_ptr<fileops::PendingDeletes> requested_;  // read on the first request
};
