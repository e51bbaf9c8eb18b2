// Error texts: a lookup in the table, so a code and its sentence are always written side by side.
#include "audio/music_errors.h"

const char* musicErrorText(int code)
{
    for (const auto& row : MusicErrorTable) {
        if (row.code == code) return row.text;
    }
    return "Unknown error.";
}
