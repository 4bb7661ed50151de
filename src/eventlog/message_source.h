#pragma once
// Where the text of an error code comes from, and how the text is tidied. Free of the
// Windows API: SystemErrorText (format_msg.h) makes the platform calls around these.
#include <cstdint>
#include <string>

namespace modFormatMsg {

enum class MessageSource {
    System,             // the system's own message table
    NetworkManagement,  // 2100..2999: "netmsg.dll"
    Internet,           // 12000..12171: "Wininet.dll"
};

MessageSource MessageSourceFor(int32_t code);

// The file that holds the source's message table; null for the system table.
const char* MessageFileName(MessageSource source);

// Removes exactly one final CR LF. A second pair, a lone LF and anything else stay.
void TrimFinalCrLf(std::wstring& text);

// Removes every trailing CR, LF and blank, for a text that stands inside a line.
void TrimTrailingBreaksAndBlanks(std::wstring& text);

}  // namespace modFormatMsg
