// Keys by their place on the keyboard: SDL's scancodes (named after the US
// layout) to the engine's key codes, and what each place types in the layout
// in use.
#include <morven/input.h>

#include "modules/sdl/sdl_module.h"

namespace {

struct Place {
    SDL_Scancode code;
    int key;
};

const Place places[] = {
    {SDL_SCANCODE_RETURN, MV_KEY_ENTER},       {SDL_SCANCODE_ESCAPE, MV_KEY_ESCAPE},
    {SDL_SCANCODE_BACKSPACE, MV_KEY_BACKSPACE}, {SDL_SCANCODE_TAB, MV_KEY_TAB},
    {SDL_SCANCODE_SPACE, MV_KEY_SPACE},         {SDL_SCANCODE_MINUS, MV_KEY_MINUS},
    {SDL_SCANCODE_EQUALS, MV_KEY_EQUALS},       {SDL_SCANCODE_LEFTBRACKET, MV_KEY_LEFTBRACKET},
    {SDL_SCANCODE_RIGHTBRACKET, MV_KEY_RIGHTBRACKET}, {SDL_SCANCODE_BACKSLASH, MV_KEY_BACKSLASH},
    {SDL_SCANCODE_NONUSHASH, MV_KEY_BACKSLASH}, {SDL_SCANCODE_SEMICOLON, MV_KEY_SEMICOLON},
    {SDL_SCANCODE_APOSTROPHE, MV_KEY_APOSTROPHE}, {SDL_SCANCODE_GRAVE, MV_KEY_GRAVE},
    {SDL_SCANCODE_COMMA, MV_KEY_COMMA},         {SDL_SCANCODE_PERIOD, MV_KEY_PERIOD},
    {SDL_SCANCODE_SLASH, MV_KEY_SLASH},         {SDL_SCANCODE_CAPSLOCK, MV_KEY_CAPSLOCK},
    {SDL_SCANCODE_PRINTSCREEN, MV_KEY_PRINTSCREEN}, {SDL_SCANCODE_SCROLLLOCK, MV_KEY_SCROLLLOCK},
    {SDL_SCANCODE_PAUSE, MV_KEY_PAUSE},         {SDL_SCANCODE_INSERT, MV_KEY_INSERT},
    {SDL_SCANCODE_HOME, MV_KEY_HOME},           {SDL_SCANCODE_PAGEUP, MV_KEY_PAGEUP},
    {SDL_SCANCODE_DELETE, MV_KEY_DELETE},       {SDL_SCANCODE_END, MV_KEY_END},
    {SDL_SCANCODE_PAGEDOWN, MV_KEY_PAGEDOWN},   {SDL_SCANCODE_RIGHT, MV_KEY_RIGHT},
    {SDL_SCANCODE_LEFT, MV_KEY_LEFT},           {SDL_SCANCODE_DOWN, MV_KEY_DOWN},
    {SDL_SCANCODE_UP, MV_KEY_UP},               {SDL_SCANCODE_NUMLOCKCLEAR, MV_KEY_NUMLOCK},
    {SDL_SCANCODE_KP_DIVIDE, MV_KEY_KP_DIVIDE}, {SDL_SCANCODE_KP_MULTIPLY, MV_KEY_KP_MULTIPLY},
    {SDL_SCANCODE_KP_MINUS, MV_KEY_KP_MINUS},   {SDL_SCANCODE_KP_PLUS, MV_KEY_KP_PLUS},
    {SDL_SCANCODE_KP_ENTER, MV_KEY_KP_ENTER},   {SDL_SCANCODE_KP_PERIOD, MV_KEY_KP_PERIOD},
    {SDL_SCANCODE_KP_EQUALS, MV_KEY_KP_EQUALS}, {SDL_SCANCODE_NONUSBACKSLASH, MV_KEY_NONUSBACKSLASH},
    {SDL_SCANCODE_APPLICATION, MV_KEY_MENU},    {SDL_SCANCODE_MENU, MV_KEY_MENU},
    {SDL_SCANCODE_LCTRL, MV_KEY_LCTRL},         {SDL_SCANCODE_LSHIFT, MV_KEY_LSHIFT},
    {SDL_SCANCODE_LALT, MV_KEY_LALT},           {SDL_SCANCODE_LGUI, MV_KEY_LSUPER},
    {SDL_SCANCODE_RCTRL, MV_KEY_RCTRL},         {SDL_SCANCODE_RSHIFT, MV_KEY_RSHIFT},
    {SDL_SCANCODE_RALT, MV_KEY_RALT},           {SDL_SCANCODE_RGUI, MV_KEY_RSUPER},
};

}  // namespace

int keyFromScancode(SDL_Scancode code) {
    if (code >= SDL_SCANCODE_A && code <= SDL_SCANCODE_Z) return MV_KEY_A + (code - SDL_SCANCODE_A);
    if (code >= SDL_SCANCODE_1 && code <= SDL_SCANCODE_9) return MV_KEY_1 + (code - SDL_SCANCODE_1);
    if (code == SDL_SCANCODE_0) return MV_KEY_0;
    if (code >= SDL_SCANCODE_F1 && code <= SDL_SCANCODE_F12) return MV_KEY_F1 + (code - SDL_SCANCODE_F1);
    if (code >= SDL_SCANCODE_F13 && code <= SDL_SCANCODE_F24) return MV_KEY_F13 + (code - SDL_SCANCODE_F13);
    if (code >= SDL_SCANCODE_KP_1 && code <= SDL_SCANCODE_KP_9) return MV_KEY_KP_1 + (code - SDL_SCANCODE_KP_1);
    if (code == SDL_SCANCODE_KP_0) return MV_KEY_KP_0;
    for (const Place &p : places)
        if (p.code == code) return p.key;
    return 0;
}

uint32_t keyCharacter(int key) {
    for (int code = SDL_SCANCODE_UNKNOWN + 1; code < SDL_NUM_SCANCODES; code++) {
        if (keyFromScancode(static_cast<SDL_Scancode>(code)) != key) continue;
        SDL_Keycode sym = SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(code));
        // Keycodes with this bit name keys that type nothing.
        if (sym > 0 && !(sym & SDLK_SCANCODE_MASK) && sym >= ' ' && sym != SDLK_DELETE)
            return static_cast<uint32_t>(sym);
        return 0;
    }
    return 0;
}
