// A listener's posters, set at start-up from the track's words in the look of the show's own: the
// title poster in typo0.png's place, the tempo ring in typo3.png's and the closing card in end.png's.
// Plain images, decoded as the PNGs would be; the texture code uploads them in those files' places.
#pragma once
#include <string>
#include <vector>

#include "utils/image.h"
#include "utils/typeset.h"
#include "words/track_words.h"

constexpr const char* TitlePosterFile = "typo0.png";
constexpr const char* TempoPosterFile = "typo3.png";
constexpr const char* ClosingCardFile = "end.png";
constexpr const char* ShowCredit = "show: code & images by the fragments crew";

// The fonts the posters are set in, the fallback (Sans Bold) among them: all a page needs to fetch.
constexpr FontStyle PosterFonts[] = {FontStyle::SansBold, FontStyle::SansCondensedBold, FontStyle::SansLight,
                                     FontStyle::SerifBoldItalic, FontStyle::MonoBold};
static_assert(sizeof(PosterFonts) / sizeof(PosterFonts[0]) == 5, "five fonts");

// --- Making (the same words give the same bytes on every machine: no libm call but sqrt)
Image titlePoster(const TrackWords& words, Typesetter& type);   // 1024x1024 grey: the title over its outline echo, a rule, the artist, album, year, length
Image tempoPoster(const TrackWords& words, Typesetter& type);   // 1024x1024 grey: the tempo (or, withheld, the length;
                                                                // no length: LIVE) in a ring of beat dots
Image closingCard(const TrackWords& words, Typesetter& type);   // 512x512 RGB: the title, "the end", the artist, the credits
// All three, by the file each stands in for (rows bottom first, as decodePng gives them), in load order.
std::vector<NamedImage> listenerPosters(const TrackWords& words, Typesetter& type);

// --- Writing them out as the PNG files they stand in for (a preview; the page's test reads them back)
bool writePosters(const std::vector<NamedImage>& posters, const std::string& directory, std::string& error);

// --- Pieces
std::string lengthText(uint32_t ms);   // "m:ss" (whole seconds, rounded down), "h:mm:ss" from an hour on
std::string creditsLine(const TrackWords& words);   // "music by ARTIST · LICENCE", as much of it as is tagged
