#include "platform/long_path.h"

namespace platform {
namespace {

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool IsDriveAbsolute(std::wstring_view path) {
    const wchar_t letter = path.size() >= 3 ? path[0] : L'\0';
    return ((letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z')) &&
           path[1] == L':' && path[2] == L'\\';
}

}  // namespace

std::wstring ExtendedPath(std::wstring_view path) {
    if (path.size() <= kClassicPathLimit) return std::wstring(path);
    return LiteralForm(path);
}

std::wstring LiteralForm(std::wstring_view path) {
    if (IsDriveAbsolute(path)) return L"\\\\?\\" + std::wstring(path);
    // These already reach the object manager as they stand.
    if (StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\\\.\\") || StartsWith(path, L"\\??\\")) {
        return std::wstring(path);
    }
    if (StartsWith(path, L"\\\\")) return L"\\\\?\\UNC\\" + std::wstring(path.substr(2));
    return std::wstring(path);
}

std::wstring WithoutLiteralPrefix(std::wstring path) {
    if (StartsWith(path, L"\\\\?\\UNC\\")) return L"\\\\" + path.substr(8);
    if (StartsWith(path, L"\\\\?\\")) path.erase(0, 4);
    return path;
}

}  // namespace platform
