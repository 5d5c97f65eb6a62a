// Engine start-up and shut-down, and the run-time module loader.
#include <morven/engine.h>
#include <morven/error.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/engine/engine_state.h"
#include "core/base/engine_thread.h"
#include "core/engine/input_state.h"
#include "core/engine/recorder.h"
#include "core/engine/replay.h"
#include "core/engine/own_directory.h"
#include "core/render/frontend.h"
#include "core/render/png_write.h"
#include "core/render/transform.h"
#include "core/sound/output.h"
#include "core/base/error.h"
#include "core/base/frame_clock.h"
#include "core/base/timer_internal.h"

volatile sig_atomic_t engineStopSignal = 0;

namespace {

EngineState state;
struct sigaction previousInt, previousTerm;
// Why the last mvLoadModule("SDL") failed, for the headless notice.
char sdlLoadFailure[512];

struct ModuleName {
    const char *name;  // as passed to mvLoadModule
    const char *file;  // the plugin's file name
};
const ModuleName moduleNames[MODULE_COUNT] = {
    {"SDL", "morven-sdl.so"},
    {"OpenGL", "morven-opengl.so"},
    {"Image", "morven-image.so"},
    {"Font", "morven-font.so"},
    {"Sound", "morven-sound.so"}};
// The image module's first name, which programs written before "Image" use.
const char *const kImageOldName = "STB-Image";
// Fonts alive, each holding a face of the "Font" module.
size_t liveFonts;

char *copyString(const char *s) {
    size_t n = strlen(s) + 1;
    char *copy = static_cast<char *>(malloc(n));
    if (copy) memcpy(copy, s, n);
    return copy;
}

// Where one module was looked for and why a file found was refused, for
// the message that mvGetError gives when the module does not load.
struct Search {
    char searched[1024];  // the directories, separated by ", "
    char refusal[512];    // the first refusal; "" when nothing was refused
};

void noteDirectory(Search *search, const char *dir, size_t dirLength) {
    size_t used = strlen(search->searched);
    snprintf(search->searched + used, sizeof search->searched - used, "%s%.*s", used ? ", " : "",
             static_cast<int>(dirLength), dir);
}

void noteRefusal(Search *search, const char *path, const char *detail) {
    if (!search->refusal[0]) snprintf(search->refusal, sizeof search->refusal, "%s: %s", path, detail);
}

// Opens dir/file as a plugin named name; true when it is one. Only absolute
// directories are searched, and only regular files opened: a FIFO or a
// device would block dlopen or feed it whatever it gives.
bool openPlugin(const char *dir, size_t dirLength, const char *file, const char *name, EngineModule *out,
                Search *search) {
    if (dirLength == 0 || dir[0] != '/') return false;
    noteDirectory(search, dir, dirLength);
    size_t fileLength = strlen(file);
    char *path = static_cast<char *>(malloc(dirLength + fileLength + 2));
    if (!path) {
        noteRefusal(search, file, "out of memory");
        return false;
    }
    memcpy(path, dir, dirLength);
    path[dirLength] = '/';
    memcpy(path + dirLength + 1, file, fileLength + 1);
    struct stat info;
    if (stat(path, &info) != 0) {
        if (errno != ENOENT) noteRefusal(search, path, strerror(errno));
        free(path);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        noteRefusal(search, path, "not a regular file");
        free(path);
        return false;
    }
    void *handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char *why = dlerror();
        if (!why) why = "dlopen failed";
        if (strstr(why, path) && !search->refusal[0])
            snprintf(search->refusal, sizeof search->refusal, "%s", why);  // names the file already
        else
            noteRefusal(search, path, why);
        free(path);
        return false;
    }
    auto entry = reinterpret_cast<MVPluginEntryFunction>(dlsym(handle, MV_PLUGIN_ENTRY));
    const MVPlugin *plugin = entry ? entry() : nullptr;
    char detail[128];
    if (!entry) {
        noteRefusal(search, path, "not a MORVEN module (no " MV_PLUGIN_ENTRY ")");
    } else if (!plugin || !plugin->name) {
        noteRefusal(search, path, "the module describes nothing");
    } else if (plugin->abi != MV_PLUGIN_ABI) {
        snprintf(detail, sizeof detail, "built for module interface %u, this engine needs %u",
                 static_cast<unsigned>(plugin->abi), static_cast<unsigned>(MV_PLUGIN_ABI));
        noteRefusal(search, path, detail);
    } else if (strcmp(plugin->name, name) != 0) {
        snprintf(detail, sizeof detail, "the module calls itself \"%.64s\"", plugin->name);
        noteRefusal(search, path, detail);
    } else {
        free(path);
        *out = {handle, plugin};
        return true;
    }
    free(path);
    dlclose(handle);
    return false;
}

