#include "platform/long_path.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(ExtendedPath, OnlyPathsBeyondTheClassicLimitTakeTheLongForm) {
    const std::wstring deep = std::wstring(250, L'd') + L"\\QuorvanePendingRebootList.dat";
    const std::wstring atLimit = L"C:\\" + std::wstring(kClassicPathLimit - 3, L'x');
    const struct {
        std::wstring path;
        std::wstring expected;
    } rows[] = {
        {L"C:\\svc\\QuorvanePendingRebootList.dat", L"C:\\svc\\QuorvanePendingRebootList.dat"},
        {atLimit, atLimit},
        {atLimit + L"y", L"\\\\?\\" + atLimit + L"y"},
        {L"d:\\" + deep, L"\\\\?\\d:\\" + deep},
        {L"\\\\server\\share\\" + deep, L"\\\\?\\UNC\\server\\share\\" + deep},
        {L"\\\\?\\C:\\" + deep, L"\\\\?\\C:\\" + deep},
        {L"\\\\?\\UNC\\server\\share\\" + deep, L"\\\\?\\UNC\\server\\share\\" + deep},
        {L"\\\\.\\C:\\" + deep, L"\\\\.\\C:\\" + deep},
        {L"\\??\\C:\\" + deep, L"\\??\\C:\\" + deep},
        // Not fully qualified: the prefix would make it name another file.
        {L"C:" + deep, L"C:" + deep},
        {L"\\" + deep, L"\\" + deep},
        {deep, deep},
        {L"", L""},
    };
    int index = 0;
    for (const auto& row : rows) EXPECT_EQ(ExtendedPath(row.path), row.expected) << "row " << index++;
}

}  // namespace
}  // namespace platform
