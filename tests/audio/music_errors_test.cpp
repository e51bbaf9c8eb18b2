// Every failing step of initMusic, fetchSpectrum and closeMusic: one "FMOD error! (code) text" line on
// standard output and exit status 255, each cause with its own code; and an exit from elsewhere while
// the music plays. Each case runs in a child process.
#include <SDL.h>
#include <gtest/gtest.h>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "audio/music.h"
#include "audio/music_errors.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/tone_track.h"

namespace {
std::string lineFor(int code)
{
    return "FMOD error! (" + std::to_string(code) + ") " + musicErrorText(code) + "\n";
}

// Runs body in a child that must stop with the given code's line; setenv calls stay in the child.
void expectStop(int code, const std::function<void()>& body)
{
    const ProcessResult r = runInChild([&] {
        body();
        std::printf("body returned\n");
    });
    EXPECT_EQ(r.exitCode, 255) << r.out << " signal " << r.signal;
    EXPECT_EQ(r.out, lineFor(code));
}

std::string noise(size_t n)
{
    std::mt19937 g(11);
    std::string s(n, '\0');
    for (auto& c : s) c = char(g());
    return s;
}
}  // namespace

class MusicErrorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(lameMissing(), "");
        setenv("SDL_AUDIODRIVER", "dummy", 1);   // a device that works; cases that need none override it
        Tone tone;
        tone.seconds = 4;
        track = makeToneMp3(dir.path(), "good.mp3", tone);
    }
    TempDir dir;
    std::string track;
};

TEST_F(MusicErrorTest, BadTrackIsReportedBeforeTheAudioDeviceIsTried)
{
    expectStop(TrackNotFound, [&] {
        setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
        initMusic(dir.file("missing.mp3").c_str());
    });
}

TEST_F(MusicErrorTest, AudioThatCannotStartStopsInitMusic)
{
    expectStop(AudioSystemUnavailable, [&] {
        setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
        initMusic(track.c_str());
    });
    expectStop(AudioDeviceUnavailable, [&] {
        setenv("SDL_AUDIODRIVER", "alsa", 1);
        setenv("AUDIODEV", "hw:77,0", 1);
        initMusic(track.c_str());
    });
}

TEST_F(MusicErrorTest, DecoderThreadThatCannotStartStopsInitMusic)
{
    expectStop(DecoderThreadFailed, [&] {
        // From here on the kernel refuses new threads, as it would at a process or memory limit.
        sock_filter refuseThreads[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone3, 2, 0),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EAGAIN),
        };
        sock_fprog program = {sizeof refuseThreads / sizeof refuseThreads[0], refuseThreads};
        if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
            std::printf("seccomp unavailable\n");
            return;
        }
        initMusic(track.c_str());
    });
}

TEST_F(MusicErrorTest, CallsOutOfOrderStop)
{
    expectStop(MusicNotOpen, [] { fetchSpectrum(); });
    expectStop(MusicNotOpen, [] { closeMusic(); });
    expectStop(MusicNotOpen, [&] {
        initMusic(track.c_str());
        closeMusic();
        closeMusic();
    });
    expectStop(MusicAlreadyOpen, [&] {
        initMusic(track.c_str());
        initMusic(track.c_str());
    });
}

// Xlib ends the process with exit(1) when the X server dies. The device must be closed before the
// libraries' own clean-up runs: SDL's audio thread calling back into unloaded code crashed the show.
TEST_F(MusicErrorTest, ExitWhilePlayingClosesTheDeviceFirst)
{
    const ProcessResult r = runInChild([&] {
        // Exit hooks run last registered first: this one runs after the music's own.
        std::atexit([] { std::printf("%s\n", SDL_GetAudioStatus() == SDL_AUDIO_STOPPED ? "closed" : "open"); });
        initMusic(track.c_str());
        std::exit(1);
    });
    EXPECT_EQ(r.exitCode, 1) << "signal " << r.signal;
    EXPECT_EQ(r.out, "closed\n");
}

TEST_F(MusicErrorTest, TrackDamagedWhilePlayingStopsFetchSpectrum)
{
    expectStop(DecodeFailed, [&] {
        initMusic(track.c_str());
        // The decoder is about 1.5 s ahead; everything past 40 % of the file is not yet read.
        const size_t size = size_t(std::filesystem::file_size(track));
        {
            std::fstream f(track, std::ios::in | std::ios::out | std::ios::binary);
            f.seekp(std::streamoff(size * 4 / 10));
            const std::string junk = noise(size - size * 4 / 10);
            f.write(junk.data(), std::streamsize(junk.size()));
        }
        while (musicPosition() < musicLength()) fetchSpectrum();
    });
}