// A relative directory would mean another place after each change of the
// working directory, and a module's constructor runs as soon as it is
// opened: such entries are skipped, each said once.
void warnRelativeModuleDirectory(const char *dir, size_t length) {
    static char warned[1024] = ":";  // the entries said so far, each followed by ':'
    char entry[256];
    snprintf(entry, sizeof entry, ":%.*s:", static_cast<int>(length < 200 ? length : 200), dir);
    if (strstr(warned, entry)) return;
    size_t used = strlen(warned);
    if (used + strlen(entry) < sizeof warned) memcpy(warned + used, entry + 1, strlen(entry));
    fprintf(stderr, "MORVEN: MORVEN_MODULE_PATH entry \"%.*s\" is not an absolute directory; ignored\n",
            static_cast<int>(length), dir);
}

// Looks in MORVEN_MODULE_PATH (absolute entries only), then where an installed libMORVEN.so keeps
// its modules (<its directory>/morven/modules, so that a moved prefix keeps
// working), then beside the library (the build tree), then in the module
// directory compiled in. On failure, mvGetError says where it looked.
bool findPlugin(const ModuleName &m, EngineModule *out) {
    Search search;
    search.searched[0] = search.refusal[0] = '\0';
    if (const char *list = getenv("MORVEN_MODULE_PATH")) {
        for (const char *p = list;;) {
            const char *colon = strchr(p, ':');
            size_t n = colon ? static_cast<size_t>(colon - p) : strlen(p);
            if (n > 0 && p[0] != '/') warnRelativeModuleDirectory(p, n);
            if (openPlugin(p, n, m.file, m.name, out, &search)) return true;
            if (!colon) break;
            p = colon + 1;
        }
    }
    const char *installed = "";
#ifdef MORVEN_MODULE_INSTALL_DIR
    installed = MORVEN_MODULE_INSTALL_DIR;
#endif
    char dir[4096], modules[4096 + 16];
    if (ownDirectory(dir, sizeof dir)) {
        snprintf(modules, sizeof modules, "%s/morven/modules", dir);
        if (openPlugin(modules, strlen(modules), m.file, m.name, out, &search)) return true;
        if (openPlugin(dir, strlen(dir), m.file, m.name, out, &search)) return true;
        if (!strcmp(modules, installed)) installed = "";
    }
    if (openPlugin(installed, strlen(installed), m.file, m.name, out, &search)) return true;
    if (search.refusal[0])
        setError("module \"%s\" not loaded: %s", m.name, search.refusal);
    else
        setError("module \"%s\" not found: no %s in %s", m.name, m.file,
                       search.searched[0] ? search.searched : "any directory");
    return false;
}

void unloadModules() {
    sdlLoadFailure[0] = '\0';
    for (EngineModule &m : state.modules) {
        if (&m == &state.modules[MODULE_FONT] && liveFonts > 0) continue;
        if (m.handle) dlclose(m.handle);
        m = {nullptr, nullptr};
    }
}

