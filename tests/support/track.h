// Short test tracks: a WAV made by sox, encoded by lame, which writes the gapless tag so the decoder
// plays exactly the source length.
#pragma once
#include <string>

// --- Making tracks (sox and lame must be installed)
// synth: sox synth arguments after the duration, e.g. "sine 440" or "sine 172 sine 345".
bool makeTrack(const std::string& mp3Path, double seconds, const std::string& synth = "sine 440");
