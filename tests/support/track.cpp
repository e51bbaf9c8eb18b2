// Test tracks through sox and lame.
#include "support/track.h"

#include <cstdio>
#include <sstream>

#include "support/process.h"

bool makeTrack(const std::string& mp3Path, double seconds, const std::string& synth)
{
    const std::string wav = mp3Path + ".wav";
    std::ostringstream duration;
    duration << seconds;
    // No dither: a silent track must be digital silence, or its noise floor spawns effects.
    std::vector<std::string> soxArgs = {"sox", "-D", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", duration.str()};
    std::istringstream words(synth);
    for (std::string w; words >> w;) soxArgs.push_back(w);
    soxArgs.insert(soxArgs.end(), {"vol", "0.5"});
    if (runProcess(soxArgs).exitCode != 0) return false;
    const bool encoded = runProcess({"lame", "--quiet", "-b", "128", wav, mp3Path}).exitCode == 0;
    std::remove(wav.c_str());
    return encoded;
}
