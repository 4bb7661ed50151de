#include "fileops/delete_file_now.h"

#include "fileops/file_funcs.h"

namespace basQuorvaneService {

bool DeleteFileNow(const std::wstring& path) {
    cFileFuncs files;
    return files.DeleteNow(path);
}

bool DeleteFileNow(const std::wstring& path, cFileFuncs& files) { return files.DeleteNow(path); }

}  // namespace basQuorvaneService
