// printf-style formatting into a std::string of any length.
#pragma once
#include <string>

// --- Formatting
std::string formatString(const char* format, ...)  // the text printf would print, however long
    __attribute__((format(printf, 1, 2)));
