#pragma once
// The texts the service shows and logs. The Chinese literals are the product's own and
// are converted to the ANSI code page on their way to a message box or the log.

namespace basQuorvaneService {

// "Zintra cleanup module": caption of both message boxes and prefix of the run's entries.
inline constexpr wchar_t ApplicationTitle[] = L"Zintra清除模块";

inline constexpr wchar_t kTextStarted[] = L"启动了";             // started
inline constexpr wchar_t kTextLoadingList[] = L"加载清除列表";   // loading the cleanup list
inline constexpr wchar_t kTextPreparingList[] = L"准备清除列表"; // preparing the cleanup list
inline constexpr wchar_t kTextCleanupDone[] = L"清除完成";       // cleanup finished
inline constexpr wchar_t kTextStopped[] = L"停止了";             // stopped
// does not trust the cleanup list: + the folder or list that others can write
inline constexpr wchar_t kTextUntrustedList[] = L"不信任清除列表：";

// must run on Windows NT/2000/XP/2003/Vista
inline constexpr wchar_t kTextNeedsNtFamily[] = L"必须运行在Windows NT/2000/XP/2003/Vista。";
// must be started as a Windows service
inline constexpr wchar_t kTextNeedsServiceStart[] = L"必须以Windows服务的方式启动。";

}  // namespace basQuorvaneService
