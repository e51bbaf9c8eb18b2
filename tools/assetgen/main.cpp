// assetgen: writes the show's 36 images and its track into a directory, and reports on them.
//   assetgen OUTDIR                  all 37 files (what data/ holds)
//   assetgen --images OUTDIR         only the images
//   assetgen --track OUTDIR          only bass_300808.mp3
//   assetgen --sheet DIR OUT.png     a contact sheet of the 36 images found in DIR
//   assetgen --report TRACK.mp3      what the show's spectrum rules do with the decoded track
//   assetgen --spectrogram TRACK.mp3 OUT.png   a picture of the left channel's spectrum over time
//   assetgen --report-synth [STEP]   the same for the synthesized track before encoding, per STEP s
//   assetgen --icon SIZE OUT.png     the menu icon, SIZE x SIZE pixels
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "audio/analyser.h"
#include "utils/canvas.h"
#include "images.h"
#include "mp3.h"
#include "rules.h"
#include "timeline/cue_times.h"
#include "track.h"
#include "utils/typeset.h"
#include "utils/image.h"

namespace {

constexpr const char* TrackName = "bass_300808.mp3";

void writeImages(const std::string& dir)
{
    Typesetter type;
    for (const std::string& name : showImageNames()) {
        const ImageFile f = drawShowImage(name, type);
        writePng(dir + "/" + name, f.width, f.height, f.channels, f.bytes);
    }
}

void writeTrack(const std::string& dir)
{
    const std::vector<uint8_t> mp3 = encodeMp3(renderTrack());
    const std::string path = dir + "/" + TrackName;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(mp3.data()), std::streamsize(mp3.size()));
    if (!out.flush()) throw std::runtime_error("can't write " + path);
}

