// The failure stop in a browser: the same line on standard output (the console), and the page shows
// it in place of the canvas. The main loop is cancelled first, so no later frame runs on a broken show.
#include <emscripten.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "utils/fatal.h"

namespace {
EM_JS(void, showFailureOnPage, (const char* line), {
    var text = UTF8ToString(line);
    if (Module['onShowFailure']) Module['onShowFailure'](text);
});
}  // namespace

void fatalExit(int status, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    char buffer[1024];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    std::string line = buffer;
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    showFailureOnPage(line.c_str());
    emscripten_cancel_main_loop();
    emscripten_force_exit(status);
    __builtin_unreachable();
}
