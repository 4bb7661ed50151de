#include "eventlog/message_source.h"

namespace modFormatMsg {

MessageSource MessageSourceFor(int32_t code) {
    if (code >= 2100 && code <= 2999) return MessageSource::NetworkManagement;
    if (code >= 12000 && code <= 12171) return MessageSource::Internet;
    return MessageSource::System;
}

const char* MessageFileName(MessageSource source) {
    switch (source) {
        case MessageSource::NetworkManagement: return "netmsg.dll";
        case MessageSource::Internet: return "Wininet.dll";
        case MessageSource::System: break;
    }
    return nullptr;
}

void TrimFinalCrLf(std::wstring& text) {
    const size_t n = text.size();
    if (n >= 2 && text[n - 2] == L'\r' && text[n - 1] == L'\n') text.resize(n - 2);
}

void TrimTrailingBreaksAndBlanks(std::wstring& text) {
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
}

}  // namespace modFormatMsg
