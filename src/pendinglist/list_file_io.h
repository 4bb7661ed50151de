#pragma once
// Whole-file reads and writes of the list: one read and one write of the whole record,
// through handles checked as the program's own files are (see fileops/own_file.h).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ownfiles/own_file.h"

namespace basPendingRebootFiles {

// The bytes of a file, read with one read into memory that can be handed back to the
// system page by page once it has been converted.
class FileBytes {
public:
    FileBytes() = default;
    FileBytes(FileBytes&& other) noexcept;
    FileBytes& operator=(FileBytes&& other) noexcept;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;
    ~FileBytes();

    const uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }

    // The bytes before `offset` are no longer needed.
    void ReleaseBefore(size_t offset);

    static FileBytes Allocate(size_t size);
    uint8_t* MutableData() { return data_; }

private:
    void Free();
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t released_ = 0;
};

// Reads the whole opened file with one read (1 GiB steps beyond) into memory that can be
// handed back page by page. Raises the numbered file errors.
FileBytes ReadWholeFile(HANDLE file);

// Writes the bytes to `temporary`, created new in `folder` (one left there by an earlier
// writer is removed first through a checked handle; a link there fails the write), flushes
// them, then renames that file through its handle onto `name`: over an existing file only
// when `replace` (a read-only one included; never a link or a folder, which stay as they
// are). `beforeRename` runs between the two steps. Any failure removes the temporary file
// and leaves `name` as it was. A rename refused for the moment (a reader that does not
// share deletion) is tried again for up to `retryMs`. 0, or the error.
[[nodiscard]] DWORD WriteThenRename(const ownfiles::OwnFolder& folder, const std::wstring& name,
                              const std::wstring& temporary, const std::string& bytes, bool replace,
                              DWORD retryMs = 0, const std::function<void()>& beforeRename = {});

// Renames the opened file to the first of `names` that nothing holds, never over anything:
// a name held by a file, open or not, by a link or by a folder is passed over. 0, the
// rename's error, or ERROR_ALREADY_EXISTS when every name is held; `taken` gets the name.
[[nodiscard]] DWORD MoveToFreeName(const ownfiles::OwnFolder& folder, HANDLE file, const std::vector<std::wstring>& names,
                             std::wstring& taken);

}  // namespace basPendingRebootFiles
