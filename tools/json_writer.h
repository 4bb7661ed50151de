#pragma once
// A JSON document in ASCII alone: every other UTF-16 unit, and every control character,
// is written as a \uXXXX escape, so the document reads the same under any code page.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvane_tool {

class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    // Inside an object, each value follows its key; names are ASCII.
    JsonWriter& Key(std::string_view name);
    JsonWriter& String(std::wstring_view text);
    JsonWriter& Number(int64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    const std::string& Text() const { return text_; }
    // The text written since the last call, handed over so that a long document can be
    // written out piece by piece; the document goes on where it stood.
    std::string TakeText() { return std::exchange(text_, {}); }

private:
    void BeforeValue();
    std::string text_;
    std::vector<bool> firstInContainer_;
    bool afterKey_ = false;
};

// Lower-case hexadecimal digits, two per byte.
std::string HexBytes(std::string_view bytes);

}  // namespace quorvane_tool
