// Keyboard and mouse state: what is held now, and what changed in the events
// of the current frame.
#include <morven/input.h>

#include <cstring>

#include "core/engine/engine_state.h"
#include "core/engine/input_state.h"
#include "core/engine/replay_format.h"

namespace {

// Text typed in one frame beyond this many bytes is dropped.
constexpr size_t kTextBytes = 1024;

struct Pad {
    bool connected;
    bool down[MV_PAD_BUTTON_COUNT];
    bool pressed[MV_PAD_BUTTON_COUNT];
    bool released[MV_PAD_BUTTON_COUNT];
    float axis[MV_PAD_AXIS_COUNT];  // as reported, before the dead zone
};

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
    Pad pads[MV_PAD_MAX];
};

InputState input;

struct PointerMap {
    float left, top, scaleX, scaleY;
};
PointerMap pointerMap = {0.0f, 0.0f, 1.0f, 1.0f};

bool validPad(int pad) { return pad >= 0 && pad < MV_PAD_MAX && input.pads[pad].connected; }
bool validButton(int button) { return button >= 0 && button < MV_PAD_BUTTON_COUNT; }
bool validAxis(int axis) { return axis >= 0 && axis < MV_PAD_AXIS_COUNT; }

// A pad event: plugging in, unplugging, buttons, axes.
void applyPad(const MVPlatformEvent &e) {
    if (e.key < 0 || e.key >= MV_PAD_MAX) return;
    Pad &pad = input.pads[e.key];
    if (e.kind == MV_PLATFORM_PAD_ADDED) {
        if (pad.connected) return;
        memset(&pad, 0, sizeof pad);
        pad.connected = true;
        return;
    }
    if (!pad.connected) return;
    int b = static_cast<int>(e.button);
    switch (e.kind) {
    case MV_PLATFORM_PAD_REMOVED:
        for (int i = 0; i < MV_PAD_BUTTON_COUNT; i++) {
            pad.released[i] = pad.released[i] || pad.down[i];
            pad.down[i] = false;
        }
        memset(pad.axis, 0, sizeof pad.axis);
        pad.connected = false;
        break;
    case MV_PLATFORM_PAD_DOWN:
        if (validButton(b) && !pad.down[b]) pad.down[b] = pad.pressed[b] = true;
        break;
    case MV_PLATFORM_PAD_UP:
        if (validButton(b) && pad.down[b]) {
            pad.down[b] = false;
            pad.released[b] = true;
        }
        break;
    case MV_PLATFORM_PAD_AXIS:
        if (validAxis(b) && e.x == e.x) pad.axis[b] = e.x < -1.0f ? -1.0f : e.x > 1.0f ? 1.0f : e.x;
        break;
    default: break;
    }
}

bool validKey(int key) { return key > MV_KEY_UNKNOWN && key < MV_KEY_COUNT; }

constexpr unsigned kAllButtons = MV_MOUSE_LEFT | MV_MOUSE_RIGHT | MV_MOUSE_MIDDLE;

bool oneButton(unsigned button) { return button != 0 && (button & (button - 1)) == 0 && (button & kAllButtons); }

// The combined key a side key of a modifier belongs to, and the other side.
struct Sides {
    int side, other, combined;
};
const Sides modifierSides[] = {
    {MV_KEY_LSHIFT, MV_KEY_RSHIFT, MV_KEY_SHIFT}, {MV_KEY_RSHIFT, MV_KEY_LSHIFT, MV_KEY_SHIFT},
    {MV_KEY_LCTRL, MV_KEY_RCTRL, MV_KEY_CTRL},    {MV_KEY_RCTRL, MV_KEY_LCTRL, MV_KEY_CTRL},
    {MV_KEY_LALT, MV_KEY_RALT, MV_KEY_ALT},       {MV_KEY_RALT, MV_KEY_LALT, MV_KEY_ALT},
};

void keyDown(int key) {
    input.down[key] = input.pressed[key] = true;
}

void keyUp(int key) {
    input.down[key] = false;
    input.released[key] = true;
}

// What a side key of a modifier does to the combined key: down when the
// first side goes down, up when the last one goes up.
void updateCombined(int key, bool down) {
    for (const Sides &m : modifierSides) {
        if (m.side != key) continue;
        if (down && !input.down[m.combined]) keyDown(m.combined);
        if (!down && input.down[m.combined] && !input.down[m.other]) keyUp(m.combined);
    }
}