int writeSheet(const std::string& dir, const std::string& out)
{
    std::vector<ImageFile> images;
    for (const std::string& name : showImageNames()) {
        Image decoded;
        std::string error;
        if (!decodePng((dir + "/" + name).c_str(), decoded, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        ImageFile f;
        f.name = name;
        f.width = decoded.width;
        f.height = decoded.height;
        f.channels = decoded.channels;
        // The show's loader hands rows bottom first; the sheet wants them as the file has them.
        const size_t row = size_t(f.width) * size_t(f.channels);
        f.bytes.resize(decoded.pixels.size());
        for (int y = 0; y < f.height; ++y)
            std::memcpy(&f.bytes[size_t(y) * row], &decoded.pixels[size_t(f.height - 1 - y) * row], row);
        images.push_back(std::move(f));
    }
    Typesetter type;
    const ImageFile sheet = contactSheet(images, type);
    writePng(out, sheet.width, sheet.height, sheet.channels, sheet.bytes);
    return 0;
}

void printLevels(const std::vector<float>& interleaved, int channels)
{
    float peak = 0;
    double sum = 0;
    for (float v : interleaved) {
        peak = std::max(peak, std::fabs(v));
        sum += double(v) * v;
    }
    const double rms = std::sqrt(sum / double(std::max<size_t>(1, interleaved.size())));
    std::printf("length %.3f s, peak %.2f dBFS, rms %.2f dBFS\n",
                double(interleaved.size()) / channels / SampleRate, 20 * std::log10(std::max(peak, 1e-9f)),
                20 * std::log10(std::max(rms, 1e-12)));
}

void printRules(const std::vector<float>& left, double step)
{
    const double duration = double(left.size()) / SampleRate;
    std::printf("\nSpectrum rules per %g s (60 fps; frames where a rule's condition holds / spawns after rate limits)\n",
                step);
    std::fputs(formatRuleReport(measureRules(left.data(), left.size(), evenEdges(duration, step))).c_str(), stdout);
    std::vector<double> edges;
    std::vector<std::string> names;
    edges.push_back(0);
    for (const Section& s : trackSections()) {
        edges.push_back(std::min(duration, barTime(s.endBar)));
        names.push_back(s.name);
    }
    edges.push_back(duration);
    names.push_back("tail");
    std::printf("\nPer section\n");
    const std::vector<RuleWindow> windows = measureRules(left.data(), left.size(), edges);
    const std::string table = formatRuleReport(windows);
    // Same table, each row prefixed by its section's name.
    size_t lineStart = table.find('\n') + 1;
    std::printf("%-10s%s", "", table.substr(0, lineStart).c_str());
    for (size_t i = 0; lineStart < table.size(); ++i) {
        const size_t end = table.find('\n', lineStart);
        std::printf("%-10s%s\n", i < names.size() ? names[i].c_str() : "", table.substr(lineStart, end - lineStart).c_str());
        lineStart = end + 1;
    }
}

void printCueAccents(const std::vector<float>& left)
{
    std::vector<double> cues;
    for (float t : CueTimes)
        if (cues.empty() || double(t) - cues.back() > 0.001) cues.push_back(t);
    const std::vector<double> ratios = cueOnsetRatios(left.data(), left.size(), cues);
    std::printf("\nCue accents (high-weighted loudness 30 ms after / 30 ms before each of the %zu distinct cue times)\n", cues.size());
    size_t weakest = 0;
    for (size_t i = 0; i < ratios.size(); ++i) {
        if (ratios[i] < ratios[weakest]) weakest = i;
        std::printf("%8.3f s %5.2f%s", cues[i], ratios[i], i % 5 == 4 ? "\n" : "  ");
    }
    std::printf("\nweakest: %.2f at %.3f s\n", ratios[weakest], cues[weakest]);
}

int report(const std::string& path)
{
    DecodedMp3 track;
    std::string error;
    if (!decodeMp3(path, track, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("%s: %ld Hz, %d channels, ", path.c_str(), track.rate, track.channels);
    printLevels(track.samples, track.channels);
    std::vector<float> left(track.frames());
    for (size_t i = 0; i < left.size(); ++i) left[i] = track.samples[i * size_t(track.channels)];
    printRules(left, 10);
    printCueAccents(left);
    return 0;
}

// One column per 0.1 s, one row per analysis bin (highest at the top), level in dB from -80 to 0.
int spectrogram(const std::string& path, const std::string& out)
{
    DecodedMp3 track;
    std::string error;
    if (!decodeMp3(path, track, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const int columns = int(double(track.frames()) / SampleRate * 10);
    std::vector<uint8_t> rgb(size_t(columns) * AnalysisBins * 3, 0);
    SpectrumAnalyser analyser;
    float block[AnalysisSize], bins[AnalysisBins];
    for (int c = 0; c < columns; ++c) {
        const size_t end = size_t(c) * SampleRate / 10;
        for (int i = 0; i < AnalysisSize; ++i) {
            const long at = long(end) - AnalysisSize + i;
            block[i] = at >= 0 ? track.samples[size_t(at) * size_t(track.channels)] : 0.0f;
        }
        analyser.analyse(block, bins);
        for (int k = 0; k < AnalysisBins; ++k) {
            const float db = 20 * std::log10(std::max(bins[k], 1e-6f));
            const float v = std::min(1.0f, std::max(0.0f, (db + 80) / 80));
            uint8_t* px = &rgb[(size_t(AnalysisBins - 1 - k) * size_t(columns) + size_t(c)) * 3];
            // Watched bins 2, 4 and 6 are drawn in colour so their activity stands out.
            const bool watched = k == 2 || k == 4 || k == 6;
            px[0] = uint8_t(255 * v);
            px[1] = uint8_t(255 * v * (watched ? 0.4f : 1.0f));
            px[2] = uint8_t(255 * v * (watched ? 0.2f : 1.0f));
        }
    }
    writePng(out, columns, AnalysisBins, 3, rgb);
    return 0;
}

int reportSynth(double step)
{
    const Bus mix = renderTrack();
    std::vector<float> interleaved(mix.frames() * 2);
    for (size_t i = 0; i < mix.frames(); ++i) interleaved[2 * i] = mix.l[i], interleaved[2 * i + 1] = mix.r[i];
    std::printf("synthesized: ");
    printLevels(interleaved, 2);
    printRules(mix.l, step);
    return 0;
}

int writeIcon(const std::string& size, const std::string& out)
{
    const ImageFile icon = appIcon(std::stoi(size));
    writePng(out, icon.width, icon.height, icon.channels, icon.bytes);
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: assetgen OUTDIR | --images OUTDIR | --track OUTDIR | --sheet DIR OUT.png |"
                         " --report TRACK.mp3 | --spectrogram TRACK.mp3 OUT.png |"
                         " --report-synth [STEP] | --icon SIZE OUT.png\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 2 && args[0] == "--images") return writeImages(args[1]), 0;
        if (args.size() == 2 && args[0] == "--track") return writeTrack(args[1]), 0;
        if (args.size() == 3 && args[0] == "--sheet") return writeSheet(args[1], args[2]);
        if (args.size() == 2 && args[0] == "--report") return report(args[1]);
        if (args.size() == 3 && args[0] == "--spectrogram") return spectrogram(args[1], args[2]);
        if (args.size() == 1 && args[0] == "--report-synth") return reportSynth(10);
        if (args.size() == 2 && args[0] == "--report-synth") return reportSynth(std::stod(args[1]));
        if (args.size() == 3 && args[0] == "--icon") return writeIcon(args[1], args[2]);
        if (args.size() == 1 && args[0][0] != '-') {
            writeImages(args[0]);
            writeTrack(args[0]);
            return 0;
        }
        return usage();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "assetgen: %s\n", e.what());
        return 1;
    }
}
