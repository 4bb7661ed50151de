#pragma once
// List files for tests, written by the system's own writer in the ANSI code page.
#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct ListedFile {
    ListedFile(std::wstring path, int32_t flag = 0, std::wstring extra = {})
        : path(std::move(path)), flag(flag), extra(std::move(extra)) {}
    std::wstring path;
    int32_t flag;
    std::wstring extra;
};

std::string ListFileBytes(const std::vector<ListedFile>& entries);

}  // namespace testing_support
