// The engine's PNG writer: what it writes decodes (with libspng, not with
// anything of the engine's) to the very pixels given, it compresses, and a
// failed write leaves the old file whole and says why.
#include <gtest/gtest.h>
#include <morven/error.h>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "alloc_fail.h"
#include "core/base/replace_file.h"
#include "core/render/png_write.h"

#ifdef MORVEN_TEST_IMAGE
#include <spng.h>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes noise(size_t n) {
    Bytes b(n);
    uint32_t seed = 12345;
    for (uint8_t &v : b) v = uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
    return b;
}

std::string tempDir() {
    char pattern[] = "/tmp/morven-pngw-XXXXXX";
    const char *dir = mkdtemp(pattern);
    return dir ? dir : "/tmp";
}

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Decodes with libspng, checksums and all; empty on any error.
Bytes spngDecode(const std::string &file, int *w, int *h) {
    Bytes out;
    spng_ctx *ctx = spng_ctx_new(0);
    spng_set_png_buffer(ctx, file.data(), file.size());
    struct spng_ihdr ihdr;
    size_t size = 0;
    if (!spng_get_ihdr(ctx, &ihdr) && !spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size)) {
        out.resize(size);
        if (spng_decode_image(ctx, out.data(), size, SPNG_FMT_RGBA8, 0) || spng_decode_chunks(ctx)) out.clear();
        *w = int(ihdr.width);
        *h = int(ihdr.height);
    }
    spng_ctx_free(ctx);
    return out;
}

void roundTrip(const char *what, const Bytes &rgba, int w, int h) {
    ByteBuffer png;
    ASSERT_TRUE(pngEncode(rgba.data(), w, h, &png)) << what;
    int dw = 0, dh = 0;
    Bytes decoded = spngDecode(std::string(reinterpret_cast<const char *>(png.data()), png.size()), &dw, &dh);
    EXPECT_EQ(dw, w) << what;
    EXPECT_EQ(dh, h) << what;
    EXPECT_TRUE(decoded == rgba) << what;
}

TEST(PngWriter, WhatItWritesDecodesToThePixelsGiven) {
    // Pseudo-random bytes (no matches: literals only, every filter tried;
    // the larger one spans several deflate blocks),
    // a frame of flat areas and edges (long matches, distances up to a row
    // and beyond), a single pixel, a row wider than the 32 KB window, and a
    // column of rows.
    roundTrip("noise", noise(64 * 48 * 4), 64, 48);
    roundTrip("noise over several deflate blocks", noise(300 * 300 * 4), 300, 300);
    const int w = 320, h = 200;
    Bytes frame(size_t(w) * h * 4);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t *p = &frame[4 * (size_t(y) * w + x)];
            bool inside = (x - 100) * (x - 100) + (y - 90) * (y - 90) < 2500;
            p[0] = inside ? 250 : uint8_t(x / 40 * 30);
            p[1] = inside ? 30 : uint8_t(y);
            p[2] = uint8_t(x ^ y) & 0x80;
            p[3] = 255;
        }
    roundTrip("frame", frame, w, h);
    roundTrip("one pixel", Bytes{1, 2, 3, 4}, 1, 1);
    Bytes wide(size_t(9000) * 2 * 4);
    for (size_t i = 0; i < wide.size(); i++) wide[i] = uint8_t(i % 7 == 0 ? i : 200);
    roundTrip("wide", wide, 9000, 2);
    roundTrip("tall", Bytes(3 * 700 * 4, 77), 3, 700);
    ByteBuffer none;
    EXPECT_FALSE(pngEncode(frame.data(), 0, 5, &none));
    EXPECT_FALSE(pngEncode(frame.data(), 5, -1, &none));
}

TEST(PngWriter, AFlatFrameIsSmall) {
    // A 640 x 480 game frame was 1.2 MB when stored without compression.
    const int w = 640, h = 480;
    Bytes frame(size_t(w) * h * 4);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t *p = &frame[4 * (size_t(y) * w + x)];
            p[0] = uint8_t(y / 8 * 4);
            p[1] = x > 200 && x < 300 && y > 100 && y < 200 ? 255 : 40;
            p[2] = 90;
            p[3] = 255;
        }
    ByteBuffer png;
    ASSERT_TRUE(pngEncode(frame.data(), w, h, &png));
    EXPECT_LT(png.size(), size_t(40000));
}

class PngWriteFile : public ::testing::Test {
protected:
    std::string dir = tempDir();
    // Noise, so that the file is larger than the size limit set below.
    Bytes pixels = noise(16 * 16 * 4);
    // Files in the directory, hidden ones (the writer's temporary files) included.
    int entries() {
        int n = 0;
        DIR *d = opendir(dir.c_str());
        while (struct dirent *e = d ? readdir(d) : nullptr)
            if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) n++;
        if (d) closedir(d);
        return n;
    }
};

TEST_F(PngWriteFile, ReplacesTheFileWhole) {
    std::string path = dir + "/shot.png";
    std::ofstream(path) << "old";
    ASSERT_TRUE(pngWrite(path.c_str(), pixels.data(), 16, 16)) << mvGetError();
    int w = 0, h = 0;
    EXPECT_EQ(spngDecode(slurp(path), &w, &h), pixels);
    EXPECT_EQ(entries(), 1);  // no temporary file left beside it
    // A relative path writes in the current directory.
    ASSERT_EQ(chdir(dir.c_str()), 0);
    EXPECT_TRUE(pngWrite("here.png", pixels.data(), 16, 16)) << mvGetError();
    EXPECT_EQ(spngDecode(slurp(dir + "/here.png"), &w, &h), pixels);
    ASSERT_EQ(chdir("/"), 0);
}

