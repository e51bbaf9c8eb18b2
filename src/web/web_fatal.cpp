// The failure stop in a browser: the same line on standard output (the console), and the page shows
// it in place of the canvas. The main loop is cancelled first, so no later frame runs on a broken show.
#include <emscripten.h>

#include <cstdio>
#include <string>

#include "utils/platform.h"

namespace {
EM_JS(void, showFailureOnPage, (const char* line), {
    var text = UTF8ToString(line);
    if (Module['onShowFailure']) Module['onShowFailure'](text);
});
}  // namespace

void platformFail(int status, const std::string& line)
{
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
    std::string shown = line;
    if (!shown.empty() && shown.back() == '\n') shown.pop_back();
    showFailureOnPage(shown.c_str());
    emscripten_cancel_main_loop();
    emscripten_force_exit(status);
    __builtin_unreachable();
}
