#include "fileops/delete_file_now.h"

#include "fileops/platform_path.h"
#include "platform/win32.h"

namespace basQuorvaneService {

bool DeleteFileNow(const std::wstring& path) {
    const auto target = fileops_detail::AnsiTargetPath(path);
    return target && ::DeleteFileA(target->c_str()) != 0;
}

}  // namespace basQuorvaneService
