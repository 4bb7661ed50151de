#pragma once
// The activity log read back run by run: its lines parsed into entries, the runs told
// apart, each run's counts. Free of the Windows API: the log commands read the file,
// decode each line from the ANSI code page and hand the lines in.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane_tool {

enum class EntryKind {
    Start,     // the title + "started", written in debug mode only
    Loading,   // the title + "loading the cleanup list": every run writes it
    Stopped,   // the title + "stopped": the run's last entry
    Clearing,  // the pass took an entry up
    Deleted,
    Gone,
    Scheduled,  // handed to delete-at-restart
    Refused,
    Other,
};

struct HeaderFields {
    std::wstring time;  // the header's date and time text
    int32_t errorLine = 0;
    int32_t errorNumber = 0;
    std::wstring description;
};

// One entry (a header line and its message line), or a line that is no entry, kept as
// it stands; the header's fields are empty for the latter.
struct LogItem : HeaderFields {
    bool entry = false;
    std::wstring message;  // a message that ended in CR LF (the separator) keeps it
    std::wstring text;     // a line that is no entry
    EntryKind kind = EntryKind::Other;
};

// "date-time TAB line:number:description"; nothing for any other line.
std::optional<HeaderFields> ParseHeaderLine(std::wstring_view line);

EntryKind KindOfMessage(std::wstring_view message);

// Turns the log's lines (without their line ends, first to last) into items. A header line
// takes the next line as its message, and one empty line after that as the message's own
// line end. A run begins at a start entry, or at a loading entry that does not directly
// follow a start entry.
class LogReader {
public:
    using Sink = std::function<void(const LogItem& item, bool beginsRun)>;
    explicit LogReader(Sink sink) : sink_(std::move(sink)) {}

    void Line(std::wstring_view line);
    // The end of the lines: a header without its message stays a line as it stands.
    void Finish();

private:
    void Emit(const LogItem& item);

    Sink sink_;
    std::optional<LogItem> awaitingMessage_;  // a header whose message line comes next
    std::optional<LogItem> held_;             // an entry whose message may end in CR LF
    std::wstring headerLine_;  // as written: the parsed fields do not give it back byte for byte
    bool afterStart_ = false;  // the last entry was a start entry
};

// What a run did, as its entries show it. Entries left alone by their flag write nothing.
struct RunTally {
    bool begins = true;  // false: lines before the first run in the log
    bool finished = false;
    std::wstring firstTime, lastTime;
    uint64_t takenUp = 0, deleted = 0, gone = 0, scheduled = 0, refused = 0;

    void Add(const LogItem& item);
};

// Fed the log's lines from the last to the first, each with the offset where it begins:
// finds where the last `runs` runs begin, by the same rule as LogReader.
class RunStartFinder {
public:
    explicit RunStartFinder(size_t runs) : wanted_(runs) {}

    // False once the earliest wanted run's start is known: no earlier line is needed.
    bool Line(std::wstring_view line, uint64_t offset);
    // The beginning of the log has been reached.
    void Finish();
    // Where to read from: the earliest wanted run's start, or 0 when the log holds fewer.
    uint64_t Offset() const { return found_ == wanted_ ? offset_ : 0; }

private:
    void RunBeginsAt(uint64_t offset);

    size_t wanted_;
    size_t found_ = 0;
    uint64_t offset_ = 0;
    std::optional<std::wstring> later_;  // the line after the one in hand: its message, if it is a header
    std::optional<uint64_t> loadingAt_;  // a loading entry whose run may begin one entry earlier
};

}  // namespace quorvane_tool
