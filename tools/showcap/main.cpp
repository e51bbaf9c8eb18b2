// showcap: the show rendered offline to a video, frame-exact and in sync, with no display or sound
// card. See captureUsage() or `showcap --help`.
#include <cstdio>
#include <string>
#include <vector>

#include "capture.h"
#include "capture_options.h"

int main(int argc, char** argv)
{
    CaptureOptions options;
    std::string error;
    if (!parseCaptureOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "showcap: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(captureUsage(), stdout);
        return 0;
    }
    return runCapture(options);
}
