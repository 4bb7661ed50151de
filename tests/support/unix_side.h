#pragma once
// The Unix side of a Wine prefix, for tests that need what a Windows program cannot make
// there: a Unix symbolic link inside drive_c is a reparse point to Windows programs, as a
// junction or a symbolic link is on Windows.
#include <string>

namespace testing_support {

// The Unix path of a Windows path; empty when there is none.
std::string UnixPathOf(const std::wstring& windowsPath);

// Runs a shell script on the Unix side and waits until it has finished (Wine does not
// track a Unix child, so the script signals its end through a file). False on timeout.
bool RunUnixScript(const std::string& script, unsigned timeoutMs = 30000);

// "ln -s TARGET LINK", both given as Windows paths.
bool MakeUnixLink(const std::wstring& target, const std::wstring& link);

// "ln TARGET LINK": a second name of the same file.
bool MakeUnixHardLink(const std::wstring& target, const std::wstring& link);

// A Unix script left running in the background until Stop() or destruction. It loops
// until "$STOP" exists, and creates "$READY" once it is at work.
class UnixBackground {
public:
    explicit UnixBackground(const std::string& script);
    ~UnixBackground();
    UnixBackground(const UnixBackground&) = delete;
    UnixBackground& operator=(const UnixBackground&) = delete;

    bool Started(unsigned timeoutMs = 10000) const;  // the script has begun its work
    void Stop();

private:
    // The script sees them as "$STOP" (exists: stop) and "$READY" (create it once working).
    std::wstring stop_, ready_, done_;
    bool stopped_ = false;
};

}  // namespace testing_support
