#include "support/message_box.h"

#include "platform/win32.h"

namespace testing_support {
namespace {

constexpr wchar_t kDialogClass[] = L"#32770";

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param) {
    wchar_t className[32] = {};
    ::GetClassNameW(child, className, 32);
    if (::lstrcmpiW(className, L"Static") != 0) return TRUE;
    wchar_t text[1024] = {};
    ::GetWindowTextW(child, text, 1024);
    if (text[0] != L'\0') {
        *reinterpret_cast<std::wstring*>(param) = text;  // the icon's static has no text
        return FALSE;
    }
    return TRUE;
}

}  // namespace

bool IsMessageBoxShown(const std::wstring& caption) {
    return ::FindWindowW(kDialogClass, caption.c_str()) != nullptr;
}

namespace {

HWND FindBox(const std::wstring& caption, unsigned timeoutMs) {
    const DWORD start = ::GetTickCount();
    HWND box = nullptr;
    while ((box = ::FindWindowW(kDialogClass, caption.c_str())) == nullptr) {
        if (::GetTickCount() - start > timeoutMs) return nullptr;
        ::Sleep(100);
    }
    return box;
}

}  // namespace

bool WaitForMessageBox(const std::wstring& caption, unsigned timeoutMs) {
    return FindBox(caption, timeoutMs) != nullptr;
}

SeenMessageBox DismissMessageBox(const std::wstring& caption, unsigned timeoutMs) {
    SeenMessageBox seen;
    const HWND box = FindBox(caption, timeoutMs);
    if (box == nullptr) return seen;
    seen.found = true;
    ::EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&seen.text));
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return seen;
}

}  // namespace testing_support
