// Names, numbers and texts of the input-script format.
#include "core/engine/replay_format.h"

#include <morven/input.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

struct KeyName {
    const char *name;
    int key;
};

// Every key by its script name: the MV_KEY_ suffix in lower case.
const KeyName keyNames[] = {
    {"backspace", MV_KEY_BACKSPACE}, {"tab", MV_KEY_TAB}, {"enter", MV_KEY_ENTER}, {"escape", MV_KEY_ESCAPE},
    {"space", MV_KEY_SPACE}, {"apostrophe", MV_KEY_APOSTROPHE}, {"comma", MV_KEY_COMMA},
    {"minus", MV_KEY_MINUS}, {"period", MV_KEY_PERIOD}, {"slash", MV_KEY_SLASH}, {"0", MV_KEY_0},
    {"1", MV_KEY_1}, {"2", MV_KEY_2}, {"3", MV_KEY_3}, {"4", MV_KEY_4}, {"5", MV_KEY_5}, {"6", MV_KEY_6},
    {"7", MV_KEY_7}, {"8", MV_KEY_8}, {"9", MV_KEY_9}, {"semicolon", MV_KEY_SEMICOLON},
    {"equals", MV_KEY_EQUALS}, {"a", MV_KEY_A}, {"b", MV_KEY_B}, {"c", MV_KEY_C}, {"d", MV_KEY_D},
    {"e", MV_KEY_E}, {"f", MV_KEY_F}, {"g", MV_KEY_G}, {"h", MV_KEY_H}, {"i", MV_KEY_I}, {"j", MV_KEY_J},
    {"k", MV_KEY_K}, {"l", MV_KEY_L}, {"m", MV_KEY_M}, {"n", MV_KEY_N}, {"o", MV_KEY_O}, {"p", MV_KEY_P},
    {"q", MV_KEY_Q}, {"r", MV_KEY_R}, {"s", MV_KEY_S}, {"t", MV_KEY_T}, {"u", MV_KEY_U}, {"v", MV_KEY_V},
    {"w", MV_KEY_W}, {"x", MV_KEY_X}, {"y", MV_KEY_Y}, {"z", MV_KEY_Z}, {"leftbracket", MV_KEY_LEFTBRACKET},
    {"backslash", MV_KEY_BACKSLASH}, {"rightbracket", MV_KEY_RIGHTBRACKET}, {"grave", MV_KEY_GRAVE},
    {"delete", MV_KEY_DELETE}, {"left", MV_KEY_LEFT}, {"right", MV_KEY_RIGHT}, {"up", MV_KEY_UP},
    {"down", MV_KEY_DOWN}, {"shift", MV_KEY_SHIFT}, {"ctrl", MV_KEY_CTRL}, {"alt", MV_KEY_ALT},
    {"f1", MV_KEY_F1}, {"f2", MV_KEY_F2}, {"f3", MV_KEY_F3}, {"f4", MV_KEY_F4}, {"f5", MV_KEY_F5},
    {"f6", MV_KEY_F6}, {"f7", MV_KEY_F7}, {"f8", MV_KEY_F8}, {"f9", MV_KEY_F9}, {"f10", MV_KEY_F10},
    {"f11", MV_KEY_F11}, {"f12", MV_KEY_F12}, {"f13", MV_KEY_F13}, {"f14", MV_KEY_F14}, {"f15", MV_KEY_F15},
    {"f16", MV_KEY_F16}, {"f17", MV_KEY_F17}, {"f18", MV_KEY_F18}, {"f19", MV_KEY_F19}, {"f20", MV_KEY_F20},
    {"f21", MV_KEY_F21}, {"f22", MV_KEY_F22}, {"f23", MV_KEY_F23}, {"f24", MV_KEY_F24},
    {"lshift", MV_KEY_LSHIFT}, {"rshift", MV_KEY_RSHIFT}, {"lctrl", MV_KEY_LCTRL}, {"rctrl", MV_KEY_RCTRL},
    {"lalt", MV_KEY_LALT}, {"ralt", MV_KEY_RALT}, {"lsuper", MV_KEY_LSUPER}, {"rsuper", MV_KEY_RSUPER},
    {"menu", MV_KEY_MENU}, {"insert", MV_KEY_INSERT}, {"home", MV_KEY_HOME}, {"end", MV_KEY_END},
    {"pageup", MV_KEY_PAGEUP}, {"pagedown", MV_KEY_PAGEDOWN}, {"capslock", MV_KEY_CAPSLOCK},
    {"scrolllock", MV_KEY_SCROLLLOCK}, {"numlock", MV_KEY_NUMLOCK}, {"printscreen", MV_KEY_PRINTSCREEN},
    {"pause", MV_KEY_PAUSE}, {"nonusbackslash", MV_KEY_NONUSBACKSLASH}, {"kp_0", MV_KEY_KP_0},
    {"kp_1", MV_KEY_KP_1}, {"kp_2", MV_KEY_KP_2}, {"kp_3", MV_KEY_KP_3}, {"kp_4", MV_KEY_KP_4},
    {"kp_5", MV_KEY_KP_5}, {"kp_6", MV_KEY_KP_6}, {"kp_7", MV_KEY_KP_7}, {"kp_8", MV_KEY_KP_8},
    {"kp_9", MV_KEY_KP_9}, {"kp_divide", MV_KEY_KP_DIVIDE}, {"kp_multiply", MV_KEY_KP_MULTIPLY},
    {"kp_minus", MV_KEY_KP_MINUS}, {"kp_plus", MV_KEY_KP_PLUS}, {"kp_enter", MV_KEY_KP_ENTER},
    {"kp_period", MV_KEY_KP_PERIOD}, {"kp_equals", MV_KEY_KP_EQUALS},
};

