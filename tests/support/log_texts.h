#pragma once
// The words of the service's log entries and message boxes, spelled here as the design
// gives them and never taken from the product's headers, so that a changed product text
// fails the tests. Wide and free of the Windows API, for the host tests too;
// support/pass_lines.h gives the entries as the log holds them.
#include <string>

namespace testing_support {
namespace texts {

// A pass line: the signature (full-width hyphen-minus U+FF0D, ASCII parentheses), a label
// ending in the full-width colon U+FF1A, the path, nothing between them.
inline constexpr wchar_t kSignature[] = L"Varnholt－Zintra(Quorvane)";
inline constexpr wchar_t kStartLabel[] = L"清除文件：";               // clearing file:
inline constexpr wchar_t kDeletedLabel[] = L"完成清除文件：";         // finished clearing file:
inline constexpr wchar_t kGoneLabel[] = L"文件已经不存在：";          // file no longer exists:
inline constexpr wchar_t kScheduledLabel[] = L"重新启动后清除文件：";  // cleared after restart:
inline constexpr wchar_t kRefusedLabel[] = L"拒绝清除文件：";         // refused to clear file:

// A run entry: the title, then one of the texts. The title is the boxes' caption too.
inline constexpr wchar_t kTitle[] = L"Zintra清除模块";
inline constexpr wchar_t kStarted[] = L"启动了";
inline constexpr wchar_t kLoadingList[] = L"加载清除列表";
inline constexpr wchar_t kPreparingList[] = L"准备清除列表";
inline constexpr wchar_t kCleanupDone[] = L"清除完成";
inline constexpr wchar_t kStopped[] = L"停止了";
inline constexpr wchar_t kUntrustedList[] = L"不信任清除列表：";  // + the object that failed

// The boxes' texts, after the title.
inline constexpr wchar_t kNeedsNtFamily[] = L"必须运行在Windows NT/2000/XP/2003/Vista。";
inline constexpr wchar_t kNeedsServiceStart[] = L"必须以Windows服务的方式启动。";

}  // namespace texts

inline std::wstring PassText(const wchar_t* label, const std::wstring& path) {
    return texts::kSignature + (label + path);
}
inline std::wstring TitledText(const std::wstring& text) { return texts::kTitle + text; }

}  // namespace testing_support
