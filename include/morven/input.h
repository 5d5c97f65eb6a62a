/* MORVEN: keyboard and mouse.
 *
 * The state is updated by each mvLoop: "down" is the state after the frame's
 * events, "pressed" and "released" tell what changed since the previous
 * mvLoop. The "SDL" module feeds it from the window; headless there is no
 * input unless it is replayed.
 *
 * Replayed input: MORVEN_INPUT_SCRIPT=<file> replays events, headless or on
 * top of a real window (whose own events still count). One event per line:
 *   <frame> mouse <x> <y>        pointer moves to (x, y)
 *   <frame> press <name>         key or button goes down
 *   <frame> release <name>       key or button goes up
 *   <frame> wheel <steps>        wheel turns, positive away from the user
 *   <frame> text <utf-8>         text typed: everything after the one blank
 *                                that follows "text", to the end of the line
 *   <frame> quit                 mvLoop returns false from this frame on
 * '#' starts a comment, even right after a word ("0 quit# done"), except
 * inside a text event's text. <frame> counts
 * mvLoop calls from 0; the event applies at the start of that frame, after
 * the events of earlier lines for the same frame. Numbers are decimal
 * ("-3", "12.5"). Names are the MV_KEY_ suffixes in lower case ("a",
 * "space", "left", "f1") and "mouse1" (left), "mouse2" (right), "mouse3"
 * (middle). A malformed line gets one warning on stderr with its line number
 * and is skipped. A script that cannot be read, is not a regular file (a
 * FIFO, a device, a directory) or holds more than MV_INPUT_SCRIPT_MAX_BYTES
 * makes mvInit fail, with the reason in mvGetError. Escape
 * going down ends mvLoop, whether pressed or replayed. During a replay frames
 * are unpaced and mvFrameTime is exactly one frame period: 1 / the rate of
 * mvLoopSetRate, or 1/60 s by default and when the rate is 0.
 *
 * Thread: the engine's thread (the one that called mvInit). */
#ifndef MORVEN_INPUT_H
#define MORVEN_INPUT_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

/** The largest input script mvInit reads, in bytes (16 MiB). */
#define MV_INPUT_SCRIPT_MAX_BYTES (16ul * 1024ul * 1024ul)

/** Key codes. Letters and digits are their upper-case ASCII codes. */
enum {
    MV_KEY_UNKNOWN = 0,
    MV_KEY_BACKSPACE = 8,
    MV_KEY_TAB = 9,
    MV_KEY_ENTER = 13,
    MV_KEY_ESCAPE = 27,
    MV_KEY_SPACE = 32,
    MV_KEY_0 = '0', MV_KEY_1, MV_KEY_2, MV_KEY_3, MV_KEY_4,
    MV_KEY_5, MV_KEY_6, MV_KEY_7, MV_KEY_8, MV_KEY_9,
    MV_KEY_A = 'A', MV_KEY_B, MV_KEY_C, MV_KEY_D, MV_KEY_E, MV_KEY_F, MV_KEY_G,
    MV_KEY_H, MV_KEY_I, MV_KEY_J, MV_KEY_K, MV_KEY_L, MV_KEY_M, MV_KEY_N,
    MV_KEY_O, MV_KEY_P, MV_KEY_Q, MV_KEY_R, MV_KEY_S, MV_KEY_T, MV_KEY_U,
    MV_KEY_V, MV_KEY_W, MV_KEY_X, MV_KEY_Y, MV_KEY_Z,
    MV_KEY_LEFT = 256, MV_KEY_RIGHT, MV_KEY_UP, MV_KEY_DOWN,
    MV_KEY_SHIFT, MV_KEY_CTRL, MV_KEY_ALT,
    MV_KEY_F1, MV_KEY_F2, MV_KEY_F3, MV_KEY_F4, MV_KEY_F5, MV_KEY_F6,
    MV_KEY_F7, MV_KEY_F8, MV_KEY_F9, MV_KEY_F10, MV_KEY_F11, MV_KEY_F12,
    MV_KEY_COUNT /* one past the largest key code */
};

/** Mouse buttons, as bits of mvInputMouse's result. */
enum {
    MV_MOUSE_LEFT = 1,
    MV_MOUSE_RIGHT = 2,
    MV_MOUSE_MIDDLE = 4
};

/** True while the key is held. Unknown codes give false. */
MV_API bool mvInputKeyDown(int key);

/** True when the key went down since the previous frame. */
MV_API bool mvInputKeyPressed(int key);

/** True when the key went up since the previous frame. */
MV_API bool mvInputKeyReleased(int key);

/** The pointer's position in window pixels into x and y (either may be
 * null); returns the held buttons as a mask of MV_MOUSE_* bits. */
MV_API unsigned mvInputMouse(float *x, float *y);

/** True when the button (one MV_MOUSE_* bit) went down since the previous
 * frame; false for anything but a single button bit. */
MV_API bool mvInputMousePressed(unsigned button);

/** True when the button (one MV_MOUSE_* bit) went up since the previous
 * frame; false for anything but a single button bit. */
MV_API bool mvInputMouseReleased(unsigned button);

/** Wheel movement since the previous frame: positive away from the user. */
MV_API float mvInputWheel(void);

/** The UTF-8 text typed since the previous frame; "" when none. Up to 1024
 * bytes a frame, cut at a whole character; the rest of that frame's text is
 * dropped. Valid until the next mvLoop. */
MV_API const char *mvInputText(void);

MV_EXTERN_C_END

#endif
