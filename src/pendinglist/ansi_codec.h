#pragma once
// The list's text conversion and lower-case mapping on the platform: the system's ANSI
// code page and the platform's own lower-case mapping of the whole text.
#include "pendinglist/list_format.h"

namespace basPendingRebootFiles {

class AnsiCodec : public TextCodec {
public:
    size_t Decode(const char* bytes, size_t count, wchar_t* out) const override;
    void Encode(std::wstring_view text, std::string& out) const override;
};

const AnsiCodec& SystemCodec();

void PlatformLowerCase(wchar_t* text, size_t length);

}  // namespace basPendingRebootFiles
