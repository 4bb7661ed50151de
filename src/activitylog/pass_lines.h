#pragma once
// The texts of the cleanup pass's log lines: the product signature, one of the labels,
// then the entry's path, joined with nothing between them. Also read back by
// QuorvaneTool's log show.
namespace basPendingRebootFiles {

// Full-width hyphen-minus (U+FF0D), ASCII parentheses.
inline constexpr wchar_t kPassSignature[] = L"Varnholt－Zintra(Quorvane)";

// Each label ends in the full-width colon (U+FF1A).
inline constexpr wchar_t kLabelStart[] = L"清除文件：";            // clearing file:
inline constexpr wchar_t kLabelDeleted[] = L"完成清除文件：";      // finished clearing file:
inline constexpr wchar_t kLabelGone[] = L"文件已经不存在：";       // file no longer exists:
inline constexpr wchar_t kLabelScheduled[] = L"重新启动后清除文件：";  // file will be cleared after restart:
inline constexpr wchar_t kLabelRefused[] = L"拒绝清除文件：";      // refused to clear file:

}  // namespace basPendingRebootFiles
