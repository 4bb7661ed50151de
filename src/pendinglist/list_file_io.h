#pragma once
// Whole-file reads and writes of the list: one read and one write of the whole record.
// Failures raise the numbered file errors.
#include <cstddef>
#include <cstdint>
#include <string>

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

// Opened for reading, shared only with other readers while it is read.
FileBytes ReadWholeFile(const std::wstring& path);

// Creates or truncates the file and writes the bytes with one write, flushed to disk.
void WriteWholeFile(const std::wstring& path, const std::string& bytes);

}  // namespace basPendingRebootFiles
