#pragma once
// The system's one raising mechanism: an error that carries a 32-bit number, a source
// text and a description. Operations that the design lets fail by raising throw it;
// everything else reports through return values.
#include <cstdint>
#include <exception>
#include <string>

namespace platform {

class RaisedError : public std::exception {
public:
    RaisedError(int32_t number, std::wstring source, std::wstring description)
        : number_(number), source_(std::move(source)), description_(std::move(description)) {
        for (wchar_t c : description_) what_ += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }

    int32_t Number() const noexcept { return number_; }
    const std::wstring& Source() const noexcept { return source_; }
    const std::wstring& Description() const noexcept { return description_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    int32_t number_;
    std::wstring source_;
    std::wstring description_;
    std::string what_;  // ASCII rendering of the description, for diagnostics only
};

}  // namespace platform
