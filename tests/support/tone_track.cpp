// Test tracks: 16-bit PCM WAV with a pure sine per channel, encoded by lame in plain stereo so one
// channel's tone cannot leak into the other through mid/side coding.
#include "support/tone_track.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "support/process.h"
#include "support/temp_dir.h"

namespace {
void put16(std::string& out, uint32_t v)
{
    out.push_back(char(v & 0xff));
    out.push_back(char((v >> 8) & 0xff));
}

void put32(std::string& out, uint32_t v)
{
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}
}  // namespace

void writeToneWav(const std::string& path, const Tone& tone, const std::vector<double>& clicks)
{
    const uint32_t frames = uint32_t(std::lround(tone.seconds * tone.sampleRate));
    const uint32_t dataBytes = frames * uint32_t(tone.channels) * 2;
    std::string out;
    out += "RIFF";
    put32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    put32(out, 16);
    put16(out, 1);
    put16(out, uint32_t(tone.channels));
    put32(out, uint32_t(tone.sampleRate));
    put32(out, uint32_t(tone.sampleRate * tone.channels * 2));
    put16(out, uint32_t(tone.channels * 2));
    put16(out, 16);
    out += "data";
    put32(out, dataBytes);
    const double hz[2] = {tone.leftHz, tone.rightHz};
    // The ring dies in 30 ms with an 8 ms time constant, the way a stab's attack does.
    auto accent = [&](uint32_t i) {
        double v = 0;
        for (double at : clicks) {
            const double t = (double(i) - std::round(at * tone.sampleRate)) / tone.sampleRate;
            if (t < 0 || t >= 0.03) continue;
            v += 0.4 * std::exp(-t / 0.008) * (t == 0 ? 1.0 : std::sin(2 * M_PI * 1200 * t));
        }
        return v;
    };
    for (uint32_t i = 0; i < frames; ++i) {
        const double a = clicks.empty() ? 0.0 : accent(i);
        for (int c = 0; c < tone.channels; ++c) {
            const double v = a + (hz[c] > 0 ? tone.amplitude * std::sin(2 * M_PI * hz[c] * i / tone.sampleRate) : 0.0);
            put16(out, uint32_t(uint16_t(int16_t(std::lround(v * 32767)))));
        }
    }
    writeFile(path, out);
}

std::string lameMissing()
{
    return commandExists("lame") ? std::string() : "lame is not installed: run ./setup.sh --test";
}

std::string makeToneMp3(const std::string& dir, const std::string& name, const Tone& tone)
{
    const std::string wav = dir + "/" + name + ".wav";
    const std::string mp3 = dir + "/" + name;
    writeToneWav(wav, tone);
    const std::vector<std::string> mode = tone.channels == 2 ? std::vector<std::string>{"-m", "s"}
                                                             : std::vector<std::string>{"-m", "m"};
    std::vector<std::string> argv = {"lame", "--quiet", "-b", "128"};
    argv.insert(argv.end(), mode.begin(), mode.end());
    argv.push_back(wav);
    argv.push_back(mp3);
    const ProcessResult r = runProcess(argv);
    if (r.exitCode != 0) throw std::runtime_error("lame failed: " + r.err);
    return mp3;
}

std::vector<int16_t> readRawSamples(const std::string& path)
{
    const std::string bytes = readFile(path);
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = int16_t(uint16_t(uint8_t(bytes[2 * i])) | uint16_t(uint8_t(bytes[2 * i + 1])) << 8);
    }
    return samples;
}
