// Fatal stop: the line is formatted here, the same on every platform, and the platform shows it and
// ends the process (utils/platform.h).
#include "utils/fatal.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "utils/platform.h"

void fatalExit(int status, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string line(size_t(length > 0 ? length : 0), '\0');
    if (length > 0) std::vsnprintf(line.data(), line.size() + 1, format, again);
    va_end(again);
    platformFail(status, line);
}