// The first SIGINT or SIGTERM asks mvLoop to end; a second one, when the
// program did not stop (a frame that takes long, a loop not calling mvLoop),
// ends it with the signal's default action.
void onStopSignal(int sig) {
    if (!engineStopSignal) {
        engineStopSignal = 1;
        return;
    }
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(sig, &fallback, nullptr);
    raise(sig);  // delivered when this handler returns
}

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

// MORVEN_MAX_FRAMES: a decimal count; anything else means no limit, with a
// warning, since a mistyped limit would otherwise run forever unnoticed.
int64_t maxFramesFromEnvironment() {
    const char *text = getenv("MORVEN_MAX_FRAMES");
    if (!text || !*text) return -1;
    char *end = nullptr;
    errno = 0;
    long long n = strtoll(text, &end, 10);
    if (errno || *end || n < 0 || !(*text >= '0' && *text <= '9')) {
        fprintf(stderr, "MORVEN: MORVEN_MAX_FRAMES=\"%s\" is not a non-negative integer; no frame limit\n", text);
        return -1;
    }
    return n;
}

// One writer for every screenshot, whatever module is loaded; on failure
// the previous file stays and the reason goes to stderr and mvGetError.
bool writeScreenshot() {
    if (!state.screenshotPath || !state.shotValid) return true;
    // The screen is opaque, whatever alpha the framebuffer kept.
    size_t pixels = static_cast<size_t>(state.width) * state.height;
    for (size_t i = 0; i < pixels; i++) state.shot[4 * i + 3] = 255;
    char why[256];
    if (pngWrite(state.screenshotPath, state.shot, state.width, state.height, why, sizeof why)) return true;
    setError("screenshot %s not written: %s", state.screenshotPath, why);
    fprintf(stderr, "MORVEN: screenshot %s not written: %s\n", state.screenshotPath, why);
    return false;
}

}  // namespace

EngineState &engineState() { return state; }

void engineNoticeHeadless(const char *reason) {
    if (state.headlessNoticeGiven) return;
    state.headlessNoticeGiven = true;
    fprintf(stderr, "MORVEN: %s; running headless\n", reason);
}

const char *engineModuleError(ModuleKind kind) {
    const MVPlugin *plugin = state.modules[kind].plugin;
    const char *why = plugin && plugin->error ? plugin->error() : nullptr;
    return why && *why ? why : "no reason given";
}

uint64_t engineNow() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

void engineChooseClock() {
    bool frames = state.replay || state.recorder || (state.maxFrames >= 0 && !state.platform);
    if (!frames || state.frameClock) return;
    frameClockStart();
    state.frameClock = true;
}

const MVPluginImage *engineImagePlugin() {
    const EngineModule &m = state.modules[MODULE_IMAGE];
    return m.plugin ? m.plugin->image : nullptr;
}

const MVPluginFont *engineFontPlugin() {
    EngineModule &m = state.modules[MODULE_FONT];
    if (!m.plugin && !findPlugin(moduleNames[MODULE_FONT], &m)) return nullptr;
    if (!m.plugin->font) {
        setError("module \"Font\" offers no fonts");
        return nullptr;
    }
    return m.plugin->font;
}

void engineFontOpened() { liveFonts++; }

void engineFontClosed() {
    EngineModule &m = state.modules[MODULE_FONT];
    if (--liveFonts == 0 && !state.running && m.handle) {
        dlclose(m.handle);
        m = {nullptr, nullptr};
    }
}

const MVPluginSoundFiles *engineSoundFilesPlugin() {
    const EngineModule &m = state.modules[MODULE_SOUND];
    return m.plugin ? m.plugin->soundFiles : nullptr;
}

