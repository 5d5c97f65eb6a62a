// Keyboard and mouse state: what is held now, and what changed in the events
// of the current frame.
#include <morven/input.h>

#include <cstring>

#include "core/engine/input_state.h"

namespace {

// Text typed in one frame beyond this many bytes is dropped.
constexpr size_t kTextBytes = 1024;

struct InputState {
    bool down[MV_KEY_COUNT];
    bool pressed[MV_KEY_COUNT];
    bool released[MV_KEY_COUNT];
    float x, y;
    unsigned buttons;         // held
    unsigned buttonsPressed;  // went down this frame
    unsigned buttonsReleased; // went up this frame
    float wheel;
    char text[kTextBytes + 1];
    size_t textLength;
    bool textCut;  // text was dropped: later text of the frame would read out of order
};

InputState input;

bool validKey(int key) { return key > MV_KEY_UNKNOWN && key < MV_KEY_COUNT; }

constexpr unsigned kAllButtons = MV_MOUSE_LEFT | MV_MOUSE_RIGHT | MV_MOUSE_MIDDLE;

bool oneButton(unsigned button) { return button != 0 && (button & (button - 1)) == 0 && (button & kAllButtons); }

// Appends as much of text as fits, ending on a whole UTF-8 character.
void appendText(const char *text) {
    if (input.textCut) return;
    size_t n = strlen(text), room = kTextBytes - input.textLength;
    if (n > room) {
        input.textCut = true;
        n = room;
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) n--;
    }
    memcpy(input.text + input.textLength, text, n);
    input.textLength += n;
    input.text[input.textLength] = '\0';
}

}  // namespace

void inputReset() { memset(&input, 0, sizeof input); }

void inputBeginFrame() {
    memset(input.pressed, 0, sizeof input.pressed);
    memset(input.released, 0, sizeof input.released);
    input.buttonsPressed = 0;
    input.buttonsReleased = 0;
    input.wheel = 0.0f;
    input.textLength = 0;
    input.textCut = false;
    input.text[0] = '\0';
}

bool inputApply(const MVPlatformEvent &e) {
    switch (e.kind) {
    case MV_PLATFORM_KEY_DOWN:
        if (!validKey(e.key) || input.down[e.key]) return false;
        input.down[e.key] = input.pressed[e.key] = true;
        return e.key == MV_KEY_ESCAPE;
    case MV_PLATFORM_KEY_UP:
        if (validKey(e.key) && input.down[e.key]) {
            input.down[e.key] = false;
            input.released[e.key] = true;
        }
        return false;
    case MV_PLATFORM_MOUSE_MOVE:
        if (e.x == e.x && e.y == e.y) {
            input.x = e.x;
            input.y = e.y;
        }
        return false;
    case MV_PLATFORM_MOUSE_DOWN:
    case MV_PLATFORM_MOUSE_UP:
        if (!oneButton(e.button)) return false;
        if (e.kind == MV_PLATFORM_MOUSE_UP) {
            if (input.buttons & e.button) input.buttonsReleased |= e.button;
            input.buttons &= ~e.button;
        } else if (!(input.buttons & e.button)) {
            input.buttons |= e.button;
            input.buttonsPressed |= e.button;
        }
        return false;
    case MV_PLATFORM_WHEEL:
        if (e.y == e.y) input.wheel += e.y;
        return false;
    case MV_PLATFORM_TEXT:
        if (e.text) appendText(e.text);
        return false;
    default:
        return false;
    }
}

void inputSink(void *context, const MVPlatformEvent *event) {
    if (inputApply(*event)) *static_cast<bool *>(context) = true;
}

extern "C" {

MV_API bool mvInputKeyDown(int key) { return validKey(key) && input.down[key]; }
MV_API bool mvInputKeyPressed(int key) { return validKey(key) && input.pressed[key]; }
MV_API bool mvInputKeyReleased(int key) { return validKey(key) && input.released[key]; }

MV_API unsigned mvInputMouse(float *x, float *y) {
    if (x) *x = input.x;
    if (y) *y = input.y;
    return input.buttons;
}

MV_API bool mvInputMousePressed(unsigned button) { return oneButton(button) && (input.buttonsPressed & button); }
MV_API bool mvInputMouseReleased(unsigned button) { return oneButton(button) && (input.buttonsReleased & button); }
MV_API float mvInputWheel(void) { return input.wheel; }
MV_API const char *mvInputText(void) { return input.text; }

}
