#pragma once
// A strict reader of one JSON document, for tests that check what a program printed. It is
// written apart from the program's writer, so that a fault in one is not hidden by the other.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testing_support {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    int64_t number = 0;                                    // integers only
    std::wstring string;                                   // escapes resolved to UTF-16 units
    std::vector<JsonValue> items;                          // Array
    std::vector<std::pair<std::string, JsonValue>> members;  // Object, in document order

    // The member's value; null when the object has no such member.
    const JsonValue* Find(const std::string& name) const;
    std::vector<std::string> Names() const;
};

// The document's value, or nothing when the text is not exactly one JSON document
// (white space around it allowed).
std::optional<JsonValue> ParseJson(std::string_view text);

}  // namespace testing_support