extern "C" {

MV_API bool mvLoadModule(const char *name) {
    engineThreadCheck(__func__);
    if (!name) {
        setError("mvLoadModule: no module name");
        return false;
    }
    for (int kind = 0; kind < MODULE_COUNT; kind++) {
        if (strcmp(name, moduleNames[kind].name) != 0 && !(kind == MODULE_IMAGE && !strcmp(name, kImageOldName)))
            continue;
        if (state.modules[kind].handle) return true;
        if (state.running) {
            setError("mvLoadModule(\"%s\"): modules are loaded before mvInit, and the engine is running",
                           name);
            return false;
        }
        bool loaded = findPlugin(moduleNames[kind], &state.modules[kind]);
        if (kind == MODULE_SDL)
            snprintf(sdlLoadFailure, sizeof sdlLoadFailure, "%s", loaded ? "" : mvGetError());
        return loaded;
    }
    setError("no module named \"%s\" (there are \"SDL\", \"OpenGL\", \"Image\" (also called \"STB-Image\"), \"Font\" and \"Sound\")", name);
    return false;
}

MV_API bool mvInit(int flags) {
    engineThreadCheck(__func__);
    if (flags != 0) {
        refuseArgument(__func__, "flags", "0", flags);
        return false;
    }
    if (state.running) return true;
    const char *script = getenv("MORVEN_INPUT_SCRIPT");
    state.replay = nullptr;
    if (script && *script && !(state.replay = replayLoad(script))) return false;
    const char *shot = getenv("MORVEN_SCREENSHOT");
    if (shot && *shot && !(state.screenshotPath = copyString(shot))) {
        setError("out of memory");
        replayFree(state.replay);
        state.replay = nullptr;
        return false;
    }
    const char *record = getenv("MORVEN_INPUT_RECORD");
    state.recorder = nullptr;
    if (record && *record && !(state.recorder = recorderStart(record))) {
        replayFree(state.replay);
        state.replay = nullptr;
        free(state.screenshotPath);
        state.screenshotPath = nullptr;
        return false;
    }
    state.maxFrames = maxFramesFromEnvironment();
    state.frames = 0;
    state.loopCalls = 0;
    state.lastLoopNs = 0;
    state.frameTime = 0.0;
    state.quitRequested = false;
    state.closeRequested = false;
    state.clockFrames = 0;
    inputReset();
    state.headlessNoticeGiven = false;
    const MVPlugin *sdl = state.modules[MODULE_SDL].plugin;
    state.platform = nullptr;
    if (sdl && sdl->platform && sdl->platform->init()) state.platform = sdl->platform;
    if (!sdl)
        engineNoticeHeadless(sdlLoadFailure[0] ? sdlLoadFailure : "no SDL module loaded");
    else if (!state.platform)
        engineNoticeHeadless(engineModuleError(MODULE_SDL));
    engineChooseClock();
    // After the platform starts, so that these handlers are the ones in force.
    engineStopSignal = 0;
    installSignalHandlers();
    state.running = true;
    engineThreadClaim(__func__);
    engineThreadStarted();
    return true;
}

MV_API bool mvDeinit(void) {
    engineThreadCheck(__func__);
    bool ok = true;
    if (state.running) {
        ok = writeScreenshot();
        engineCloseWindow();
        if (state.platform) state.platform->quit();
        state.platform = nullptr;
        restoreSignalHandlers();
        free(state.screenshotPath);
        state.screenshotPath = nullptr;
        replayFree(state.replay);
        state.replay = nullptr;
        if (state.recorder) recorderFinish(state.recorder);
        state.recorder = nullptr;
        if (state.frameClock) frameClockStop();
        state.frameClock = false;
        state.escapeKeeps = false;
        state.closeRequested = false;
        inputReset();
        state.rateSet = false;
        state.frameTime = 0.0;
        frontEnd().resetState();
        drawStateReset();
        state.running = false;
    }
    // Timers may live without a window, so always. Only the core's own go;
    // the caller's are stopped and stay valid until mvTimerDestroy.
    timerShutDown();
    soundDecodersGone();
    unloadModules();
    engineThreadStopped(timerLiveCount() > 0);
    return ok;
}

}
