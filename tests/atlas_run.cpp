// Runs the atlas demo as a separate process and checks what it did:
//   atlas_run headless ATLAS DIR   no display, two frames, exact picture
//   atlas_run zero ATLAS DIR       MORVEN_MAX_FRAMES=0: no frame, no picture
//   atlas_run window ATLAS DIR     a real window ($DISPLAY), compared with a
//                                  headless run (exit 77 without a display)
// The expected picture is worked out with the library's own packer, fed the
// same rand() sequence the unseeded demo draws.
#include <morven/atlas.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

namespace {

int failures = 0;

#define CHECK(cond, ...)                                          \
    do {                                                          \
        if (!(cond)) {                                            \
            failures++;                                           \
            fprintf(stderr, "%s:%d: %s: ", __FILE__, __LINE__, #cond); \
            fprintf(stderr, __VA_ARGS__);                         \
            fputc('\n', stderr);                                  \
        }                                                         \
    } while (0)

const char *kSummary = "Successfully inserted: 256/256 items\n";
const char *kNotice = "MORVEN: no display; running headless";

struct Run {
    int status = -1;
    std::string out, err;
};

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs the program with MORVEN_MAX_FRAMES=frames and MORVEN_SCREENSHOT=shot;
// headless removes every way to a display.
Run runAtlas(const std::string &atlas, const std::string &dir, const char *name, const char *frames,
             const std::string &shot, bool headless) {
    std::string outPath = dir + "/" + name + ".out", errPath = dir + "/" + name + ".err";
    unlink(shot.c_str());
    pid_t pid = fork();
    if (pid == 0) {
        setenv("MORVEN_MAX_FRAMES", frames, 1);
        setenv("MORVEN_SCREENSHOT", shot.c_str(), 1);
        unsetenv("MORVEN_MODULE_PATH");
        if (headless) {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            unsetenv("SDL_VIDEODRIVER");
        }
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execl(atlas.c_str(), atlas.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    Run run;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid) run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = slurp(outPath);
    run.err = slurp(errPath);
    return run;
}

struct Picture {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;  // 3 bytes a pixel
    const uint8_t *at(int x, int y) const { return &rgb[3 * (size_t(y) * w + x)]; }
};

Picture load(const std::string &path) {
    Picture p;
    int channels = 0;
    uint8_t *data = stbi_load(path.c_str(), &p.w, &p.h, &channels, 3);
    if (data) p.rgb.assign(data, data + size_t(p.w) * p.h * 3);
    else p.w = p.h = 0;
    stbi_image_free(data);
    return p;
}

struct Placed {
    int x, y, w, h;
};

// What the demo's packer does with the demo's requests.
std::vector<Placed> demoLayout() {
    std::vector<Placed> placed;
    MVAtlas *atlas = mvAtlasCreate(256, 256, 32);
    for (int i = 0; i < 256; i++) {
        int first = rand();
        int second = rand();
        MVAtlasArea *a = mvAtlasAreaReserve(atlas, 12 + first % 5, 12 + second % 5, 0);
        if (a) placed.push_back({a->x, a->y, a->w, a->h});
    }
    mvAtlasDestroy(atlas);
    return placed;
}

// The demo's frame: black, the tiles at (192, 112) with green frames on their edges.
Picture expectedPicture(const std::vector<Placed> &layout) {
    Picture p;
    p.w = 640;
    p.h = 480;
    p.rgb.assign(size_t(p.w) * p.h * 3, 0);
    for (const Placed &a : layout) {
        for (int j = 0; j < a.h; j++) {
            for (int i = 0; i < a.w; i++) {
                uint8_t *px = &p.rgb[3 * (size_t(112 + a.y + j) * p.w + 192 + a.x + i)];
                bool frame = i == 0 || j == 0 || i == a.w - 1 || j == a.h - 1;
                px[0] = frame ? 0 : uint8_t(int(float(i) / float(a.w) * 255.0f));
                px[1] = frame ? 255 : uint8_t(int(float(j) / float(a.h) * 255.0f));
                px[2] = frame ? 0 : 127;
            }
        }
    }
    return p;
}

// Share of pixels whose channels all lie within 8/255 of the other picture's.
double agreement(const Picture &a, const Picture &b) {
    if (a.w != b.w || a.h != b.h || a.rgb.empty()) return 0;
    size_t close = 0, n = size_t(a.w) * a.h;
    for (size_t i = 0; i < n; i++) {
        bool ok = true;
        for (int c = 0; c < 3; c++) ok = ok && std::abs(int(a.rgb[3 * i + c]) - int(b.rgb[3 * i + c])) <= 8;
        close += ok;
    }
    return double(close) / double(n);
}

void checkSummary(const Run &run, const char *what) {
    CHECK(run.status == 0, "%s: exit status %d; stderr: %s", what, run.status, run.err.c_str());
    CHECK(run.out == kSummary, "%s: stdout was \"%s\"", what, run.out.c_str());
}

void checkPicture(const Picture &got, const Picture &want, const std::vector<Placed> &layout) {
    CHECK(got.w == 640 && got.h == 480, "screenshot is %d x %d", got.w, got.h);
    if (got.w != 640 || got.h != 480) return;
    // Corners and the area around the atlas are background.
    for (int k = 0; k < 4; k++) {
        const uint8_t *px = got.at(k % 2 ? 639 : 0, k / 2 ? 479 : 0);
        CHECK(px[0] == 0 && px[1] == 0 && px[2] == 0, "background corner %d", k);
    }
    CHECK(got.at(191, 200)[1] == 0 && got.at(448, 200)[1] == 0, "pixels beside the atlas are background");
    // A 16-wide and a 12-wide tile: reds across their inner columns.
    static const int reds16[16] = {0, 15, 31, 47, 63, 79, 95, 111, 127, 143, 159, 175, 191, 207, 223, 239};
    static const int reds12[12] = {0, 21, 42, 63, 85, 106, 127, 148, 170, 191, 212, 233};
    bool saw16 = false, saw12 = false;
    for (const Placed &a : layout) {
        const int *reds = a.w == 16 && !saw16 ? reds16 : a.w == 12 && !saw12 ? reds12 : nullptr;
        if (!reds) continue;
        (a.w == 16 ? saw16 : saw12) = true;
        int row = a.h / 2;
        int green = int(float(row) / float(a.h) * 255.0f);
        for (int i = 1; i < a.w - 1; i++) {
            const uint8_t *px = got.at(192 + a.x + i, 112 + a.y + row);
            CHECK(px[0] == reds[i] && px[1] == green && px[2] == 127, "tile at (%d,%d) column %d: %d %d %d", a.x,
                  a.y, i, px[0], px[1], px[2]);
        }
        const uint8_t *edge = got.at(192 + a.x, 112 + a.y + row);
        CHECK(edge[0] == 0 && edge[1] == 255 && edge[2] == 0, "green frame at (%d,%d)", a.x, a.y);
    }
    CHECK(saw16 && saw12, "the layout holds tiles 16 and 12 wide");
    (void)want;
}

int headless(const std::string &atlas, const std::string &dir) {
    std::vector<Placed> layout = demoLayout();
    CHECK(layout.size() == 256, "the packer placed %zu tiles", layout.size());
    std::string shot = dir + "/headless.png";
    Run run = runAtlas(atlas, dir, "headless", "2", shot, true);
    checkSummary(run, "headless");
    CHECK(run.err.find(kNotice) != std::string::npos, "no headless notice on stderr: %s", run.err.c_str());
    Picture got = load(shot), want = expectedPicture(layout);
    checkPicture(got, want, layout);
    CHECK(got.rgb == want.rgb, "the software renderer's picture differs from the expected one (%.4f agree)",
          agreement(got, want));
    return failures ? 1 : 0;
}

int zero(const std::string &atlas, const std::string &dir) {
    std::string shot = dir + "/zero.png";
    Run run = runAtlas(atlas, dir, "zero", "0", shot, true);
    checkSummary(run, "zero frames");
    struct stat st;
    CHECK(stat(shot.c_str(), &st) != 0, "a screenshot was written although no frame was presented");
    return failures ? 1 : 0;
}

int window(const std::string &atlas, const std::string &dir) {
    const char *display = getenv("DISPLAY");
    if (!display || !*display) {
        printf("no display\n");
        return 77;
    }
    std::vector<Placed> layout = demoLayout();
    std::string windowShot = dir + "/window.png", headlessShot = dir + "/headless.png";
    Run shown = runAtlas(atlas, dir, "window", "2", windowShot, false);
    checkSummary(shown, "window");
    CHECK(shown.err.find("running headless") == std::string::npos, "the window run fell back to headless: %s",
          shown.err.c_str());
    Run hidden = runAtlas(atlas, dir, "headless", "2", headlessShot, true);
    checkSummary(hidden, "headless");
    Picture got = load(windowShot), reference = load(headlessShot), want = expectedPicture(layout);
    checkPicture(got, want, layout);
    double agree = agreement(got, reference);
    printf("window and headless pictures agree on %.4f of the pixels\n", agree);
    CHECK(agree >= 0.99, "only %.4f of the pixels agree", agree);
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: atlas_run headless|zero|window ATLAS DIR\n");
        return 2;
    }
    std::string mode = argv[1], atlas = argv[2], dir = argv[3];
    std::string mk = "mkdir -p '" + dir + "'";
    if (system(mk.c_str()) != 0) return 2;
    if (mode == "headless") return headless(atlas, dir);
    if (mode == "zero") return zero(atlas, dir);
    if (mode == "window") return window(atlas, dir);
    fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
}
