// A working directory the real show can start in: its 36 images (the committed ones from data/, or
// small stand-ins the test makes when data/ has none yet) and, optionally, a track.
#pragma once
#include <string>

// --- Images
void putShowImages(const std::string& dir);      // all 36 PNG files the show loads
const char* const* showImageNames(int& count);   // their names, in load order
