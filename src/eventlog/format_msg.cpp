#include "eventlog/format_msg.h"

#include <cstring>
#include <exception>
#include <string_view>

#include "eventlog/format_msg_calls.h"
#include "eventlog/message_source.h"
#include "platform/handles.h"
#include "platform/text.h"

namespace modFormatMsg {
namespace {

constexpr DWORD kBufferSize = 256;
constexpr DWORD kFromModule =
    FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
constexpr DWORD kFromSystem = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;

// Released through the same table that loaded it.
using LoadedMessageFile = platform::UniqueClosedBy<HMODULE, BOOL>;

}  // namespace

std::wstring SystemErrorText(int32_t code) { return SystemErrorText(code, MessageCalls{}); }

std::wstring SystemErrorText(int32_t code, const MessageCalls& calls) {
    try {
        const MessageSource source = MessageSourceFor(code);
        HMODULE module = nullptr;
        if (source != MessageSource::System) {
            module = calls.LoadLibraryExA(MessageFileName(source), nullptr,
                                          LOAD_LIBRARY_AS_DATAFILE);
            // No message file, no text: the system table is not asked in its place.
            if (!module) return {};
        }
        const LoadedMessageFile release(module, calls.FreeLibrary);

        // All NUL before the call: the result of FormatMessageA is not examined, so a
        // call that writes nothing must leave empty text behind.
        char buffer[kBufferSize] = {};
        calls.FormatMessageA(module ? kFromModule : kFromSystem, module,
                             static_cast<DWORD>(code), 0, buffer, kBufferSize, nullptr);

        // A message that fills the buffer has no NUL; the buffer's end bounds it then.
        const void* nul = std::memchr(buffer, '\0', kBufferSize);
        const size_t length =
            nul ? static_cast<size_t>(static_cast<const char*>(nul) - buffer) : kBufferSize;
        std::wstring text = platform::FromAnsi(std::string_view(buffer, length));
        TrimFinalCrLf(text);
        return text;
    } catch (const std::exception&) {
        return {};
    }
}

std::wstring TrimmedErrorText(int32_t code) {
    std::wstring text = SystemErrorText(code);
    TrimTrailingBreaksAndBlanks(text);
    return text;
}

}  // namespace modFormatMsg
