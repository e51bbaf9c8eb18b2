// The desktop's choice of output (desktop/audio_output.h), made once when the music starts: our own
// stream to the user's sound server where SDL would have gone to that server anyway, SDL otherwise.
#include <cstdlib>
#include <cstring>

#include "desktop/audio_output.h"
#include "audio/music_errors.h"
#include "desktop/pulse_output.h"
#include "desktop/sdl_audio_output.h"

namespace {
// A named other driver (the tests' dummy and disk, say) goes straight to SDL.
bool serverWanted()
{
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    return !driver || !*driver || std::strcmp(driver, "pulseaudio") == 0;
}
}  // namespace

int openAudioOutput(StreamPlayer& player, BeforeEachFill beforeEachFill, std::unique_ptr<AudioOutput>& out)
{
    out.reset();
    if (serverWanted()) {
        auto server = std::make_unique<PulseOutput>();
        if (server->open(player, beforeEachFill)) {
            out = std::move(server);
            return MusicOk;
        }
    }
    auto device = std::make_unique<SdlAudioOutput>();
    if (const int result = device->open(player, beforeEachFill)) return result;
    out = std::move(device);
    return MusicOk;
}
