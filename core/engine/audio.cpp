// The mixer's output for the engine's run: the SDL module's audio device
// while a window shows on a display (outside a replay), else the null
// device, advanced on each mvLoop by the frames of one frame period. The
// device opens at the first mvLoop after a voice started, so a program
// without sound never touches the system's audio.
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
    s.audioWanted = s.window && !s.replay && sdl && sdl->audio;
    if (!soundOutputStart(capture, s.audioWanted)) fprintf(stderr, "MORVEN: %s\n", mvGetError());
}

void engineAudioFrame() {
    EngineState &s = engineState();
    if (s.audioWanted && soundOutputHeardFrom()) {
        s.audioWanted = false;
        s.audioDevice = s.modules[MODULE_SDL].plugin->audio->open(MV_SOUND_RATE, soundDeviceRender, nullptr);
        if (!s.audioDevice) {
            fprintf(stderr, "MORVEN: no audio device (%s); sound goes to the null device\n",
                    engineModuleError(MODULE_SDL));
            soundOutputUseNullDevice();
        }
    }
    soundOutputFrame(s.rateSet && s.rate > 0 ? s.rate : kDefaultFrameRate);
}

void engineAudioClose() {
    EngineState &s = engineState();
    if (s.audioDevice) s.modules[MODULE_SDL].plugin->audio->close(s.audioDevice);
    s.audioDevice = nullptr;
    s.audioWanted = false;
    if (!soundOutputStop()) fprintf(stderr, "MORVEN: %s\n", mvGetError());
}
