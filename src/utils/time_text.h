// Moments of the show as people type them: plain seconds or minutes and seconds. One grammar for
// every tool and page that takes a time.
#pragma once
#include <string>

// --- Parsing
bool parseTime(const std::string& text, double& seconds);  // "12.5", "90", "1:30", "1:02.5"; false: not a time (seconds untouched)
