// The "SDL" module's audio device: SDL's default output, stereo 32-bit
// floats at the mixer's rate (SDL converts when the hardware wants other),
// fed by the engine's mixer from SDL's audio thread.
#include <SDL.h>

#include <cstdlib>

#include "modules/sdl/audio.h"

namespace {

struct Device {
    SDL_AudioDeviceID id;
    MVAudioRender render;
    void *context;
};

void callback(void *user, Uint8 *stream, int bytes) {
    Device *d = static_cast<Device *>(user);
    d->render(d->context, reinterpret_cast<float *>(stream), bytes / static_cast<int>(2 * sizeof(float)));
}

void *open(int rate, MVAudioRender render, void *context) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        sdlNoteFailure("no audio");
        return nullptr;
    }
    Device *d = static_cast<Device *>(calloc(1, sizeof(Device)));
    if (!d) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        sdlNoteFailure("out of memory");
        return nullptr;
    }
    d->render = render;
    d->context = context;
    SDL_AudioSpec want = {};
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = 1024;  // about 21 ms at 48 kHz
    want.callback = callback;
    want.userdata = d;
    d->id = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (d->id == 0) {
        sdlNoteFailure("no audio device");
        free(d);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    SDL_PauseAudioDevice(d->id, 0);
    return d;
}

void close(void *device) {
    Device *d = static_cast<Device *>(device);
    if (!d) return;
    SDL_CloseAudioDevice(d->id);  // waits for the callback to return
    free(d);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace

const MVPluginAudio sdlAudio = {open, close};
