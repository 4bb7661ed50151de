#pragma once
// The file operations with which the service tests, moves and removes the files of its
// list. They report through their results and never raise because a platform call
// failed. Paths reach the platform through the ANSI calls; a path that the ANSI code page
// cannot hold exactly names no file here, so that a lossy conversion (an unmappable
// character becomes the wildcard '?') can never reach another file.
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

    // True only for an existing file: a directory, or a path that cannot be searched,
    // gives false. A wildcard path is judged by its first match.
    bool DoesFileExist(std::wstring sFile) const;

    // Moves with copy allowed and write-through; 3 only when the source is gone after.
    int32_t MoveFile2(std::wstring strSourceFile, std::wstring strDestination,
                      bool blnReplace) const;
    int32_t MoveFile(std::wstring strSourceFile, std::wstring strDestination) const;

    // Asks the platform to delete the file at the next restart; never fails.
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
