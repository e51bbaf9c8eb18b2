// Fatal stop. The line goes to standard output (the show's one output channel) and is flushed
// before exit, so a parent that reads the pipe always sees it.
#include "utils/fatal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

void fatalExit(int status, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
    std::exit(status);
}
