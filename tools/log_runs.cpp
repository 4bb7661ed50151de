#include "tools/log_runs.h"

#include <limits>

#include "activitylog/app_texts.h"
#include "activitylog/pass_lines.h"

namespace quorvane_tool {
namespace {

using basPendingRebootFiles::kLabelDeleted;
using basPendingRebootFiles::kLabelGone;
using basPendingRebootFiles::kLabelRefused;
using basPendingRebootFiles::kLabelScheduled;
using basPendingRebootFiles::kLabelStart;
constexpr std::wstring_view kSignature = basPendingRebootFiles::kPassSignature;

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// A signed decimal number that fits 32 bits, then ':'. Moves `text` past both.
std::optional<int32_t> NumberThenColon(std::wstring_view& text) {
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == L'-';
    if (negative) ++i;
    const size_t digits = i;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1) return std::nullopt;
    }
    if (i == digits || i >= text.size() || text[i] != L':') return std::nullopt;
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
    text.remove_prefix(i + 1);
    return static_cast<int32_t>(value);
}

bool IsTitled(std::wstring_view message, std::wstring_view text) {
    const std::wstring_view title = basQuorvaneService::ApplicationTitle;
    return message.size() == title.size() + text.size() && StartsWith(message, title) &&
           message.substr(title.size()) == text;
}

}  // namespace

std::optional<HeaderFields> ParseHeaderLine(std::wstring_view line) {
    const size_t tab = line.find(L'\t');
    if (tab == std::wstring_view::npos || tab == 0) return std::nullopt;
    std::wstring_view rest = line.substr(tab + 1);
    const std::optional<int32_t> errorLine = NumberThenColon(rest);
    if (!errorLine) return std::nullopt;
    const std::optional<int32_t> errorNumber = NumberThenColon(rest);
    if (!errorNumber) return std::nullopt;
    return HeaderFields{std::wstring(line.substr(0, tab)), *errorLine, *errorNumber, std::wstring(rest)};
}

EntryKind KindOfMessage(std::wstring_view message) {
    using namespace basQuorvaneService;
    if (IsTitled(message, kTextStarted)) return EntryKind::Start;
    if (IsTitled(message, kTextLoadingList)) return EntryKind::Loading;
    if (IsTitled(message, kTextStopped)) return EntryKind::Stopped;
    if (!StartsWith(message, kSignature)) return EntryKind::Other;
    const std::wstring_view label = message.substr(kSignature.size());
    if (StartsWith(label, kLabelStart)) return EntryKind::Clearing;
    if (StartsWith(label, kLabelDeleted)) return EntryKind::Deleted;
    if (StartsWith(label, kLabelGone)) return EntryKind::Gone;
    if (StartsWith(label, kLabelScheduled)) return EntryKind::Scheduled;
    if (StartsWith(label, kLabelRefused)) return EntryKind::Refused;
    return EntryKind::Other;
}

void LogReader::Line(std::wstring_view line) {
    if (awaitingMessage_) {
        LogItem& item = *awaitingMessage_;
        item.message = line;
        item.kind = KindOfMessage(line);
        held_ = std::move(item);
        awaitingMessage_.reset();
        return;
    }
    if (held_) {
        const bool lineEndOfMessage = line.empty();
        if (lineEndOfMessage) held_->message += L"\r\n";
        Emit(*held_);
        held_.reset();
        if (lineEndOfMessage) return;
    }
    if (std::optional<HeaderFields> header = ParseHeaderLine(line)) {
        LogItem item;
        item.entry = true;
        static_cast<HeaderFields&>(item) = std::move(*header);
        awaitingMessage_ = std::move(item);
        headerLine_ = line;
        return;
    }
    LogItem item;
    item.text = line;
    Emit(item);
}

void LogReader::Finish() {
    if (awaitingMessage_) {
        LogItem item;
        item.text = headerLine_;
        awaitingMessage_.reset();
        Emit(item);
    }
    if (held_) {
        Emit(*held_);
        held_.reset();
    }
}

void LogReader::Emit(const LogItem& item) {
    const bool beginsRun =
        item.entry && (item.kind == EntryKind::Start || (item.kind == EntryKind::Loading && !afterStart_));
    if (item.entry) afterStart_ = item.kind == EntryKind::Start;
    sink_(item, beginsRun);
}

void RunTally::Add(const LogItem& item) {
    if (!item.entry) return;
    if (firstTime.empty()) firstTime = item.time;
    lastTime = item.time;
    switch (item.kind) {
        case EntryKind::Stopped: finished = true; break;
        case EntryKind::Clearing: ++takenUp; break;
        case EntryKind::Deleted: ++deleted; break;
        case EntryKind::Gone: ++gone; break;
        case EntryKind::Scheduled: ++scheduled; break;
        case EntryKind::Refused: ++refused; break;
        default: break;
    }
}

bool RunStartFinder::Line(std::wstring_view line, uint64_t offset) {
    if (found_ == wanted_) return false;
    const std::optional<std::wstring> message = std::move(later_);
    later_ = std::wstring(line);
    if (!message || !ParseHeaderLine(line)) return true;

    const EntryKind kind = KindOfMessage(*message);
    if (loadingAt_) {
        const uint64_t loading = *loadingAt_;
        loadingAt_.reset();
        if (kind == EntryKind::Start) {
            RunBeginsAt(offset);
            return found_ < wanted_;
        }
        RunBeginsAt(loading);
        if (found_ == wanted_) return false;
    }
    if (kind == EntryKind::Start) RunBeginsAt(offset);
    if (kind == EntryKind::Loading) loadingAt_ = offset;
    return found_ < wanted_;
}

void RunStartFinder::Finish() {
    if (loadingAt_) RunBeginsAt(*loadingAt_);
    loadingAt_.reset();
}

void RunStartFinder::RunBeginsAt(uint64_t offset) {
    if (found_ == wanted_) return;
    ++found_;
    offset_ = offset;
}

}  // namespace quorvane_tool
