#pragma once
// Whole-file reads and writes of the list: one read and one write of the whole record.
// Failures raise the numbered file errors. Paths are handed in ready for the wide calls.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// Opened for reading, shared only with other readers while it is read. Nothing when no
// file stands at `path`: nothing at all, or a folder.
std::optional<FileBytes> ReadWholeFile(const std::wstring& path);

// Creates or truncates `path` and writes the bytes with one write, flushed to disk. On any
// failure the file is removed again. 0, or the error (a short write counts as a full disk).
unsigned long WriteFlushedFile(const std::wstring& path, const std::string& bytes);

// Writes the bytes to `temporary` with one write, flushed to disk, and renames it onto
// `path`: over an existing file (a read-only one too) only when `replace` is set. Any
// failure removes the temporary file and leaves `path` as it was; a folder at `path`
// fails as access denied.
void ReplaceWholeFile(const std::wstring& path, const std::wstring& temporary,
                      const std::string& bytes, bool replace);

// Renames `path` to the first of `names` that nothing holds, never over anything: a name
// held by a file, open or not, or by a folder is passed over. Raises the rename's error,
// or "file already exists" when every name is held.
void MoveToFreeName(const std::wstring& path, const std::vector<std::wstring>& names);

}  // namespace basPendingRebootFiles
