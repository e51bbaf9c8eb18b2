// addTrackWords: the words first, so the posters are set from exactly what the log line says.
#include "main/listener_words.h"

#include <taglib/taglib.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "audio/track_tags.h"
#include "utils/format.h"
#include "utils/typeset.h"
#include "words/posters.h"

bool addTrackWords(ShowScore& score, const std::string& tagFile, const std::string& shownName,
                   const WordOptions& options, int tempo, uint32_t lengthMs, const std::string& fontDirectory,
                   std::string& error)
{
    TrackWords words = wordsFromTags(readTrackTags(tagFile), shownName);
    overrideWords(words, options.title, options.artist);
    words.tempo = tempo;
    words.lengthMs = lengthMs;
    if (!setPosters(words, shownName, fontDirectory, score.posters, error)) return false;
    score.words = words;
    return true;
}

bool setPosters(const TrackWords& words, const std::string& shownName, const std::string& fontDirectory,
                std::vector<NamedImage>& posters, std::string& error)
{
    // Checked here rather than caught from the typesetter: the page's wasm catches no C++ exception.
    for (FontStyle font : PosterFonts) {
        const std::string path = fontDirectory + "/" + fontFileName(font);
        if (!std::ifstream(path)) {
            error = "can't set the words of '" + shownName + "': missing font " + path +
                    " (Debian: fonts-dejavu-core, fonts-dejavu-extra)";
            return false;
        }
    }
    try {
        Typesetter type(fontDirectory);
        posters = listenerPosters(words, type);
    } catch (const std::runtime_error& e) {
        error = "can't set the words of '" + shownName + "': " + e.what();
        return false;
    }
    return true;
}

TrackWords liveWords(const std::string& source, const std::string& title, const std::string& artist,
                     const std::string& album)
{
    TagValues tags;
    if (title.empty()) {
        tags.title = {source};
    } else {
        tags.title = {title};
        if (!artist.empty()) tags.artist = {artist};
        if (!album.empty()) tags.album = {album};
    }
    return wordsFromTags(tags, source);
}

std::string wordsDependencies(const std::string& fontDirectory)
{
    uint64_t h = 1469598103934665603ull;   // FNV-1a over each file's name and bytes
    for (FontStyle font : PosterFonts) {
        const std::string name = fontFileName(font);
        std::ifstream in(fontDirectory + "/" + name, std::ios::binary);
        if (!in) return formatString("TagLib %d.%d, FreeType %s, fonts missing %s", TAGLIB_MAJOR_VERSION,
                                     TAGLIB_MINOR_VERSION, freetypeVersion().c_str(), name.c_str());
        std::string bytes = name + '\0';
        bytes.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
    }
    return formatString("TagLib %d.%d, FreeType %s, fonts %016llx", TAGLIB_MAJOR_VERSION, TAGLIB_MINOR_VERSION,
                        freetypeVersion().c_str(), static_cast<unsigned long long>(h));
}
