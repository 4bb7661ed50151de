#include "pendinglist/ansi_codec.h"

#include "platform/win32.h"

namespace basPendingRebootFiles {

size_t AnsiCodec::Decode(const char* bytes, size_t count, wchar_t* out) const {
    if (count == 0) return 0;
    const int units = ::MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(count), out,
                                            static_cast<int>(count));
    return units > 0 ? static_cast<size_t>(units) : 0;
}

void AnsiCodec::Encode(std::wstring_view text, std::string& out) const {
    if (text.empty()) return;
    const size_t at = out.size();
    // Room for the widest ANSI form (four bytes a unit covers every code page), trimmed
    // to what was written.
    out.resize(at + text.size() * 4);
    const int bytes = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                            out.data() + at, static_cast<int>(text.size() * 4),
                                            nullptr, nullptr);
    out.resize(at + (bytes > 0 ? static_cast<size_t>(bytes) : 0));
}

const AnsiCodec& SystemCodec() {
    static const AnsiCodec codec;
    return codec;
}

void PlatformLowerCase(wchar_t* text, size_t length) {
    ::CharLowerBuffW(text, static_cast<DWORD>(length));
}

}  // namespace basPendingRebootFiles
