// Holds the files named on its command line open, sharing read alone, until it is ended:
// a program that keeps its files from being deleted or renamed, across the test programs'
// own ends (a boot of the prefix ends it). The first argument names a file it creates once
// it holds them all; an open that fails ends it with the open's error.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    for (int i = 2; i < argc; ++i) {
        if (::CreateFileW(argv[i], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr) ==
            INVALID_HANDLE_VALUE) {
            return static_cast<int>(::GetLastError());
        }
    }
    if (argc < 2 || ::CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr) == INVALID_HANDLE_VALUE) {
        return static_cast<int>(::GetLastError());
    }
    ::Sleep(INFINITE);
    return 0;
}
