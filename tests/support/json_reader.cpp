#include "support/json_reader.h"

namespace testing_support {
namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool Document(JsonValue& value) {
        return Value(value) && (SkipSpace(), pos_ == text_.size());
    }

private:
    void SkipSpace() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                       text_[pos_] == '\r' || text_[pos_] == '\n')) {
            ++pos_;
        }
    }
    bool Take(char c) {
        SkipSpace();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool Word(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }

    bool Value(JsonValue& value) {
        SkipSpace();
        if (pos_ >= text_.size()) return false;
        const char c = text_[pos_];
        if (c == '{') return Object(value);
        if (c == '[') return Array(value);
        if (c == '"') {
            value.kind = JsonValue::Kind::String;
            return String(value.string);
        }
        if (c == '-' || (c >= '0' && c <= '9')) return Number(value);
        if (Word("true") || Word("false")) {
            value.kind = JsonValue::Kind::Bool;
            value.boolean = c == 't';
            return true;
        }
        value.kind = JsonValue::Kind::Null;
        return Word("null");
    }

    bool Object(JsonValue& value) {
        value.kind = JsonValue::Kind::Object;
        ++pos_;
        if (Take('}')) return true;
        do {
            std::wstring name;
            JsonValue member;
            SkipSpace();
            if (pos_ >= text_.size() || text_[pos_] != '"' || !String(name) || !Take(':') || !Value(member)) {
                return false;
            }
            value.members.emplace_back(std::string(name.begin(), name.end()), std::move(member));
        } while (Take(','));
        return Take('}');
    }

    bool Array(JsonValue& value) {
        value.kind = JsonValue::Kind::Array;
        ++pos_;
        if (Take(']')) return true;
        do {
            value.items.emplace_back();
            if (!Value(value.items.back())) return false;
        } while (Take(','));
        return Take(']');
    }

    bool Number(JsonValue& value) {
        value.kind = JsonValue::Kind::Number;
        const bool negative = text_[pos_] == '-';
        if (negative) ++pos_;
        const size_t start = pos_;
        uint64_t magnitude = 0;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            magnitude = magnitude * 10 + static_cast<uint64_t>(text_[pos_++] - '0');
        }
        const size_t digits = pos_ - start;
        if (digits == 0 || digits > 18 || (digits > 1 && text_[start] == '0')) return false;
        value.number = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
        return true;
    }

    bool Hex4(uint32_t& unit) {
        if (text_.size() - pos_ < 4) return false;
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[pos_++];
            unit <<= 4;
            if (c >= '0' && c <= '9') unit |= static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f') unit |= static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') unit |= static_cast<uint32_t>(c - 'A' + 10);
            else return false;
        }
        return true;
    }

    bool String(std::wstring& out) {
        ++pos_;  // the opening quote
        while (pos_ < text_.size()) {
            const auto c = static_cast<unsigned char>(text_[pos_++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c != '\\') {
                out += static_cast<wchar_t>(c);
                continue;
            }
            if (pos_ >= text_.size()) return false;
            const char e = text_[pos_++];
            uint32_t unit = 0;
            switch (e) {
                case '"': case '\\': case '/': out += static_cast<wchar_t>(e); break;
                case 'b': out += L'\b'; break;
                case 'f': out += L'\f'; break;
                case 'n': out += L'\n'; break;
                case 'r': out += L'\r'; break;
                case 't': out += L'\t'; break;
                case 'u':
                    if (!Hex4(unit)) return false;
                    out += static_cast<wchar_t>(unit);
                    break;
                default: return false;
            }
        }
        return false;
    }

    std::string_view text_;
    size_t pos_ = 0;
};

}  // namespace

const JsonValue* JsonValue::Find(const std::string& name) const {
    for (const auto& member : members) {
        if (member.first == name) return &member.second;
    }
    return nullptr;
}

std::vector<std::string> JsonValue::Names() const {
    std::vector<std::string> names;
    for (const auto& member : members) names.push_back(member.first);
    return names;
}

std::optional<JsonValue> ParseJson(std::string_view text) {
    JsonValue value;
    if (!Reader(text).Document(value)) return std::nullopt;
    return value;
}

}  // namespace testing_support
