#pragma once
// Files and folders for tests that touch the real file system under Wine.
#include <string>

namespace testing_support {

// The folder of the running test executable, with a trailing backslash; the programs
// under test are built into the same folder.
std::wstring BinDir();

// A fresh folder of its own under the temp folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& Path() const { return path_; }  // with a trailing backslash
    std::wstring operator/(const std::wstring& name) const { return path_ + name; }

private:
    std::wstring path_;
};

bool FileExists(const std::wstring& path);       // a file, not a directory
bool DirectoryExists(const std::wstring& path);
std::string ReadBytes(const std::wstring& path);  // empty when it cannot be read
void WriteBytes(const std::wstring& path, const std::string& bytes);
void RemoveTree(const std::wstring& path);

// The same path through Wine's Z: drive ("Z:\\root\\.wine\\drive_c\\..."); empty when the
// path has no Unix name.
std::wstring WineUnixSpelling(const std::wstring& path);

// The exact ANSI form of a text under the current code page, for comparing file bytes.
std::string Ansi(const std::wstring& text);

}  // namespace testing_support
