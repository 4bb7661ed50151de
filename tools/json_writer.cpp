#include "tools/json_writer.h"

namespace quorvane_tool {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void Escape(std::string& out, uint32_t unit) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHexDigits[(unit >> shift) & 0xF];
}

}  // namespace

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!firstInContainer_.empty()) {
        if (!firstInContainer_.back()) text_ += ',';
        firstInContainer_.back() = false;
    }
}

JsonWriter& JsonWriter::BeginObject() {
    BeforeValue();
    text_ += '{';
    firstInContainer_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    text_ += '}';
    firstInContainer_.pop_back();
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    BeforeValue();
    text_ += '[';
    firstInContainer_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    text_ += ']';
    firstInContainer_.pop_back();
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view name) {
    BeforeValue();
    text_ += '"';
    text_ += name;
    text_ += "\":";
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::String(std::wstring_view text) {
    BeforeValue();
    text_ += '"';
    for (const wchar_t c : text) {
        const auto unit = static_cast<uint32_t>(c);
        if (unit == '"' || unit == '\\') {
            text_ += '\\';
            text_ += static_cast<char>(unit);
        } else if (unit >= 0x20 && unit < 0x7F) {
            text_ += static_cast<char>(unit);
        } else if (unit > 0xFFFF) {
            // A 32-bit wchar_t (host builds): the UTF-16 pair, as JSON spells it.
            Escape(text_, 0xD800 + ((unit - 0x10000) >> 10));
            Escape(text_, 0xDC00 + ((unit - 0x10000) & 0x3FF));
        } else {
            Escape(text_, unit);
        }
    }
    text_ += '"';
    return *this;
}

JsonWriter& JsonWriter::Number(int64_t value) {
    BeforeValue();
    text_ += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    text_ += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::Null() {
    BeforeValue();
    text_ += "null";
    return *this;
}

std::string HexBytes(std::string_view bytes) {
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        hex += kHexDigits[b >> 4];
        hex += kHexDigits[b & 0xF];
    }
    return hex;
}

}  // namespace quorvane_tool
