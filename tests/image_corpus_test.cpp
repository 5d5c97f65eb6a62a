// The "Image" module against files made to hurt: every one gives null with
// a reason, or an image whose every pixel came from the file, each within a
// second and far below the memory of the largest image allowed.
#include <gtest/gtest.h>
#include <morven/engine.h>
#include <morven/error.h>
#include <morven/image.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(MORVEN_TEST_MODULE_DIR) && defined(MORVEN_TEST_IMAGE)
#include <jpeglib.h>

#include "core/render/png_write.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string tempDir() {
    char pattern[] = "/tmp/morven-image-XXXXXX";
    const char *dir = mkdtemp(pattern);
    return dir ? dir : "/tmp";
}

void writeFile(const std::string &path, const Bytes &bytes) {
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (!bytes.empty()) {
        ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    }
    ASSERT_EQ(fclose(f), 0);
}

Bytes text(const char *s, size_t n) { return Bytes(s, s + n); }

void put32(Bytes &b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}
void put16le(Bytes &b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32le(Bytes &b, uint32_t v) {
    put16le(b, v & 0xffff);
    put16le(b, v >> 16);
}

uint32_t crc32(const uint8_t *p, size_t n) {
    uint32_t c = 0xffffffffu;
    for (size_t i = 0; i < n; i++) {
        c ^= p[i];
        for (int k = 0; k < 8; k++) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
    }
    return c ^ 0xffffffffu;
}

// A PNG signature and an IHDR chunk (with a correct CRC) claiming w x h RGBA.
Bytes pngHeader(uint32_t w, uint32_t h) {
    Bytes b = text("\x89PNG\r\n\x1a\n", 8);
    put32(b, 13);
    size_t typeAt = b.size();
    for (char c : std::string("IHDR")) b.push_back(uint8_t(c));
    put32(b, w);
    put32(b, h);
    for (uint8_t v : {8, 6, 0, 0, 0}) b.push_back(v);
    put32(b, crc32(b.data() + typeAt, 17));
    return b;
}

Bytes pattern(int w, int h) {
    Bytes rgba(size_t(w) * h * 4);
    for (size_t i = 0; i < rgba.size(); i++) rgba[i] = uint8_t(i * 37 + i / 97);
    return rgba;
}

Bytes png(int w, int h) {
    Bytes rgba = pattern(w, h);
    ByteBuffer out;
    EXPECT_TRUE(pngEncode(rgba.data(), w, h, &out));
    return Bytes(out.data(), out.data() + out.size());
}

// The JPEG files' content: the same smooth ramp in every channel, so that
// lossy coding keeps each pixel close to it.
uint8_t ramp(int x, int y) { return uint8_t(x * 4 + y * 2); }

Bytes jpeg(int w, int h, bool gray) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char *mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = w;
    c.image_height = h;
    c.input_components = gray ? 1 : 3;
    c.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    Bytes row(size_t(w) * c.input_components);
    while (c.next_scanline < c.image_height) {
        for (size_t x = 0; x < row.size(); x++) row[x] = ramp(int(x) / c.input_components, int(c.next_scanline));
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes b(mem, mem + size);
    free(mem);
    return b;
}

// What a child process found decoding one file.
enum Outcome : int { kRefusedWithReason = 10, kRefusedSilently, kDecoded, kDecodedWrong, kReasonMismatch };

struct Case {
    const char *name;
    Bytes bytes;
    bool decodes;        // an image comes back
    const char *reason;  // refusals: a part of mvGetError's text
};

std::vector<Case> corpus() {
    std::vector<Case> cases;
    // 16-bit binary PGM, 1024 x 1024, with all its data.
    Bytes pgm = text("P5\n1024 1024\n65535\n", 19);
    pgm.resize(pgm.size() + 1024 * 1024 * 2, 0x7f);
    cases.push_back({"16-bit PGM", pgm, false, "PGM files are not read"});
    cases.push_back({"header-only PPM", text("P6\n16 16\n255\n", 13), false, "PPM"});
    Bytes tga(18, 0);
    tga[2] = 2;  // true colour
    tga[12] = 16;
    tga[14] = 16;
    tga[16] = 32;
    cases.push_back({"header-only TGA", tga, false, "TGA"});
    Bytes bmp = text("BM", 2);
    put32le(bmp, 54);
    put32le(bmp, 0);
    put32le(bmp, 54);
    put32le(bmp, 40);
    put32le(bmp, 23170);
    put32le(bmp, 23170);
    put16le(bmp, 1);
    put16le(bmp, 32);
    bmp.resize(54, 0);
    cases.push_back({"BMP bomb", bmp, false, "BMP"});
    Bytes gif = text("GIF89a\xff\xff\xff\xff\x80\x00\x00", 13);
    gif.resize(gif.size() + 6, 0);
    cases.push_back({"GIF bomb", gif, false, "GIF"});
    Bytes psd = text("8BPS\0\1\0\0\0\0\0\0\0\4", 14);
    put32(psd, 30000);
    put32(psd, 30000);
    cases.push_back({"PSD bomb", psd, false, "PSD"});

    Bytes good = png(37, 23);
    cases.push_back({"PNG", good, true, nullptr});
    // Cut inside the header, the image data, and just before IEND.
    for (size_t keep : {size_t(20), size_t(45), good.size() / 2, good.size() - 13, good.size() - 12})
        cases.push_back({"truncated PNG", Bytes(good.begin(), good.begin() + keep), false, "PNG"});
    Bytes badCrc = good;
    badCrc[40] ^= 1;
    cases.push_back({"PNG with a damaged chunk", badCrc, false, "PNG"});
    cases.push_back({"0x0 PNG", pngHeader(0, 0), false, "PNG"});
    cases.push_back({"2^31 wide PNG", pngHeader(0x80000000u, 1), false, "PNG"});
    cases.push_back({"PNG over the side limit", pngHeader(16385, 1), false, "limit"});
    cases.push_back({"PNG over the pixel limit", pngHeader(16384, 4097), false, "limit"});

    Bytes photo = jpeg(40, 30, false);
    cases.push_back({"JPEG", photo, true, nullptr});
    cases.push_back({"grey JPEG", jpeg(17, 9, true), true, nullptr});
    for (size_t keep : {size_t(3), size_t(100), photo.size() / 2, photo.size() - 2})
        cases.push_back({"truncated JPEG", Bytes(photo.begin(), photo.begin() + keep), false, "JPEG"});
    // A Huffman table claiming 300 symbols, right after the start marker.
    Bytes huffman(photo.begin(), photo.begin() + 2);
    const uint32_t symbols = 300, length = 2 + 1 + 16 + symbols;
    for (uint8_t v : {0xff, 0xc4}) huffman.push_back(v);
    huffman.push_back(uint8_t(length >> 8));
    huffman.push_back(uint8_t(length));
    huffman.push_back(0x00);
    for (int i = 0; i < 16; i++) huffman.push_back(i >= 14 ? 150 : 0);
    for (uint32_t i = 0; i < symbols; i++) huffman.push_back(uint8_t(i));
    huffman.insert(huffman.end(), photo.begin() + 2, photo.end());
    cases.push_back({"JPEG with a 300-symbol Huffman table", huffman, false, "JPEG"});
    // A frame header claiming 65000 x 65000.
    Bytes wide = photo;
    for (size_t i = 2; i + 9 < wide.size(); i++)
        if (wide[i] == 0xff && wide[i + 1] == 0xc0) {
            wide[i + 5] = wide[i + 7] = 0xfd;
            wide[i + 6] = wide[i + 8] = 0xe8;
            break;
        }
    cases.push_back({"JPEG over the limits", wide, false, "limit"});
    cases.push_back({"unknown bytes", text("no picture here", 15), false, "not a PNG or JPEG"});
    return cases;
}

// Every pixel of a decoded PNG is the one written; a JPEG is lossy, so its
// pixels are checked to be opaque and near the ramp encoded.
bool pixelsRight(const Case &c, const MVImage *image) {
    if (c.bytes[0] == 0x89) {
        Bytes expect = pattern(37, 23);
        return image->w == 37 && image->h == 23 && memcmp(image->pixels, expect.data(), expect.size()) == 0;
    }
    for (int y = 0; y < image->h; y++)
        for (int x = 0; x < image->w; x++) {
            const uint8_t *p = image->pixels + 4 * (size_t(y) * image->w + x);
            for (int k = 0; k < 3; k++)
                if (abs(p[k] - ramp(x, y)) > 6) return false;
            if (p[3] != 255) return false;
        }
    return true;
}

class ImageCorpus : public ::testing::Test {
protected:
    std::string dir = tempDir();
    void SetUp() override {
        setenv("MORVEN_MODULE_PATH", MORVEN_TEST_MODULE_DIR, 1);
        if (access(MORVEN_TEST_MODULE_DIR "/morven-image.so", R_OK) != 0) GTEST_SKIP() << "no Image module";
        ASSERT_TRUE(mvLoadModule("Image")) << mvGetError();
    }
    void TearDown() override {
        mvDeinit();
        unsetenv("MORVEN_MODULE_PATH");
    }
};

Outcome judge(const Case &c, MVImage *image) {
    Outcome outcome;
    if (!image)
        outcome = !*mvGetError() ? kRefusedSilently
                  : strstr(mvGetError(), c.reason ? c.reason : "") ? kRefusedWithReason
                                                                    : kReasonMismatch;
    else
        outcome = pixelsRight(c, image) ? kDecoded : kDecodedWrong;
    if (outcome == kReasonMismatch || outcome == kRefusedSilently) fprintf(stderr, "%s: \"%s\"\n", c.name, mvGetError());
    mvImageFree(image);
    return outcome;
}

TEST_F(ImageCorpus, EachFileGivesItsPixelsOrAReasonQuicklyAndWithinMemory) {
    const bool bounded = !getenv("MORVEN_TEST_UNBOUNDED");  // valgrind's own memory and pace
    const long maxKilobytes = 2L * 4 * MV_IMAGE_DEFAULT_MAX_PIXELS / 1024;
    int n = 0;
    for (const Case &c : corpus()) {
        std::string path = dir + "/case" + std::to_string(n++);
        writeFile(path, c.bytes);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            mvClearError();
            Outcome memory = judge(c, static_cast<MVImage *>(mvImageLoadMemory(c.bytes.data(), c.bytes.size())));
            mvClearError();
            Outcome file = judge(c, static_cast<MVImage *>(mvImageLoad(path.c_str(), nullptr)));
            _exit(memory == file ? memory : kDecodedWrong);
        }
        int status = 0;
        struct rusage usage;
        ASSERT_EQ(wait4(child, &status, 0, &usage), child);
        ASSERT_TRUE(WIFEXITED(status)) << c.name << " ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), c.decodes ? kDecoded : kRefusedWithReason) << c.name;
        double seconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        if (bounded) {
            EXPECT_LT(seconds, 1.0) << c.name;
            EXPECT_LT(usage.ru_maxrss, maxKilobytes) << c.name;
        }
        unlink(path.c_str());
    }
}

