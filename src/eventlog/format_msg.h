#pragma once
// The operating system's message text for an error code.
#include <cstdint>
#include <string>

namespace modFormatMsg {

struct MessageCalls;  // format_msg_calls.h

// The message for code, less one final CR LF; empty when the message file cannot be
// loaded or holds no message for the code. Insert sequences such as %1 stay as they are.
// Never raises.
std::wstring SystemErrorText(int32_t code);

// The same through the given platform calls.
std::wstring SystemErrorText(int32_t code, const MessageCalls& calls);

// The message for code without any trailing line breaks or blanks, for a text that stands
// inside a line (a log header, an event's insert). Never raises.
std::wstring TrimmedErrorText(int32_t code);

}  // namespace modFormatMsg
