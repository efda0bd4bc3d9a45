#pragma once

#include <string>
#include <string_view>
#include <vector>

// Text helpers in the terms the behaviour is written in: wide (UTF-16) texts, 1-based positions.
namespace runtime {

// Removes leading and trailing space characters (U+0020) only; tabs and line breaks stay.
std::u16string trimSpaces(std::u16string_view text);

// 1-based position of the first `needle` in `haystack` at or after `start` (1-based), or 0.
// An empty needle is found at `start` when start lies within the text.
std::size_t findText(std::u16string_view haystack, std::u16string_view needle, std::size_t start = 1);

// Lower-cases the letters of a text (ASCII and Latin-1 letters; others stay as they are).
std::u16string lowerCase(std::u16string_view text);

std::string toUtf8(std::u16string_view text);
// Invalid UTF-8 sequences become U+FFFD.
std::u16string fromUtf8(std::string_view text);

// True when the bytes form valid UTF-8 (no overlong forms, no surrogates).
bool isValidUtf8(std::string_view bytes);
// Decodes Windows-1254 (Turkish) bytes.
std::u16string fromWindows1254(std::string_view bytes);

// Texts for and from the platform calls of the ANSI family: the system's ANSI code page (1254
// on a Turkish Windows; UTF-8 on Linux). A character the code page lacks becomes "?".
std::string toAnsi(std::u16string_view text);
std::u16string fromAnsi(std::string_view bytes);

// The program's arguments in UTF-8 as the system holds them: on Windows from the wide command
// line (a narrow argv has lost every letter its code page lacks), elsewhere argv as it is.
std::vector<std::string> programArguments(int argc, char* argv[]);

}  // namespace runtime
