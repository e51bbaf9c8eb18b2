// TagLib's property maps give every format's fields under one set of names (TITLE, ARTIST, ALBUM,
// DATE, COPYRIGHT, LICENSE), several values each; RIFF INFO's copyright (ICOP) is not among them and
// is read from the INFO chunk itself. An MP3 with both ID3v2 and ID3v1 gives ID3v2's.
#include "audio/track_tags.h"

#include <taglib/flacfile.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>

#include <cstring>
#include <fstream>
#include <memory>

namespace {
enum class Container { Unknown, Mp3, Wav, Flac, OggVorbis, OggOpus, OggFlac };

// The container from the first bytes: RIFF/WAVE, fLaC (maybe after an ID3v2 tag), an Ogg page whose
// first packet names its codec, ID3v2 or an MPEG frame sync.
Container containerOf(const std::string& fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    char head[64] = {};
    in.read(head, sizeof head);
    const size_t got = size_t(in.gcount());
    auto is = [&](size_t at, const char* magic) {
        const size_t n = std::strlen(magic);
        return got >= at + n && std::memcmp(head + at, magic, n) == 0;
    };
    if (is(0, "RIFF") && is(8, "WAVE")) return Container::Wav;
    if (is(0, "fLaC")) return Container::Flac;
    if (is(0, "OggS") && got >= 28) {
        const size_t body = 27 + static_cast<unsigned char>(head[26]);   // past the segment table
        if (is(body, "OpusHead")) return Container::OggOpus;
        if (is(body, "\x01vorbis")) return Container::OggVorbis;
        if (is(body, "\x7F" "FLAC")) return Container::OggFlac;
        return Container::Unknown;
    }
    if (is(0, "ID3") && got >= 10) {
        // A FLAC file may carry an ID3v2 tag in front: look past it (its size is synchsafe).
        const unsigned long size = (static_cast<unsigned long>(head[6] & 0x7F) << 21) |
                                   (static_cast<unsigned long>(head[7] & 0x7F) << 14) |
                                   (static_cast<unsigned long>(head[8] & 0x7F) << 7) | (head[9] & 0x7F);
        char after[4] = {};
        in.clear();
        in.seekg(std::streamoff(10 + size));
        in.read(after, 4);
        return in.gcount() == 4 && std::memcmp(after, "fLaC", 4) == 0 ? Container::Flac : Container::Mp3;
    }
    if (got >= 2 && static_cast<unsigned char>(head[0]) == 0xFF && (static_cast<unsigned char>(head[1]) & 0xE0) == 0xE0)
        return Container::Mp3;
    return Container::Unknown;
}

std::unique_ptr<TagLib::File> open(const std::string& fileName, Container c)
{
    const char* name = fileName.c_str();
    switch (c) {
    case Container::Mp3: return std::make_unique<TagLib::MPEG::File>(name, false);
    case Container::Wav: return std::make_unique<TagLib::RIFF::WAV::File>(name, false);
    case Container::Flac: return std::make_unique<TagLib::FLAC::File>(name, false);
    case Container::OggVorbis: return std::make_unique<TagLib::Ogg::Vorbis::File>(name, false);
    case Container::OggOpus: return std::make_unique<TagLib::Ogg::Opus::File>(name, false);
    case Container::OggFlac: return std::make_unique<TagLib::Ogg::FLAC::File>(name, false);
    case Container::Unknown: break;
    }
    return nullptr;
}

void append(std::vector<std::string>& to, const TagLib::StringList& values)
{
    for (const TagLib::String& v : values) to.push_back(v.to8Bit(true));
}
}  // namespace

TagValues readTrackTags(const std::string& fileName)
{
    TagValues out;
    const Container container = containerOf(fileName);
    const std::unique_ptr<TagLib::File> file = open(fileName, container);
    if (!file || !file->isValid()) return out;
    const TagLib::PropertyMap p = file->properties();
    auto field = [&](const char* key, std::vector<std::string>& to) {
        const auto it = p.find(key);
        if (it != p.end()) append(to, it->second);
    };
    field("TITLE", out.title);
    field("ARTIST", out.artist);
    field("ALBUM", out.album);
    field("DATE", out.date);
    field("LICENSE", out.licence);
    field("COPYRIGHT", out.copyright);
    if (container == Container::Wav) {
        const auto* wav = static_cast<const TagLib::RIFF::WAV::File*>(file.get());
        if (wav->hasInfoTag()) {
            const TagLib::RIFF::Info::FieldListMap info = wav->InfoTag()->fieldListMap();
            const auto icop = info.find("ICOP");
            if (icop != info.end()) out.copyright.push_back(icop->second.to8Bit(true));
            if (out.date.empty()) {
                const auto icrd = info.find("ICRD");
                if (icrd != info.end()) out.date.push_back(icrd->second.to8Bit(true));
            }
        }
    }
    return out;
}
