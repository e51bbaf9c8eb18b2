// Where the playing music's samples go: the user's sound server, SDL's device, or, once a server is
// lost mid-show, a silent clock. Each takes the StreamPlayer's samples on a thread of its own at the
// pace it plays them, and only copies (StreamPlayer::fill). The music opens one, chosen once, and
// closes it; nothing else about the output is its business.
#pragma once
#include <memory>

class StreamPlayer;

class AudioOutput {
public:
    virtual ~AudioOutput() = default;   // implementations close

    // --- Main thread
    virtual void close() = 0;   // stops taking samples: no fill reaches the player after it returns; idempotent
};

// Called on the output's thread before each fill, before any sample is copied; nullptr for none.
using BeforeEachFill = void (*)();

// --- Opening (the desktop platform's: desktop/audio_outputs.cpp)
// Starts the player's samples playing on the output this machine offers: the sound server first where
// SDL would try its PulseAudio driver first (SDL_AUDIODRIVER unset, empty or "pulseaudio"), else, or
// when the server refuses, SDL's device. MusicOk with out set, or the MusicError and out empty.
int openAudioOutput(StreamPlayer& player, BeforeEachFill beforeEachFill, std::unique_ptr<AudioOutput>& out);