// What a key types on a US keyboard without modifiers; 0: nothing printable.
uint32_t usCharacter(int key) {
    if (key >= MV_KEY_A && key <= MV_KEY_Z) return static_cast<uint32_t>(key - MV_KEY_A + 'a');
    if (key >= MV_KEY_KP_0 && key <= MV_KEY_KP_9) return static_cast<uint32_t>(key - MV_KEY_KP_0 + '0');
    if (key > MV_KEY_SPACE && key < 127) return static_cast<uint32_t>(key);
    switch (key) {
    case MV_KEY_SPACE: return ' ';
    case MV_KEY_KP_DIVIDE: return '/';
    case MV_KEY_KP_MULTIPLY: return '*';
    case MV_KEY_KP_MINUS: return '-';
    case MV_KEY_KP_PLUS: return '+';
    case MV_KEY_KP_PERIOD: return '.';
    case MV_KEY_KP_EQUALS: return '=';
    case MV_KEY_NONUSBACKSLASH: return '\\';
    default: return 0;
    }
}

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

void inputReset() {
    memset(&input, 0, sizeof input);
    pointerMap = {0.0f, 0.0f, 1.0f, 1.0f};
}

void inputMapPointer(float left, float top, float scaleX, float scaleY) { pointerMap = {left, top, scaleX, scaleY}; }

void inputBeginFrame() {
    memset(input.pressed, 0, sizeof input.pressed);
    memset(input.released, 0, sizeof input.released);
    input.buttonsPressed = 0;
    input.buttonsReleased = 0;
    input.wheel = 0.0f;
    input.textLength = 0;
    input.textCut = false;
    input.text[0] = '\0';
    for (Pad &pad : input.pads) {
        memset(pad.pressed, 0, sizeof pad.pressed);
        memset(pad.released, 0, sizeof pad.released);
    }
}

bool inputApply(const MVPlatformEvent &e) {
    switch (e.kind) {
    case MV_PLATFORM_KEY_DOWN:
        if (!validKey(e.key) || input.down[e.key]) return false;
        keyDown(e.key);
        updateCombined(e.key, true);
        return e.key == MV_KEY_ESCAPE;
    case MV_PLATFORM_KEY_UP:
        if (validKey(e.key) && input.down[e.key]) {
            keyUp(e.key);
            updateCombined(e.key, false);
        }
        return false;
    case MV_PLATFORM_MOUSE_MOVE:
        if (e.x == e.x && e.y == e.y) {
            input.x = (e.x - pointerMap.left) * pointerMap.scaleX;
            input.y = (e.y - pointerMap.top) * pointerMap.scaleY;
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
    case MV_PLATFORM_PAD_ADDED:
    case MV_PLATFORM_PAD_REMOVED:
    case MV_PLATFORM_PAD_DOWN:
    case MV_PLATFORM_PAD_UP:
    case MV_PLATFORM_PAD_AXIS:
        applyPad(e);
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

MV_API uint32_t mvInputKeyCharacter(int key) {
    if (!validKey(key) || !keyName(key)) return 0;
    uint32_t us = usCharacter(key);
    const MVPluginPlatform *platform = engineState().platform;
    if (!us || !platform || !platform->keyCharacter) return us;
    uint32_t c = platform->keyCharacter(key);
    return c ? c : us;
}

MV_API unsigned mvInputMouse(float *x, float *y) {
    if (x) *x = input.x;
    if (y) *y = input.y;
    return input.buttons;
}

MV_API bool mvInputMousePressed(unsigned button) { return oneButton(button) && (input.buttonsPressed & button); }
MV_API bool mvInputMouseReleased(unsigned button) { return oneButton(button) && (input.buttonsReleased & button); }
MV_API int mvInputPadCount(void) {
    int count = 0;
    for (const Pad &pad : input.pads) count += pad.connected;
    return count;
}

MV_API bool mvInputPadConnected(int pad) { return validPad(pad); }

MV_API bool mvInputPadDown(int pad, int button) {
    return validPad(pad) && validButton(button) && input.pads[pad].down[button];
}

MV_API bool mvInputPadPressed(int pad, int button) {
    return validPad(pad) && validButton(button) && input.pads[pad].pressed[button];
}

MV_API bool mvInputPadReleased(int pad, int button) {
    // A pad unplugged this frame still reports the buttons it let go.
    return pad >= 0 && pad < MV_PAD_MAX && validButton(button) && input.pads[pad].released[button];
}

MV_API float mvInputPadAxis(int pad, int axis) {
    if (!validPad(pad) || !validAxis(axis)) return 0.0f;
    float v = input.pads[pad].axis[axis];
    float magnitude = v < 0 ? -v : v;
    if (magnitude <= MV_PAD_DEAD_ZONE) return 0.0f;
    float stretched = (magnitude - MV_PAD_DEAD_ZONE) / (1.0f - MV_PAD_DEAD_ZONE);
    return v < 0 ? -stretched : stretched;
}

MV_API float mvInputWheel(void) { return input.wheel; }
MV_API const char *mvInputText(void) { return input.text; }

}
