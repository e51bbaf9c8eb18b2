// Reading the event log's JSON lines (showcap --events, showlisten --events) in the benchmarks: the
// writer puts one flat object on a line, so a field is found by its quoted key.
#pragma once
#include <cstdlib>
#include <stdexcept>
#include <string>

// The text right after "key": in line, or nullptr where the line has no such field.
inline const char* eventField(const std::string& line, const char* key)
{
    const std::string k = std::string("\"") + key + "\":";
    const size_t at = line.find(k);
    return at == std::string::npos ? nullptr : line.c_str() + at + k.size();
}

// A number field; a line without it is a malformed log.
inline double eventNumber(const std::string& line, const char* key)
{
    const char* v = eventField(line, key);
    if (!v) throw std::runtime_error("event line without \"" + std::string(key) + "\": " + line.substr(0, 80));
    return std::strtod(v, nullptr);
}
