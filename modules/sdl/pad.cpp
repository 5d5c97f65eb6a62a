// Gamepads through SDL's game-controller layer, which maps the buttons and
// axes of most controllers to one standard layout. Each pad plugged in takes
// the lowest free engine number; the events name it by that number.
#include <morven/input.h>

#include "modules/sdl/sdl_module.h"

namespace {

struct Slot {
    SDL_GameController *controller;  // null: free
    SDL_JoystickID id;
};

Slot slots[MV_PAD_MAX];
bool started;

int slotOf(SDL_JoystickID id) {
    for (int i = 0; i < MV_PAD_MAX; i++)
        if (slots[i].controller && slots[i].id == id) return i;
    return -1;
}

void send(MVPlatformEventSink sink, void *context, uint32_t kind, int pad, uint32_t code, float value) {
    MVPlatformEvent out = {kind, pad, code, value, 0.0f, nullptr};
    if (sink) sink(context, &out);
}

void added(int deviceIndex, MVPlatformEventSink sink, void *context) {
    if (!SDL_IsGameController(deviceIndex)) return;
    SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    if (id < 0 || slotOf(id) >= 0) return;
    int free = 0;
    while (free < MV_PAD_MAX && slots[free].controller) free++;
    if (free == MV_PAD_MAX) return;  // more pads than the engine counts
    SDL_GameController *controller = SDL_GameControllerOpen(deviceIndex);
    if (!controller) return;
    slots[free] = {controller, id};
    send(sink, context, MV_PLATFORM_PAD_ADDED, free, 0, 0.0f);
}

}  // namespace

bool padsInit() {
    started = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    return started;
}

void padsQuit() {
    for (Slot &slot : slots) {
        if (slot.controller) SDL_GameControllerClose(slot.controller);
        slot = {nullptr, 0};
    }
    if (started) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    started = false;
}

bool padEvent(const SDL_Event &e, MVPlatformEventSink sink, void *context) {
    int pad;
    switch (e.type) {
    case SDL_CONTROLLERDEVICEADDED:
        added(e.cdevice.which, sink, context);
        return true;
    case SDL_CONTROLLERDEVICEREMOVED:
        if ((pad = slotOf(e.cdevice.which)) >= 0) {
            SDL_GameControllerClose(slots[pad].controller);
            slots[pad] = {nullptr, 0};
            send(sink, context, MV_PLATFORM_PAD_REMOVED, pad, 0, 0.0f);
        }
        return true;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
        // SDL's first buttons and axes come in the engine's order.
        if ((pad = slotOf(e.cbutton.which)) >= 0 && e.cbutton.button < MV_PAD_BUTTON_COUNT)
            send(sink, context, e.type == SDL_CONTROLLERBUTTONDOWN ? MV_PLATFORM_PAD_DOWN : MV_PLATFORM_PAD_UP, pad,
                 e.cbutton.button, 0.0f);
        return true;
    case SDL_CONTROLLERAXISMOTION:
        if ((pad = slotOf(e.caxis.which)) >= 0 && e.caxis.axis < MV_PAD_AXIS_COUNT) {
            float v = static_cast<float>(e.caxis.value) / 32767.0f;
            send(sink, context, MV_PLATFORM_PAD_AXIS, pad, e.caxis.axis, v < -1.0f ? -1.0f : v);
        }
        return true;
    default:
        return false;
    }
}
