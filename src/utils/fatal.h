// The show's only way to report a failure: one line on standard output, then the end of the process.
#pragma once

// --- Fatal stop
[[noreturn]] void fatalExit(int status, const char* format, ...)  // prints the formatted line as given
    __attribute__((format(printf, 2, 3)));
