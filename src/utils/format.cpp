// formatString: formats into a 100-byte buffer first and grows it when the text does not fit.
#include "utils/format.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

std::string formatString(const char* format, ...)
{
    std::vector<char> buffer(100);
    for (;;) {
        va_list args;
        va_start(args, format);
        const int n = std::vsnprintf(buffer.data(), buffer.size(), format, args);
        va_end(args);
        if (n >= 0 && size_t(n) < buffer.size()) return std::string(buffer.data(), size_t(n));
        // A reported length tells the exact size; an error with no length doubles and retries.
        const size_t grown = n > int(buffer.size()) ? size_t(n) + 1 : buffer.size() * 2;
        if (n < 0 && buffer.size() > (size_t(1) << 24)) return std::string();  // an encoding error never fits
        buffer.resize(grown);
    }
}
