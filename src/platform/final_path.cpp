#include "platform/final_path.h"

#include <vector>

namespace platform {

bool FinalPathByHandle(HANDLE handle, std::wstring& path) {
    std::wstring buffer(MAX_PATH + 8, L'\0');
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(handle, buffer.data(),
                                                         static_cast<DWORD>(buffer.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return false;
        if (length < buffer.size()) {
            buffer.resize(length);
            path = std::move(buffer);
            return true;
        }
        buffer.resize(length + 1);  // too small: the length asked for counts the NUL
    }
}

bool PathWithinVolume(HANDLE handle, std::wstring& path) {
    std::vector<unsigned char> buffer(sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
    if (!::GetFileInformationByHandleEx(handle, FileNameInfo, info, static_cast<DWORD>(buffer.size()))) {
        return false;
    }
    path.assign(info->FileName, info->FileNameLength / sizeof(wchar_t));
    return true;
}

}  // namespace platform