const char *const padButtonNames[MV_PAD_BUTTON_COUNT] = {
    "a", "b", "x", "y", "back", "guide", "start", "leftstick", "rightstick", "leftshoulder", "rightshoulder",
    "dpad_up", "dpad_down", "dpad_left", "dpad_right"};
const char *const padAxisNames[MV_PAD_AXIS_COUNT] = {"leftx",  "lefty",       "rightx",
                                                     "righty", "triggerleft", "triggerright"};

int indexOf(const char *const *names, int count, const char *name, size_t n) {
    for (int i = 0; i < count; i++)
        if (strlen(names[i]) == n && memcmp(names[i], name, n) == 0) return i;
    return -1;
}

}  // namespace

int padButtonFromName(const char *name, size_t n) { return indexOf(padButtonNames, MV_PAD_BUTTON_COUNT, name, n); }
int padAxisFromName(const char *name, size_t n) { return indexOf(padAxisNames, MV_PAD_AXIS_COUNT, name, n); }
const char *padButtonName(int b) { return b >= 0 && b < MV_PAD_BUTTON_COUNT ? padButtonNames[b] : nullptr; }
const char *padAxisName(int a) { return a >= 0 && a < MV_PAD_AXIS_COUNT ? padAxisNames[a] : nullptr; }

int keyFromName(const char *name, size_t n) {
    for (const KeyName &k : keyNames)
        if (strlen(k.name) == n && memcmp(k.name, name, n) == 0) return k.key;
    return 0;
}

const char *keyName(int key) {
    for (const KeyName &k : keyNames)
        if (k.key == key) return k.name;
    return nullptr;
}

unsigned buttonFromName(const char *name, size_t n) {
    if (n != 6 || memcmp(name, "mouse", 5) != 0 || name[5] < '1' || name[5] > '3') return 0;
    return 1u << (name[5] - '1');
}

bool parseNumber(const char *token, size_t n, float *out) {
    if (n == 0) return false;
    size_t i = 0;
    bool negative = token[0] == '-';
    if (negative || token[0] == '+') i++;
    uint64_t mantissa = 0;
    int digits = 0, decimals = 0;
    bool point = false;
    for (; i < n; i++) {
        if (token[i] == '.' && !point) {
            point = true;
        } else if (token[i] >= '0' && token[i] <= '9') {
            if (++digits > 15) return false;
            mantissa = mantissa * 10 + static_cast<uint64_t>(token[i] - '0');
            decimals += point;
        } else {
            return false;
        }
    }
    if (digits == 0) return false;
    double scale = 1.0;
    for (int d = 0; d < decimals; d++) scale *= 10.0;  // exact: at most 10^15
    double value = static_cast<double>(mantissa) / scale;
    *out = static_cast<float>(negative ? -value : value);
    return true;
}

bool formatNumber(float value, char out[32]) {
    if (!std::isfinite(value) || std::fabs(value) >= 1e9f) return false;
    // The fewest decimals that read back to the very same float.
    for (int decimals = 0; decimals <= 9; decimals++) {
        int n = snprintf(out, 32, "%.*f", decimals, static_cast<double>(value));
        float back;
        if (n > 0 && n < 32 && parseNumber(out, static_cast<size_t>(n), &back) && back == value) return true;
    }
    return false;
}

bool printableUtf8(const unsigned char *s, size_t n) {
    for (size_t i = 0; i < n;) {
        unsigned char c = s[i];
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7F) return false;
            i++;
            continue;
        }
        size_t extra;
        uint32_t point;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            point = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            point = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            point = c & 0x07;
        } else {
            return false;
        }
        if (n - i <= extra) return false;
        for (size_t k = 1; k <= extra; k++) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            point = (point << 6) | (s[i + k] & 0x3F);
        }
        // Overlong forms, UTF-16 surrogates and code points past U+10FFFF.
        if ((extra == 2 && point < 0x800) || (extra == 3 && (point < 0x10000 || point > 0x10FFFF)) ||
            (point >= 0xD800 && point <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}