TEST_F(PngWriteFile, AFailedWriteKeepsTheOldFileAndSaysWhy) {
    std::string path = dir + "/shot.png";
    std::ofstream(path) << "the previous picture";
    char why[256];
    // A file size limit fails the write part way, as a full disk would.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {300, 300};
        setrlimit(RLIMIT_FSIZE, &limit);
        bool ok = pngWrite(path.c_str(), pixels.data(), 16, 16, why, sizeof why);
        _exit(!ok && strstr(why, strerror(EFBIG)) && strstr(mvGetError(), path.c_str()) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(slurp(path), "the previous picture");
    EXPECT_EQ(entries(), 1);

    EXPECT_FALSE(pngWrite(dir.c_str(), pixels.data(), 16, 16, why, sizeof why));
    EXPECT_NE(strstr(why, strerror(EISDIR)), nullptr) << why;
    EXPECT_FALSE(pngWrite((path + "/x.png").c_str(), pixels.data(), 16, 16, why, sizeof why));
    EXPECT_NE(strstr(why, strerror(ENOTDIR)), nullptr) << why;
    EXPECT_FALSE(pngWrite((dir + "/missing/x.png").c_str(), pixels.data(), 16, 16, why, sizeof why));
    EXPECT_NE(strstr(why, strerror(ENOENT)), nullptr) << why;
    if (access("/dev/full", W_OK) == 0) {
        EXPECT_FALSE(pngWrite("/dev/full", pixels.data(), 16, 16, why, sizeof why));
        EXPECT_NE(strstr(why, strerror(ENOSPC)), nullptr) << why;
        struct stat st;
        EXPECT_TRUE(stat("/dev/full", &st) == 0 && S_ISCHR(st.st_mode));  // written to, not replaced
    }
    mvClearError();
    EXPECT_FALSE(pngWrite(path.c_str(), pixels.data(), 0, 16));
    EXPECT_NE(strstr(mvGetError(), "not written"), nullptr);
    EXPECT_EQ(slurp(path), "the previous picture");
}

TEST_F(PngWriteFile, RunningOutOfMemoryWritesNothing) {
    std::string path = dir + "/shot.png";
    std::ofstream(path) << "the previous picture";
    long made = allocfail::everyFailure(
        [&] { pngWrite(path.c_str(), pixels.data(), 16, 16); },
        [&](long k) {
            std::string now = slurp(path);
            bool wrote = now != "the previous picture";
            // Either the whole PNG, or the old file and a reason.
            if (wrote) {
                int w = 0, h = 0;
                EXPECT_EQ(spngDecode(now, &w, &h), pixels) << "allocation " << k;
            } else {
                EXPECT_NE(strstr(mvGetError(), "not written"), nullptr) << "allocation " << k;
            }
            EXPECT_EQ(entries(), 1) << "allocation " << k;
            std::ofstream(path) << "the previous picture";
            mvClearError();
        });
    EXPECT_GT(made, 2);
}

// A screenshot path that is a link (to a shared folder, say) is written
// through: the file behind it changes, the link stays a link.
TEST_F(PngWriteFile, ALinkIsWrittenThroughAndKept) {
    std::string real = dir + "/real.png", link = dir + "/link.png", chain = dir + "/chain.png";
    std::ofstream(real) << "the previous picture";
    ASSERT_EQ(symlink("real.png", link.c_str()), 0);    // relative, in the same folder
    ASSERT_EQ(symlink(link.c_str(), chain.c_str()), 0);  // a link to a link
    char why[256];
    ASSERT_TRUE(replaceFile(chain.c_str(), "new", 3, why, sizeof why)) << why;
    EXPECT_EQ(slurp(real), "new");
    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(lstat(chain.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(entries(), 3);  // no temporary left beside them

    // A link to a file not made yet makes it where the link points.
    std::string later = dir + "/later.png", dangling = dir + "/dangling.png";
    ASSERT_EQ(symlink("later.png", dangling.c_str()), 0);
    ASSERT_TRUE(replaceFile(dangling.c_str(), "made", 4, why, sizeof why)) << why;
    EXPECT_EQ(slurp(later), "made");
    ASSERT_EQ(lstat(dangling.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // A loop of links is refused with the system's words, and nothing is made.
    std::string a = dir + "/a.png", b = dir + "/b.png";
    ASSERT_EQ(symlink("b.png", a.c_str()), 0);
    ASSERT_EQ(symlink("a.png", b.c_str()), 0);
    EXPECT_FALSE(replaceFile(a.c_str(), "x", 1, why, sizeof why));
    EXPECT_NE(strstr(why, strerror(ELOOP)), nullptr) << why;
    EXPECT_EQ(entries(), 7);
}

TEST_F(PngWriteFile, AFifoWithoutAReaderIsRefusedAtOnce) {
    std::string fifo = dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    char why[256];
    EXPECT_FALSE(replaceFile(fifo.c_str(), "x", 1, why, sizeof why));
    EXPECT_NE(strstr(why, strerror(ENXIO)), nullptr) << why;
}

}  // namespace
#endif
