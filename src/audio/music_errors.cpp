// Error texts: a lookup in the table, so a code and its sentence are always written side by side; and
// the one stop on a failed music step, the same line on every platform.
#include "audio/music_errors.h"

#include "audio/music.h"
#include "utils/fatal.h"

const char* musicErrorText(int code)
{
    for (const auto& row : MusicErrorTable) {
        if (row.code == code) return row.text;
    }
    return "Unknown error.";
}

void checkFmod(int result)
{
    if (result == MusicOk) return;
    haltPlayback();
    fatalExit(-1, "FMOD error! (%d) %s\n", result, musicErrorText(result));
}
