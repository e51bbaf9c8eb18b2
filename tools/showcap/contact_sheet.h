// A contact sheet: the show at a glance, as a grid of small frames, each labelled with its time.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class ContactSheet {
public:
    static constexpr int Shrink = 4;      // each thumbnail is the show's own 1024x768 shrunk this many times
    static constexpr int Columns = 6;
    static constexpr int Gap = 8;         // pixels between and around thumbnails

    // Frames of frameWidth x frameHeight with the picture in the rectangle given (pixels from the top-left);
    // each thumbnail is that picture averaged down to thumbWidth x thumbHeight, whatever the frame's size.
    ContactSheet(int frameWidth, int frameHeight, int pictureX, int pictureY, int pictureWidth, int pictureHeight,
                 int thumbWidth, int thumbHeight);
    ContactSheet(int frameWidth, int frameHeight);   // the whole frame is the picture, shrunk Shrink times

    // --- Building
    void add(const uint8_t* rgbTopFirst, double seconds);   // a frame of frameWidth x frameHeight
    int count() const { return int(thumbs_.size()); }

    // --- Output
    void compose(std::vector<uint8_t>& rgb, int& width, int& height) const;   // the sheet, top row first
    bool save(const std::string& path, std::string& error) const;            // as PNG

private:
    struct Thumb {
        std::vector<uint8_t> rgb;
        double seconds;
    };
    int frameWidth_, frameHeight_;
    int pictureX_, pictureY_, pictureWidth_, pictureHeight_;
    int thumbWidth_, thumbHeight_;
    std::vector<Thumb> thumbs_;
};

// --- Labels
std::string timeLabel(double seconds);   // "m:ss.s", e.g. "2:05.3"
