// The music component's own error codes and their fixed sentences: what "FMOD error! (%d) %s" prints.
// Codes are stable; tests and the closing note refer to them by number.
#pragma once

enum MusicError : int {
    MusicOk = 0,
    TrackNotFound = 1,
    TrackEmpty = 2,
    TrackUnreadable = 3,
    TrackNotMpeg = 4,
    DecoderUnavailable = 5,
    AudioSystemUnavailable = 6,
    AudioDeviceUnavailable = 7,
    DecoderThreadFailed = 8,
    MusicNotOpen = 9,
    MusicAlreadyOpen = 10,
    DecodeFailed = 11,
};

struct MusicErrorText {
    int code;
    const char* text;
};

constexpr MusicErrorText MusicErrorTable[] = {
    {MusicOk, "No errors."},
    {TrackNotFound, "Track file not found."},
    {TrackEmpty, "Track file is empty."},
    {TrackUnreadable, "Track file cannot be read."},
    {TrackNotMpeg, "Track file holds no decodable MPEG audio."},
    {DecoderUnavailable, "MP3 decoder cannot be set up."},
    {AudioSystemUnavailable, "Audio system cannot start (no usable audio driver)."},
    {AudioDeviceUnavailable, "Audio device cannot be opened (no sound card or device busy)."},
    {DecoderThreadFailed, "Decoder thread cannot be started."},
    {MusicNotOpen, "Music is not open."},
    {MusicAlreadyOpen, "Music is already open."},
    {DecodeFailed, "Track stopped decoding partway (file damaged or read error)."},
};

// --- Texts
const char* musicErrorText(int code);   // the table's sentence, or a generic one for unknown codes
