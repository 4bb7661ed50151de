#pragma once
// Output of QuorvaneTool, written as Windows console tools write it. To a console the
// text goes as Unicode, so every character shows. To a file or a pipe it goes in the
// console's output code page, or the ANSI code page when the process has no console
// (characters the code page cannot hold become its default character, never a look-alike),
// or in UTF-8 once UseUtf8 was called. Standard error follows the same rule.
#include <string>

namespace quorvane_tool {

class JsonWriter;

void UseUtf8();

void Out(const std::wstring& text);
void Err(const std::wstring& text);

// ASCII text as it stands (JSON text, which the writer keeps to ASCII).
void OutAscii(const std::string& text);

// One JSON document on one line (ASCII only, so any code page shows it alike), or the rest
// of one whose start already went out through OutAscii.
void OutJson(const JsonWriter& json);

}  // namespace quorvane_tool
