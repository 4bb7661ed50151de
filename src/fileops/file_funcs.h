#pragma once
// The file operations with which the service tests, moves and removes the files of its
// list. They report through their results and never raise because a platform call
// failed. Every path is judged as a listed path is, and a file is reached only through a
// handle checked to name it: a pattern, a path the ANSI code page cannot hold exactly,
// another host, a device or a folder redirected by a link names no file here.
#include <cstdint>
#include <optional>
#include <string>

struct FileApi;

class cFileFuncs {
public:
    // Result codes of MoveFile2, MoveFile and DeleteFile.
    static constexpr int32_t kSourceMissing = 0;
    static constexpr int32_t kFailed = 2;
    static constexpr int32_t kDone = 3;

    cFileFuncs();
    explicit cFileFuncs(const FileApi& api);

    // True only for an existing file that the path names: a directory, a pattern, or a
    // path through a redirected folder gives false.
    bool DoesFileExist(std::wstring sFile) const;

    // Renames through the checked handle into a checked folder; 3 only when the source is
    // gone after. A move to another volume cannot be made through the handle: 2.
    int32_t MoveFile2(std::wstring strSourceFile, std::wstring strDestination,
                      bool blnReplace) const;
    int32_t MoveFile(std::wstring strSourceFile, std::wstring strDestination) const;

    // Asks the platform to delete the file at the next restart, for a file that checks out
    // or, when there is none, for a path whose folder checks out; never fails.
    void DeleteFileUntilReboot(std::wstring strFile) const;
    // No destination asks for a delete, not a move.
    void MoveFileUntilReboot(std::wstring strSourceFile,
                             std::optional<std::wstring> strDestination) const;

    // Deletes the file after resetting its attributes; silent in every case.
    void SafeKill(std::wstring strFile) const;
    int32_t DeleteFile(std::wstring strFile) const;

private:
    const FileApi* api_;
};
