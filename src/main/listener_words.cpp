// addTrackWords: the words first, so the posters are set from exactly what the log line says.
#include "main/listener_words.h"

#include <stdexcept>

#include "audio/track_tags.h"
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
    try {
        Typesetter type(fontDirectory);
        score.posters = listenerPosters(words, type);
    } catch (const std::runtime_error& e) {
        error = "can't set the words of '" + shownName + "': " + e.what();
        return false;
    }
    score.words = words;
    return true;
}
