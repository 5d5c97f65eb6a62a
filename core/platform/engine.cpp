// Engine start-up and shut-down, and the run-time module loader.
#include <morven/engine.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/platform/engine_state.h"
#include "core/platform/input_state.h"
#include "core/platform/replay.h"
#include "core/render/png_write.h"
#include "core/system/error.h"
#include "core/system/timer_internal.h"

volatile sig_atomic_t engineStopSignal = 0;

namespace {

EngineState state;
struct sigaction previousInt, previousTerm;

struct ModuleName {
    const char *name;  // as passed to mvLoadModule
    const char *file;  // the plugin's file name
};
const ModuleName moduleNames[MODULE_COUNT] = {
    {"SDL", "morven-sdl.so"}, {"OpenGL", "morven-opengl.so"}, {"STB-Image", "morven-stb-image.so"}};

char *copyString(const char *s) {
    size_t n = strlen(s) + 1;
    char *copy = static_cast<char *>(malloc(n));
    if (copy) memcpy(copy, s, n);
    return copy;
}

// Opens dir/file as a plugin named name; true when it is one.
bool openPlugin(const char *dir, size_t dirLength, const char *file, const char *name, EngineModule *out) {
    if (dirLength == 0) return false;
    size_t fileLength = strlen(file);
    char *path = static_cast<char *>(malloc(dirLength + fileLength + 2));
    if (!path) return false;
    memcpy(path, dir, dirLength);
    path[dirLength] = '/';
    memcpy(path + dirLength + 1, file, fileLength + 1);
    void *handle = access(path, R_OK) == 0 ? dlopen(path, RTLD_NOW | RTLD_LOCAL) : nullptr;
    free(path);
    if (!handle) return false;
    auto entry = reinterpret_cast<MVPluginEntryFunction>(dlsym(handle, MV_PLUGIN_ENTRY));
    const MVPlugin *plugin = entry ? entry() : nullptr;
    if (!plugin || plugin->abi != MV_PLUGIN_ABI || !plugin->name || strcmp(plugin->name, name) != 0) {
        dlclose(handle);
        return false;
    }
    *out = {handle, plugin};
    return true;
}

// The directory that holds this library (or the program it is linked into).
bool ownDirectory(char *dir, size_t size) {
    Dl_info info;
    if (!dladdr(reinterpret_cast<void *>(&mvLoadModule), &info) || !info.dli_fname) return false;
    const char *slash = strrchr(info.dli_fname, '/');
    if (!slash) return false;
    size_t n = static_cast<size_t>(slash - info.dli_fname);
    if (n + 1 > size) return false;
    memcpy(dir, info.dli_fname, n);
    dir[n] = '\0';
    return true;
}

bool findPlugin(const ModuleName &m, EngineModule *out) {
    if (const char *list = getenv("MORVEN_MODULE_PATH")) {
        for (const char *p = list;;) {
            const char *colon = strchr(p, ':');
            size_t n = colon ? static_cast<size_t>(colon - p) : strlen(p);
            if (openPlugin(p, n, m.file, m.name, out)) return true;
            if (!colon) break;
            p = colon + 1;
        }
    }
    char dir[4096];
    if (ownDirectory(dir, sizeof dir) && openPlugin(dir, strlen(dir), m.file, m.name, out)) return true;
#ifdef MORVEN_MODULE_INSTALL_DIR
    if (openPlugin(MORVEN_MODULE_INSTALL_DIR, strlen(MORVEN_MODULE_INSTALL_DIR), m.file, m.name, out)) return true;
#endif
    return false;
}

void unloadModules() {
    for (EngineModule &m : state.modules) {
        if (m.handle) dlclose(m.handle);
        m = {nullptr, nullptr};
    }
}

void onStopSignal(int) { engineStopSignal = 1; }

void installSignalHandlers() {
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
}

void restoreSignalHandlers() {
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
}

// MORVEN_MAX_FRAMES: a decimal count; anything else means no limit.
int64_t maxFramesFromEnvironment() {
    const char *text = getenv("MORVEN_MAX_FRAMES");
    if (!text || !*text) return -1;
    char *end = nullptr;
    errno = 0;
    long long n = strtoll(text, &end, 10);
    if (errno || *end || n < 0) return -1;
    return n;
}

void writeScreenshot() {
    if (!state.screenshotPath || !state.shotValid) return;
    // The screen is opaque, whatever alpha the framebuffer kept.
    size_t pixels = static_cast<size_t>(state.width) * state.height;
    for (size_t i = 0; i < pixels; i++) state.shot[4 * i + 3] = 255;
    const MVPluginImage *image = engineImagePlugin();
    bool ok = image && image->writePng
                  ? image->writePng(state.screenshotPath, state.shot, state.width, state.height)
                  : pngWrite(state.screenshotPath, state.shot, state.width, state.height);
    if (!ok) fprintf(stderr, "MORVEN: cannot write screenshot %s\n", state.screenshotPath);
}

}  // namespace

EngineState &engineState() { return state; }

void engineNoticeHeadless() {
    if (state.headlessNoticeGiven) return;
    state.headlessNoticeGiven = true;
    fputs("MORVEN: no display; running headless\n", stderr);
}

uint64_t engineNow() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

const MVPluginImage *engineImagePlugin() {
    const EngineModule &m = state.modules[MODULE_STB_IMAGE];
    return m.plugin ? m.plugin->image : nullptr;
}

extern "C" {

MV_API bool mvLoadModule(const char *name) {
    if (!name) return false;
    for (int kind = 0; kind < MODULE_COUNT; kind++) {
        if (strcmp(name, moduleNames[kind].name) != 0) continue;
        if (state.modules[kind].handle) return true;
        return findPlugin(moduleNames[kind], &state.modules[kind]);
    }
    return false;
}

MV_API bool mvInit(int flags) {
    if (flags != 0) return false;
    if (state.running) return true;
    const char *script = getenv("MORVEN_INPUT_SCRIPT");
    state.replay = nullptr;
    if (script && *script && !(state.replay = replayLoad(script))) return false;
    const char *shot = getenv("MORVEN_SCREENSHOT");
    if (shot && *shot && !(state.screenshotPath = copyString(shot))) {
        mvCoreSetError("out of memory");
        replayFree(state.replay);
        state.replay = nullptr;
        return false;
    }
    state.maxFrames = maxFramesFromEnvironment();
    state.frames = 0;
    state.loopCalls = 0;
    state.lastLoopNs = 0;
    state.frameTime = 0.0;
    state.quitRequested = false;
    inputReset();
    state.headlessNoticeGiven = false;
    const MVPlugin *sdl = state.modules[MODULE_SDL].plugin;
    state.platform = nullptr;
    if (sdl && sdl->platform && sdl->platform->init()) state.platform = sdl->platform;
    if (!state.platform) engineNoticeHeadless();
    // After the platform starts, so that these handlers are the ones in force.
    engineStopSignal = 0;
    installSignalHandlers();
    state.running = true;
    return true;
}

MV_API void mvDeinit(void) {
    if (state.running) {
        writeScreenshot();
        engineCloseWindow();
        if (state.platform) state.platform->quit();
        state.platform = nullptr;
        restoreSignalHandlers();
        free(state.screenshotPath);
        state.screenshotPath = nullptr;
        replayFree(state.replay);
        state.replay = nullptr;
        inputReset();
        state.rateSet = false;
        state.frameTime = 0.0;
        mvCoreResetClearColor();
        state.running = false;
    }
    timerReleaseAll();  // timers may live without a window, so always
    unloadModules();
}

}
