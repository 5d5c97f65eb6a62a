// Decoding PNG and JPEG files in memory: MORVEN's "Image" module (libspng,
// libjpeg-turbo, through mvImageLoadMemory) beside stb_image, the decoder it
// replaced. The files are made here: a photo-like picture (smooth shading
// and noise) and a game frame (flat areas, hard edges), 1024 x 768, as PNG
// (MORVEN's writer) and as JPEG (libjpeg-turbo, quality 90, 4:2:0). The
// two decoders of a file are registered in alternating order.
#include <benchmark/benchmark.h>

#if MORVEN_BENCH_IMAGE
#include <morven/error.h>
#include <morven/image.h>

#include <dlfcn.h>

#include <cstdio>

#include <jpeglib.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#include <stb/stb_image.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/engine/engine_state.h"
#include "core/render/png_write.h"

extern "C" const MVPlugin *mvPluginEntry();

namespace {

using Bytes = std::vector<uint8_t>;
constexpr int kW = 1024, kH = 768;

Bytes picture(bool photo) {
    Bytes rgba(size_t(kW) * kH * 4);
    uint32_t seed = 7;
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++) {
            uint8_t *p = &rgba[4 * (size_t(y) * kW + x)];
            if (photo) {
                seed = seed * 1103515245u + 12345u;
                int noise = int(seed >> 28) - 8;
                double v = 128 + 100 * std::sin(x * 0.013) * std::cos(y * 0.021);
                p[0] = uint8_t(std::lround(v) + noise);
                p[1] = uint8_t(std::lround(255 - v) + noise / 2);
                p[2] = uint8_t((x + y) / 8 + noise);
            } else {
                bool tile = ((x / 32) ^ (y / 32)) & 1;
                bool sprite = (x % 200 - 100) * (x % 200 - 100) + (y % 150 - 75) * (y % 150 - 75) < 900;
                p[0] = sprite ? 240 : tile ? 40 : 60;
                p[1] = sprite ? 200 : tile ? 90 : 110;
                p[2] = sprite ? 30 : uint8_t(y / 24 * 8);
            }
            p[3] = 255;
        }
    return rgba;
}

Bytes png(const Bytes &rgba) {
    ByteBuffer out;
    pngEncode(rgba.data(), kW, kH, &out);
    return Bytes(out.data(), out.data() + out.size());
}

Bytes jpeg(const Bytes &rgba) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char *mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = kW;
    c.image_height = kH;
    c.input_components = 4;
    c.in_color_space = JCS_EXT_RGBA;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<uint8_t *>(&rgba[size_t(c.next_scanline) * kW * 4]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes b(mem, mem + size);
    free(mem);
    return b;
}

void morven(benchmark::State &state, const Bytes *file) {
    for (auto _ : state) {
        void *image = mvImageLoadMemory(file->data(), file->size());
        if (!image) {
            state.SkipWithError(mvGetError());
            return;
        }
        benchmark::DoNotOptimize(image);
        mvImageFree(image);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 4);
}

void stb(benchmark::State &state, const Bytes *file) {
    for (auto _ : state) {
        int w, h, channels;
        uint8_t *pixels = stbi_load_from_memory(file->data(), int(file->size()), &w, &h, &channels, 4);
        if (!pixels) {
            state.SkipWithError(stbi_failure_reason());
            return;
        }
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 4);
}

struct Files {
    Bytes photoPng, framePng, photoJpeg, frameJpeg;
};

int registerAll() {
    // The module's record, as mvLoadModule would install it.
    engineState().modules[MODULE_IMAGE] = {dlopen(nullptr, RTLD_NOW), mvPluginEntry()};
    static Files f;
    Bytes photo = picture(true), frame = picture(false);
    f.photoPng = png(photo);
    f.framePng = png(frame);
    f.photoJpeg = jpeg(photo);
    f.frameJpeg = jpeg(frame);
    struct Entry {
        const char *name;
        const Bytes *file;
    } entries[] = {{"png_photo", &f.photoPng}, {"png_frame", &f.framePng},
                   {"jpeg_photo", &f.photoJpeg}, {"jpeg_frame", &f.frameJpeg}};
    int n = 0;
    for (const Entry &e : entries) {
        std::string base = std::string("ImageDecode/") + e.name + "/";
        if (n++ % 2 == 0) {
            benchmark::RegisterBenchmark((base + "morven").c_str(), morven, e.file)->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark((base + "stb").c_str(), stb, e.file)->Unit(benchmark::kMillisecond);
        } else {
            benchmark::RegisterBenchmark((base + "stb").c_str(), stb, e.file)->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark((base + "morven").c_str(), morven, e.file)->Unit(benchmark::kMillisecond);
        }
    }
    return 0;
}

const int registered = registerAll();

}  // namespace
#endif
