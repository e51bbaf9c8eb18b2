// At start-up a listener's posters become the textures of typo0.png, typo3.png and end.png, every
// other texture still comes from its file, and every texture keeps the name it has in the built-in
// show, whose textures are its committed files' pixels. Each start-up runs in a child of its own,
// so the two shows' texture sets never meet.
#include <gtest/gtest.h>

#include <SDL_opengl.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>

#include "main/show.h"
#include "support/process.h"
#include "utils/texture_library.h"
#include "utils/typeset.h"
#include "utils/video.h"
#include "words/posters.h"

namespace {
const char* const Watched[] = {"typo0.png", "typo3.png", "end.png", "typo1.png", "star.png"};

uint64_t digest(const std::vector<uint8_t>& bytes)
{
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
    return h;
}

TrackWords listenerWords()
{
    TrackWords w;
    w.title = "\xCE\x9D\xCF\x8D\xCF\x87\xCF\x84\xCE\xB1 drive";
    w.artist = "Anna";
    w.tempo = 174;
    w.lengthMs = 200000;
    return w;
}

// "file name texture digest" per watched file, from the textures a start-up with this score made.
std::map<std::string, std::string> texturesAfterStartUp(bool listener)
{
    const ProcessResult r = runInChild([listener] {
        if (chdir(SHOW_DATA_DIR) != 0) return;
        initVideo(1024, 768, false);
        ShowScore score = builtInScore();
        if (listener) {
            Typesetter type;
            score.posters = listenerPosters(listenerWords(), type);
        }
        startShow(score);
        for (const char* file : Watched) {
            const uint32_t name = std::string(file) == "end.png" ? EndTexture : findTexture(file);
            glBindTexture(GL_TEXTURE_2D, name);
            GLint w = 0, h = 0, format = 0;
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
            const bool grey = format == GL_ALPHA || format == GL_ALPHA8;
            std::vector<uint8_t> pixels(size_t(w) * size_t(h) * (grey ? 1 : 3));
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glGetTexImage(GL_TEXTURE_2D, 0, grey ? GL_ALPHA : GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
            std::printf("%s %u %016llx\n", file, name, static_cast<unsigned long long>(digest(pixels)));
        }
        closeVideo();
    });
    std::map<std::string, std::string> out;
    std::istringstream lines(r.out);
    for (std::string file, name, hash; lines >> file >> name >> hash;) out[file] = name + " " + hash;
    return out;
}

std::string expected(const std::string& name, const Image& image)
{
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(digest(image.pixels)));
    return name + " " + hash;
}
}  // namespace

TEST(ListenerPosters, ReplaceTheirFilesTexturesAndNothingElse)
{
    const std::map<std::string, std::string> builtIn = texturesAfterStartUp(false);
    const std::map<std::string, std::string> listener = texturesAfterStartUp(true);
    ASSERT_EQ(builtIn.size(), std::size(Watched));
    ASSERT_EQ(listener.size(), std::size(Watched));

    Typesetter type;
    const std::vector<NamedImage> posters = listenerPosters(listenerWords(), type);
    for (const char* file : Watched) {
        SCOPED_TRACE(file);
        const std::string name = builtIn.at(file).substr(0, builtIn.at(file).find(' '));
        Image committed;
        std::string error;
        ASSERT_TRUE(decodePng((std::string(SHOW_DATA_DIR) + "/" + file).c_str(), committed, error)) << error;
        EXPECT_EQ(builtIn.at(file), expected(name, committed)) << "the built-in show's texture is its file";
        const Image* poster = nullptr;
        for (const NamedImage& p : posters)
            if (p.fileName == file) poster = &p.image;
        EXPECT_EQ(listener.at(file), expected(name, poster ? *poster : committed))
            << "a listener's: the poster where there is one, else the file, under the same texture name";
    }
}
