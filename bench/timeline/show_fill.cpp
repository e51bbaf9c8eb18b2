// Pixels filled and render time per frame of the scripted whole show (the capture tool's clocks: the
// frame number drives music and wall clock) on an offscreen GL context: every frame's drawing is
// counted with an occlusion query (fragments rasterised; no depth test, so every one is filled) and
// timed to glFinish. The textures' cover meshes can be rebuilt with another cell size, or replaced
// by whole squares, to compare what the meshes save.
//   show_fill [--cell N | --full-quads] [--from S] [--to S] [--fps N]   (run in a folder of the show's files)
#define GL_GLEXT_PROTOTYPES 1
#include <SDL_opengl.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "audio/analyser.h"
#include "audio/decoded_track.h"
#include "audio/music.h"
#include "main/scripted_host.h"
#include "main/show.h"
#include "timeline/active_fragments.h"
#include "utils/coverage.h"
#include "utils/format.h"
#include "utils/texture.h"
#include "utils/texture_library.h"
#include "utils/video.h"

namespace {
using Clock = std::chrono::steady_clock;

double cpuSeconds()  // the whole process: the rasteriser's threads included
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double percentile(std::vector<double> v, double q)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(q * double(v.size() - 1) + 0.5))];
}

// Every fragment texture's cover mesh made again from its file: cell 0 means whole squares.
void rebuildCovers(int cell, long& triangles)
{
    triangles = 0;
    auto rebuild = [&](uint32_t texture, const std::string& file) {
        CoverMesh mesh;
        if (cell > 0) mesh = coverMesh(loadPng(file.c_str()), cell);
        triangles += mesh.whole ? 2 : long(mesh.triangles.size() / 3);
        setTextureCover(texture, std::move(mesh));
    };
    for (int i = 0; i < ElectroTextureCount; ++i) rebuild(ElectroTextures[i], formatString("ec%d.png", i));
    for (int i = 0; i < BlendTextureCount; ++i) rebuild(BlendTextures[i], formatString("blend%02d.png", i));
    for (int i = 0; i < LibraryTextureCount; ++i) rebuild(TextureLibrary.textures[i], LibraryFileNames[i]);
}
}  // namespace

int main(int argc, char** argv)
{
    int cell = CoverCellTexels, fps = 60;
    double from = 0, to = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--full-quads") cell = 0;
        else if (a == "--cell" && i + 1 < argc) cell = std::atoi(argv[++i]);
        else if (a == "--from" && i + 1 < argc) from = std::atof(argv[++i]);
        else if (a == "--to" && i + 1 < argc) to = std::atof(argv[++i]);
        else if (a == "--fps" && i + 1 < argc) fps = std::atoi(argv[++i]);
        else {
            std::fprintf(stderr, "usage: show_fill [--cell N | --full-quads] [--from S] [--to S] [--fps N]\n");
            return 2;
        }
    }
    DecodedTrack track;
    if (decodeTrack(TrackFileName, track) != 0) {
        std::fprintf(stderr, "show_fill: no %s here\n", TrackFileName);
        return 1;
    }
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    initVideo(ShowWidth, ShowHeight, false);
    startShow();
    long meshTriangles = 0;
    rebuildCovers(cell, meshTriangles);

    SpectrumAnalyser analyser;
    const long first = long(from * fps), last = to >= 0 ? long(to * fps) : -1;
    auto measured = [&](long n) { return n >= first && (last < 0 || n <= last); };
    auto viewport = [&](long n) {
        // Frames outside the range run the same logic into one pixel, as the capture tool does.
        glViewport(0, 0, measured(n) ? ShowWidth : 1, measured(n) ? ShowHeight : 1);
    };

    GLuint query = 0;
    glGenQueries(1, &query);
    std::vector<double> pixels, ms;
    double cpuMeasured = 0, cpuAtFrameStart = cpuSeconds();
    std::vector<size_t> live;
    Clock::time_point frameStart = Clock::now();
    const Clock::time_point runStart = frameStart;

    ScriptedShowOptions script;
    script.framesPerSecond = fps;
    script.trackLengthMs = track.lengthMs();
    script.spectrumAt = [&](uint32_t positionMs, float* out) { spectrumAt(track, positionMs, analyser, out); };
    script.escapeAfterFrames = last >= 0 ? last + 1 : -1;
    script.present = false;
    script.onFrameEnd = [&](long n) {
        glEndQuery(GL_SAMPLES_PASSED);
        GLuint samples = 0;
        glGetQueryObjectuiv(query, GL_QUERY_RESULT, &samples);  // waits for the frame's drawing
        glFinish();
        const Clock::time_point now = Clock::now();
        if (measured(n)) {
            cpuMeasured += cpuSeconds() - cpuAtFrameStart;
            pixels.push_back(double(samples));
            ms.push_back(std::chrono::duration<double, std::milli>(now - frameStart).count());
            live.push_back(ActiveFragments.size());
        }
        viewport(n + 1);
        frameStart = Clock::now();
        cpuAtFrameStart = cpuSeconds();
        glBeginQuery(GL_SAMPLES_PASSED, query);
    };
    viewport(0);
    glBeginQuery(GL_SAMPLES_PASSED, query);
    ScriptedHost host(script);
    runFrameLoop(host);
    glEndQuery(GL_SAMPLES_PASSED);
    const double total = std::chrono::duration<double>(Clock::now() - runStart).count();
    closeVideo();

    constexpr double Screen = double(ShowWidth) * ShowHeight;
    double sum = 0;
    for (double p : pixels) sum += p;
    std::printf("%s: %zu frames measured, %ld triangles in the 35 fragment textures' meshes\n",
                cell > 0 ? formatString("cover cells of %d texels", cell).c_str() : "full quads", pixels.size(),
                meshTriangles);
    std::printf("  pixels filled per frame (screens of 1024x768): mean %.2f, median %.2f, p99 %.2f, max %.2f\n",
                sum / double(pixels.size()) / Screen, percentile(pixels, 0.5) / Screen,
                percentile(pixels, 0.99) / Screen, percentile(pixels, 1.0) / Screen);
    std::printf("  render to glFinish, ms: median %.2f, p95 %.2f, p99 %.2f, max %.2f; whole run %.1f s\n",
                percentile(ms, 0.5), percentile(ms, 0.95), percentile(ms, 0.99), percentile(ms, 1.0), total);
    std::printf("  CPU time of the measured frames (all threads): %.2f ms a frame\n",
                1000 * cpuMeasured / double(pixels.size()));
    const size_t bands[] = {0, 10, 20, 30, 40, 1000};
    for (size_t b = 0; b + 1 < std::size(bands); ++b) {
        std::vector<double> inPixels, inMs;
        for (size_t i = 0; i < live.size(); ++i)
            if (live[i] >= bands[b] && live[i] < bands[b + 1]) {
                inPixels.push_back(pixels[i]);
                inMs.push_back(ms[i]);
            }
        if (!inMs.empty())
            std::printf("  %zu..%zu live: %zu frames, median %.2f screens, %.2f ms\n", bands[b], bands[b + 1] - 1,
                        inMs.size(), percentile(inPixels, 0.5) / Screen, percentile(inMs, 0.5));
    }
    return 0;
}