TEST_F(ImageCorpus, LimitsAreTheCallersToSet) {
    Bytes small = png(37, 23);
    ASSERT_TRUE(mvImageSetLimits(36, 10000));
    EXPECT_EQ(mvImageLoadMemory(small.data(), small.size()), nullptr);
    EXPECT_NE(strstr(mvGetError(), "37x23"), nullptr) << mvGetError();
    ASSERT_TRUE(mvImageSetLimits(37, 37 * 23 - 1));
    EXPECT_EQ(mvImageLoadMemory(small.data(), small.size()), nullptr);
    ASSERT_TRUE(mvImageSetLimits(37, 37 * 23));
    MVImage *image = static_cast<MVImage *>(mvImageLoadMemory(small.data(), small.size()));
    EXPECT_NE(image, nullptr) << mvGetError();
    mvImageFree(image);
    Bytes photo = jpeg(40, 30, false);
    EXPECT_EQ(mvImageLoadMemory(photo.data(), photo.size()), nullptr);
    EXPECT_NE(strstr(mvGetError(), "over the limit"), nullptr) << mvGetError();

    // Refused limits change nothing.
    mvClearError();
    EXPECT_FALSE(mvImageSetLimits(0, 100));
    EXPECT_NE(strstr(mvGetError(), "at least 1"), nullptr);
    EXPECT_FALSE(mvImageSetLimits(100, 0));
    EXPECT_FALSE(mvImageSetLimits(100, INT64_MAX));
    image = static_cast<MVImage *>(mvImageLoadMemory(small.data(), small.size()));
    EXPECT_NE(image, nullptr) << mvGetError();
    mvImageFree(image);
    ASSERT_TRUE(mvImageSetLimits(MV_IMAGE_DEFAULT_MAX_SIDE, MV_IMAGE_DEFAULT_MAX_PIXELS));
}

