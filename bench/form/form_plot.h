// The form at a glance: a PNG of the short-term loudness over the track with the cues, the cue-list
// changes, the novelty sections and the audible changes marked, with axes in seconds and LUFS.
#pragma once
#include <string>
#include <vector>

#include "audio_form.h"

struct FormPicture {
    double seconds = 0;                   // the track's length
    double step = 0.1;                    // seconds between loudness values
    std::vector<double> shortTerm;        // LUFS, value i for the 3 s ending at i x step
    std::vector<double> cues;             // seconds
    std::vector<double> changeCues;       // seconds: the cue-list changes, drawn apart from the other cues
    std::vector<int> changeNumbers;       // their 1-based cue numbers, as labels
    std::vector<Stretch> sections;
    std::vector<double> audibleMoments;   // seconds
};

// --- Output
constexpr int PictureWidth = 1600, PictureHeight = 500;   // pixels
constexpr double PictureTopLufs = 0, PictureBottomLufs = -40;   // the loudness axis
// Writes an RGB PNG; labels need the DejaVu fonts and are left out (with a note on stderr) without them.
void writeFormPicture(const std::string& path, const FormPicture& picture);
