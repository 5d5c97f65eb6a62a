// The words of the input-script format shared by the replay (reading) and
// the recorder (writing): key and button names, numbers and texts.
#ifndef MORVEN_CORE_ENGINE_REPLAY_FORMAT_H
#define MORVEN_CORE_ENGINE_REPLAY_FORMAT_H

#include <cstddef>
#include <cstdint>

// A key name as in a script ("a", "f1", "space") to its MV_KEY_* code; 0 if none.
int keyFromName(const char *name, size_t length);

// The script name of an MV_KEY_* code; null for codes without one.
const char *keyName(int key);

// Gamepad buttons and axes by name ("a", "dpad_up"; "leftx"): the code,
// or -1 for none; and back.
int padButtonFromName(const char *name, size_t length);
int padAxisFromName(const char *name, size_t length);
const char *padButtonName(int button);
const char *padAxisName(int axis);

// "mouse1" to "mouse3": left, right, middle, as the MV_MOUSE_* bits go; 0 if none.
unsigned buttonFromName(const char *name, size_t length);

// A decimal number ("-12", "3.25"), whatever the C locale says; false when
// the token is anything else or has more than 15 digits.
bool parseNumber(const char *token, size_t length, float *out);

// Writes value into out (room for 32 bytes) as parseNumber reads it back to
// the same float; false for values it cannot write so (NaN, huge, tiny).
bool formatNumber(float value, char out[32]);

// Well-formed UTF-8 without control characters.
bool printableUtf8(const unsigned char *text, size_t length);

#endif
