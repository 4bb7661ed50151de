#pragma once
// Reads and dismisses the message boxes of a program under test. They are real windows
// only when the Wine prefix was made with an X display (scripts/test.sh starts Xvfb).
#include <string>

namespace testing_support {

struct SeenMessageBox {
    bool found = false;
    std::wstring text;
};

// Waits up to timeoutMs for a top-level dialog with this caption, reads its message text
// and presses OK.
SeenMessageBox DismissMessageBox(const std::wstring& caption, unsigned timeoutMs);

bool IsMessageBoxShown(const std::wstring& caption);

// Waits up to timeoutMs for the box to be shown, and leaves it open.
bool WaitForMessageBox(const std::wstring& caption, unsigned timeoutMs);

}  // namespace testing_support
