// LAME in its variable-bit-rate mode with the Xing/LAME tag; mpg123 decoding to floats, gapless.
#include "mp3.h"

#include <lame.h>
#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

std::vector<uint8_t> encodeMp3(const Bus& stereo)
{
    lame_global_flags* gf = lame_init();
    if (!gf) throw std::runtime_error("lame_init failed");
    std::unique_ptr<lame_global_flags, int (*)(lame_global_flags*)> guard(gf, &lame_close);
    lame_set_in_samplerate(gf, SampleRate);
    lame_set_out_samplerate(gf, SampleRate);
    lame_set_num_channels(gf, 2);
    lame_set_mode(gf, JOINT_STEREO);
    lame_set_VBR(gf, vbr_mtrh);
    lame_set_VBR_quality(gf, 2.0f);
    lame_set_quality(gf, 3);
    lame_set_bWriteVbrTag(gf, 1);            // the LAME/Info tag: decoders trim the padding with it
    lame_set_write_id3tag_automatic(gf, 0);  // no ID3: the file's bytes depend on the audio alone
    if (lame_init_params(gf) < 0) throw std::runtime_error("lame_init_params failed");

    std::vector<uint8_t> out;
    constexpr int Chunk = 8192;
    std::vector<unsigned char> buffer(size_t(1.25 * Chunk + 7200));
    for (size_t at = 0; at < stereo.frames(); at += Chunk) {
        const int n = int(std::min<size_t>(Chunk, stereo.frames() - at));
        const int written = lame_encode_buffer_ieee_float(gf, &stereo.l[at], &stereo.r[at], n, buffer.data(),
                                                          int(buffer.size()));
        if (written < 0) throw std::runtime_error("lame_encode_buffer failed");
        out.insert(out.end(), buffer.begin(), buffer.begin() + written);
    }
    const int tail = lame_encode_flush(gf, buffer.data(), int(buffer.size()));
    if (tail < 0) throw std::runtime_error("lame_encode_flush failed");
    out.insert(out.end(), buffer.begin(), buffer.begin() + tail);

    // The first frame was reserved for the tag; now that the whole stream is known, fill it in.
    std::vector<unsigned char> tag(4096);
    const size_t tagBytes = lame_get_lametag_frame(gf, tag.data(), tag.size());
    if (tagBytes == 0 || tagBytes > out.size()) throw std::runtime_error("no LAME tag frame");
    std::memcpy(out.data(), tag.data(), tagBytes);
    return out;
}

bool decodeMp3(const std::string& path, DecodedMp3& out, std::string& error)
{
#if MPG123_API_VERSION < 46
    mpg123_init();
#endif
    int err = MPG123_OK;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    if (!mh) {
        error = "mpg123_new failed";
        return false;
    }
    std::unique_ptr<mpg123_handle, void (*)(mpg123_handle*)> guard(mh, &mpg123_delete);
    mpg123_param(mh, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    mpg123_format_none(mh);
    mpg123_format(mh, 44100, MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    if (mpg123_open(mh, path.c_str()) != MPG123_OK) {
        error = "can't open " + path + ": " + mpg123_strerror(mh);
        return false;
    }
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK) {
        error = "no audio format in " + path;
        mpg123_close(mh);
        return false;
    }
    out.rate = rate;
    out.channels = channels;
    out.samples.clear();
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
        size_t done = 0;
        const int r = mpg123_read(mh, buffer.data(), buffer.size(), &done);
        const float* f = reinterpret_cast<const float*>(buffer.data());
        out.samples.insert(out.samples.end(), f, f + done / sizeof(float));
        if (r == MPG123_DONE) break;
        if (r != MPG123_OK && r != MPG123_NEW_FORMAT) {
            error = "decoding " + path + ": " + mpg123_strerror(mh);
            mpg123_close(mh);
            return false;
        }
    }
    mpg123_close(mh);
    return true;
}
