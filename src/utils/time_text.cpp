// The time grammar: a non-negative decimal number of seconds, or whole minutes, a colon and seconds
// below 60. Nothing around it: no spaces, no sign, no exponent that overflows.
#include "utils/time_text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {
bool parseNumber(const std::string& text, double& value)
{
    // strtod would skip leading white space and take a sign; a time has neither.
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '.')) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end && *end == '\0' && std::isfinite(value);
}
}  // namespace

bool parseTime(const std::string& text, double& seconds)
{
    const size_t colon = text.find(':');
    double minutes = 0, rest = 0;
    if (colon == std::string::npos) {
        if (!parseNumber(text, rest)) return false;
        seconds = rest;
        return true;
    }
    const std::string m = text.substr(0, colon), s = text.substr(colon + 1);
    if (m.find_first_not_of("0123456789") != std::string::npos || !parseNumber(m, minutes)) return false;
    if (!parseNumber(s, rest) || rest >= 60 || s.find(':') != std::string::npos) return false;
    seconds = minutes * 60 + rest;
    return true;
}
