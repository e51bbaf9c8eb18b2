// Checks the wasm builds of libpng, libmpg123 and FFTW through the calls the show makes, on files that
// check-deps.sh writes: a PNG whose every pixel follows a formula, the same PNG cut short, and an MP3 of a
// sine tone that lame encoded with its gapless tag. Prints one line per check and exits non-zero on a fault.
#include <png.h>
#include <mpg123.h>
#include <fftw3.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int failures = 0;

void check(bool ok, const std::string& what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
  if (!ok) ++failures;
}

struct Image {
  unsigned width = 0, height = 0;
  std::vector<unsigned char> rgba;
  std::string error;
};

void on_png_error(png_structp png, png_const_charp message) {
  static_cast<Image*>(png_get_error_ptr(png))->error = message;
  png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

// The classic read path with setjmp, as the show's loader uses it: a damaged file must come back
// through longjmp with libpng's message, which under wasm depends on emscripten's setjmp support.
Image read_png(const char* path) {
  Image image;
  FILE* file = std::fopen(path, "rb");
  if (!file) {
    image.error = "cannot open";
    return image;
  }
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &image, on_png_error, on_png_warning);
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    image.rgba.clear();
    return image;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  png_set_palette_to_rgb(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
  png_read_update_info(png, info);
  image.width = png_get_image_width(png, info);
  image.height = png_get_image_height(png, info);
  image.rgba.resize(std::size_t(image.width) * image.height * 4);
  for (unsigned y = 0; y < image.height; ++y) rows.push_back(&image.rgba[std::size_t(y) * image.width * 4]);
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  return image;
}

// Must match make_png in check-deps.sh.
unsigned char expected_channel(unsigned x, unsigned y, unsigned c) {
  const unsigned values[4] = {x * 7 % 256, y * 11 % 256, (x * y) % 256, (255 - x - y) % 256};
  return static_cast<unsigned char>(values[c]);
}

void check_png(const char* good, const char* damaged) {
  Image image = read_png(good);
  check(image.error.empty(), std::string("png decodes ") + (image.error.empty() ? "" : image.error));
  check(image.width == 37 && image.height == 23, "png size " + std::to_string(image.width) + "x" +
                                                       std::to_string(image.height));
  unsigned wrong = 0;
  for (unsigned y = 0; y < image.height && !image.rgba.empty(); ++y)
    for (unsigned x = 0; x < image.width; ++x)
      for (unsigned c = 0; c < 4; ++c)
        if (image.rgba[(std::size_t(y) * image.width + x) * 4 + c] != expected_channel(x, y, c)) ++wrong;
  check(!image.rgba.empty() && wrong == 0, "png pixels exact (" + std::to_string(wrong) + " channels differ)");

  Image broken = read_png(damaged);
  check(!broken.error.empty(), "damaged png fails with libpng's message: " + broken.error);
}

// The strongest bin of a 4096-point real FFT over mono samples.
int peak_bin(const std::vector<float>& samples) {
  const int n = 4096;
  float* in = fftwf_alloc_real(n);
  fftwf_complex* out = fftwf_alloc_complex(n / 2 + 1);
  // FFTW_MEASURE never returned under wasm; the show plans with FFTW_ESTIMATE too.
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(n, in, out, FFTW_ESTIMATE);
  for (int i = 0; i < n; ++i) in[i] = samples[i];
  fftwf_execute(plan);
  int best = 0;
  float best_power = -1;
  for (int k = 1; k <= n / 2; ++k) {
    const float power = out[k][0] * out[k][0] + out[k][1] * out[k][1];
    if (power > best_power) best_power = power, best = k;
  }
  fftwf_destroy_plan(plan);
  fftwf_free(in);
  fftwf_free(out);
  return best;
}

void check_fft() {
  // A cosine exactly on bin 100 puts all its energy there: n/2 in the real part, nothing elsewhere.
  const int n = 4096;
  float* in = fftwf_alloc_real(n);
  fftwf_complex* out = fftwf_alloc_complex(n / 2 + 1);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(n, in, out, FFTW_ESTIMATE);
  for (int i = 0; i < n; ++i) in[i] = std::cos(2 * M_PI * 100 * i / n);
  fftwf_execute(plan);
  double leak = 0;
  for (int k = 0; k <= n / 2; ++k)
    if (k != 100) leak = std::fmax(leak, std::hypot(out[k][0], out[k][1]));
  check(std::fabs(out[100][0] - n / 2.0) < 0.01 * n && leak < 1e-3 * n,
        "fft of a cosine on bin 100: " + std::to_string(out[100][0]) + " there, at most " +
            std::to_string(leak) + " elsewhere");
  fftwf_destroy_plan(plan);
  for (const int size : {512, 4096}) {
    fftwf_plan timed = fftwf_plan_dft_r2c_1d(size, in, out, FFTW_ESTIMATE);
    const int runs = 2000;
    const auto t0 = std::chrono::steady_clock::now();
    for (int r = 0; r < runs; ++r) fftwf_execute(timed);
    const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
    std::printf("info %d-point float r2c FFT: %.2f us each\n", size, us / runs);
    fftwf_destroy_plan(timed);
  }
  fftwf_free(in);
  fftwf_free(out);
}

void check_mp3(const char* path, long frames, int tone_hz, const char* dump) {
  mpg123_init();
  int err = 0;
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  check(mh != nullptr, "mpg123_new");
  if (!mh) return;
  // The show's decoder settings: forcing the rate needs mpg123's resampler, which a build can leave out.
  check(mpg123_param(mh, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET | MPG123_FORCE_STEREO, 0) == MPG123_OK &&
            mpg123_param(mh, MPG123_FORCE_RATE, 44100, 0) == MPG123_OK && mpg123_format_none(mh) == MPG123_OK &&
            mpg123_format(mh, 44100, MPG123_STEREO, MPG123_ENC_FLOAT_32) == MPG123_OK,
        "mp3 decoder takes the show's settings");
  const int fd = open(path, O_RDONLY);
  check(fd >= 0 && mpg123_open_fd(mh, fd) == MPG123_OK, "mp3 opens");
  long rate = 0;
  int channels = 0, encoding = 0;
  mpg123_getformat(mh, &rate, &channels, &encoding);
  check(rate == 44100 && channels == 2 && encoding == MPG123_ENC_FLOAT_32, "mp3 format 44100 Hz stereo float");
  mpg123_scan(mh);
  const off_t length = mpg123_length(mh);
  check(length == frames, "mp3 length from the gapless tag: " + std::to_string(length) + " frames");

  std::vector<float> mono;
  std::vector<float> buffer(8192);
  // The decoded samples, for comparing this build's decoder with another's (check-deps.sh compares
  // with the desktop's libmpg123).
  FILE* out = dump ? std::fopen(dump, "wb") : nullptr;
  size_t done = 0;
  int result;
  do {
    result = mpg123_read(mh, reinterpret_cast<unsigned char*>(buffer.data()), buffer.size() * sizeof(float), &done);
    for (size_t i = 0; i + 1 < done / sizeof(float); i += 2) mono.push_back(0.5f * (buffer[i] + buffer[i + 1]));
    if (out) std::fwrite(buffer.data(), 1, done, out);
  } while (result == MPG123_OK || result == MPG123_NEW_FORMAT);
  if (out) std::fclose(out);
  check(result == MPG123_DONE, "mp3 decodes to the end");
  check(long(mono.size()) == frames, "decoded frames " + std::to_string(mono.size()));
  mpg123_delete(mh);
  close(fd);
  if (mono.size() < 4096 * 2) return;
  const std::vector<float> middle(mono.begin() + mono.size() / 2, mono.begin() + mono.size() / 2 + 4096);
  const int bin = peak_bin(middle);
  const int expected = int(std::lround(tone_hz * 4096.0 / 44100));
  check(std::abs(bin - expected) <= 1, "mp3 tone lands on bin " + std::to_string(bin) + " (expected " +
                                           std::to_string(expected) + ")");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6 && argc != 7) {
    std::fprintf(stderr, "usage: depcheck GOOD.png DAMAGED.png TONE.mp3 FRAMES TONE_HZ [DECODED.f32]\n");
    return 2;
  }
  check_png(argv[1], argv[2]);
  check_fft();
  check_mp3(argv[3], std::atol(argv[4]), std::atoi(argv[5]), argc == 7 ? argv[6] : nullptr);
  std::printf("%d failed\n", failures);
  return failures == 0 ? 0 : 1;
}
