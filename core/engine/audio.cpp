// The mixer's output for the engine's run: the SDL module's audio device
// while a window shows on a display (outside a replay), else the null
// device, advanced on each mvLoop by the frames of one frame period.
#include <cstdio>
#include <cstdlib>

#include <morven/error.h>
#include <morven/sound.h>

#include "core/engine/engine_state.h"
#include "core/sound/output.h"

void engineAudioOpen() {
    EngineState &s = engineState();
    const MVPlugin *sdl = s.modules[MODULE_SDL].plugin;
    s.audioDevice = nullptr;
    const char *capture = getenv("MORVEN_AUDIO_CAPTURE");
    if (capture && !*capture) capture = nullptr;
    bool device = s.window && !s.replay && sdl && sdl->audio;
    if (!soundOutputStart(capture, device)) fprintf(stderr, "MORVEN: %s\n", mvGetError());
    // The device starts calling at once, so it opens after the output is ready.
    if (device && !(s.audioDevice = sdl->audio->open(MV_SOUND_RATE, soundDeviceRender, nullptr))) {
        fprintf(stderr, "MORVEN: no audio device (%s); sound goes to the null device\n",
                engineModuleError(MODULE_SDL));
        soundOutputStop();
        soundOutputStart(capture, false);
    }
}

void engineAudioFrame() {
    const EngineState &s = engineState();
    soundOutputFrame(s.rateSet && s.rate > 0 ? s.rate : kDefaultFrameRate);
}

void engineAudioClose() {
    EngineState &s = engineState();
    if (s.audioDevice) s.modules[MODULE_SDL].plugin->audio->close(s.audioDevice);
    s.audioDevice = nullptr;
    if (!soundOutputStop()) fprintf(stderr, "MORVEN: %s\n", mvGetError());
}