TEST_F(ImageCorpus, OnlyRegularFilesAreOpenedAndEveryRefusalSaysWhy) {
    std::string fifo = dir + "/fifo.png";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Without a writer, a blocking open would wait for ever; the test would hang.
    EXPECT_EQ(mvImageLoad(fifo.c_str(), nullptr), nullptr);
    EXPECT_NE(strstr(mvGetError(), "not a regular file"), nullptr) << mvGetError();
    EXPECT_EQ(mvImageLoad(dir.c_str(), nullptr), nullptr);
    EXPECT_NE(strstr(mvGetError(), "directory"), nullptr) << mvGetError();
    EXPECT_EQ(mvImageLoad((dir + "/missing.png").c_str(), nullptr), nullptr);
    EXPECT_NE(strstr(mvGetError(), strerror(ENOENT)), nullptr) << mvGetError();
    std::string empty = dir + "/empty.png";
    writeFile(empty, {});
    EXPECT_EQ(mvImageLoad(empty.c_str(), nullptr), nullptr);
    EXPECT_NE(strstr(mvGetError(), "empty"), nullptr) << mvGetError();
    mvClearError();
    EXPECT_EQ(mvImageLoadMemory(nullptr, 10), nullptr);
    EXPECT_NE(strstr(mvGetError(), "no data"), nullptr);
    unlink(fifo.c_str());
    unlink(empty.c_str());

    // The old name loads the same module; without it there is no decoder.
    EXPECT_TRUE(mvLoadModule("STB-Image"));
    mvDeinit();
    Bytes small = png(37, 23);
    EXPECT_EQ(mvImageLoadMemory(small.data(), small.size()), nullptr);
    EXPECT_NE(strstr(mvGetError(), "\"Image\" module is not loaded"), nullptr) << mvGetError();
}

}  // namespace
#endif
