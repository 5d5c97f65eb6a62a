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
 *   <frame> padadd <pad>         gamepad number pad (0..7) is plugged in
 *   <frame> padremove <pad>      gamepad pad is unplugged
 *   <frame> padpress <pad> <button>    its button goes down
 *   <frame> padrelease <pad> <button>  its button goes up
 *   <frame> padaxis <pad> <axis> <value>  its axis reads value (-1..1),
 *                                before the dead zone
 *   <frame> resize <w> <h>       the window is resized to w x h pixels
 *   <frame> close                the window's close button is pressed
 *   <frame> frametime <ns>       the frame lasts ns nanoseconds (a whole
 *                                number up to 10^12) instead of one period
 *   <frame> quit                 mvLoop returns false from this frame on
 * '#' starts a comment, even right after a word ("0 quit# done"), except
 * inside a text event's text. <frame> counts
 * mvLoop calls from 0; the event applies at the start of that frame, after
 * the events of earlier lines for the same frame. Numbers are decimal
 * ("-3", "12.5"). Names are the MV_KEY_ suffixes in lower case ("a",
 * "7", "space", "left", "f1", "lshift", "kp_enter", "pageup", "comma") and
 * "mouse1" (left), "mouse2" (right), "mouse3" (middle); gamepad buttons
 * and axes are the MV_PAD_ suffixes in lower case ("a", "start",
 * "dpad_up", "leftx", "triggerright"). Gamepad events for a pad that is not
 * plugged in are ignored. A malformed line gets one warning on stderr with
 * its line number and is skipped. A script that cannot be read, is not a
 * regular file (a FIFO, a device, a directory) or holds more than
 * MV_INPUT_SCRIPT_MAX_BYTES makes mvInit fail, with the reason in
 * mvGetError. Escape
 * going down and "close" end mvLoop, unless mvLoopSetEscapeQuits(false) was
 * called (<morven/window.h>). During a replay frames are unpaced and the
 * engine runs on its frame clock: mvFrameTime, mvGetTime and the timers
 * move on by exactly one frame period per frame (1 / the rate of
 * mvLoopSetRate, or 1/60 s by default and when the rate is 0), or by the
 * frame's "frametime".
 *
 * Recorded input: MORVEN_INPUT_RECORD=<file> writes the window's events of
 * a live session to file in the same format, with a "frametime" line for
 * every frame holding its measured length, a "close" line for the close
 * button and a "quit" line for SIGINT or SIGTERM. Replaying the file gives
 * the same input, frame times, timer firings and frames. While recording,
 * mvGetTime and the timers follow the frame clock, moved on by the measured
 * frame times, so that the replay can match them. The lines go to a new file
 * beside it (<file>.XXXXXX, flushed every frame) that replaces file when
 * mvDeinit runs; a recording that cannot be written leaves file as it was
 * and says why on stderr and in mvGetError. Typed text with control
 * characters is left out.
 *
 * Thread: the engine's thread (the one that called mvInit). */
#ifndef MORVEN_INPUT_H
#define MORVEN_INPUT_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

/** The largest input script mvInit reads, in bytes (16 MiB). */
#define MV_INPUT_SCRIPT_MAX_BYTES (16ul * 1024ul * 1024ul)

/** Key codes. A code names a key by its place on the keyboard, as it lies
 * on a US keyboard: MV_KEY_Q is the key left of W, whatever it types; ask
 * mvInputKeyCharacter what it types and mvInputText for the text typed.
 * Letters, digits and the punctuation keys are the ASCII codes of what they
 * type on a US keyboard (letters upper case). MV_KEY_SHIFT, MV_KEY_CTRL and
 * MV_KEY_ALT are down while the left or the right one is; the sides have
 * codes of their own. */
enum {
    MV_KEY_UNKNOWN = 0,
    MV_KEY_BACKSPACE = 8,
    MV_KEY_TAB = 9,
    MV_KEY_ENTER = 13,
    MV_KEY_ESCAPE = 27,
    MV_KEY_SPACE = 32,
    MV_KEY_APOSTROPHE = '\'',
    MV_KEY_COMMA = ',', MV_KEY_MINUS = '-', MV_KEY_PERIOD = '.', MV_KEY_SLASH = '/',
    MV_KEY_0 = '0', MV_KEY_1, MV_KEY_2, MV_KEY_3, MV_KEY_4,
    MV_KEY_5, MV_KEY_6, MV_KEY_7, MV_KEY_8, MV_KEY_9,
    MV_KEY_SEMICOLON = ';',
    MV_KEY_EQUALS = '=',
    MV_KEY_A = 'A', MV_KEY_B, MV_KEY_C, MV_KEY_D, MV_KEY_E, MV_KEY_F, MV_KEY_G,
    MV_KEY_H, MV_KEY_I, MV_KEY_J, MV_KEY_K, MV_KEY_L, MV_KEY_M, MV_KEY_N,
    MV_KEY_O, MV_KEY_P, MV_KEY_Q, MV_KEY_R, MV_KEY_S, MV_KEY_T, MV_KEY_U,
    MV_KEY_V, MV_KEY_W, MV_KEY_X, MV_KEY_Y, MV_KEY_Z,
    MV_KEY_LEFTBRACKET = '[', MV_KEY_BACKSLASH = '\\', MV_KEY_RIGHTBRACKET = ']',
    MV_KEY_GRAVE = '`',
    MV_KEY_DELETE = 127,
    MV_KEY_LEFT = 256, MV_KEY_RIGHT, MV_KEY_UP, MV_KEY_DOWN,
    MV_KEY_SHIFT, MV_KEY_CTRL, MV_KEY_ALT,
    MV_KEY_F1, MV_KEY_F2, MV_KEY_F3, MV_KEY_F4, MV_KEY_F5, MV_KEY_F6,
    MV_KEY_F7, MV_KEY_F8, MV_KEY_F9, MV_KEY_F10, MV_KEY_F11, MV_KEY_F12,
    MV_KEY_F13, MV_KEY_F14, MV_KEY_F15, MV_KEY_F16, MV_KEY_F17, MV_KEY_F18,
    MV_KEY_F19, MV_KEY_F20, MV_KEY_F21, MV_KEY_F22, MV_KEY_F23, MV_KEY_F24,
    MV_KEY_LSHIFT, MV_KEY_RSHIFT, MV_KEY_LCTRL, MV_KEY_RCTRL, MV_KEY_LALT, MV_KEY_RALT,
    MV_KEY_LSUPER, MV_KEY_RSUPER, MV_KEY_MENU,
    MV_KEY_INSERT, MV_KEY_HOME, MV_KEY_END, MV_KEY_PAGEUP, MV_KEY_PAGEDOWN,
    MV_KEY_CAPSLOCK, MV_KEY_SCROLLLOCK, MV_KEY_NUMLOCK, MV_KEY_PRINTSCREEN, MV_KEY_PAUSE,
    MV_KEY_NONUSBACKSLASH, /* the key between left Shift and Z on ISO keyboards */
    MV_KEY_KP_0, MV_KEY_KP_1, MV_KEY_KP_2, MV_KEY_KP_3, MV_KEY_KP_4,
    MV_KEY_KP_5, MV_KEY_KP_6, MV_KEY_KP_7, MV_KEY_KP_8, MV_KEY_KP_9,
    MV_KEY_KP_DIVIDE, MV_KEY_KP_MULTIPLY, MV_KEY_KP_MINUS, MV_KEY_KP_PLUS,
    MV_KEY_KP_ENTER, MV_KEY_KP_PERIOD, MV_KEY_KP_EQUALS,
    MV_KEY_COUNT /* one past the largest key code */
};

/** Mouse buttons, as bits of mvInputMouse's result. */
enum {
    MV_MOUSE_LEFT = 1,
    MV_MOUSE_RIGHT = 2,
    MV_MOUSE_MIDDLE = 4
};

/** Gamepad buttons, in the layout of a common console controller: A is the
 * lower face button, B the right one, X the left one, Y the upper one. */
enum {
    MV_PAD_A, MV_PAD_B, MV_PAD_X, MV_PAD_Y,
    MV_PAD_BACK, MV_PAD_GUIDE, MV_PAD_START,
    MV_PAD_LEFTSTICK, MV_PAD_RIGHTSTICK, MV_PAD_LEFTSHOULDER, MV_PAD_RIGHTSHOULDER,
    MV_PAD_DPAD_UP, MV_PAD_DPAD_DOWN, MV_PAD_DPAD_LEFT, MV_PAD_DPAD_RIGHT,
    MV_PAD_BUTTON_COUNT /* one past the largest button */
};

/** Gamepad axes: the sticks (x: -1 left to 1 right, y: -1 up to 1 down) and
 * the triggers (0 released to 1 pulled). */
enum {
    MV_PAD_LEFTX, MV_PAD_LEFTY, MV_PAD_RIGHTX, MV_PAD_RIGHTY,
    MV_PAD_TRIGGERLEFT, MV_PAD_TRIGGERRIGHT,
    MV_PAD_AXIS_COUNT /* one past the largest axis */
};

/** Gamepads are numbered 0 to MV_PAD_MAX - 1; one plugged in takes the
 * lowest free number and keeps it until it is unplugged. */
#define MV_PAD_MAX 8

/** Axis readings this close to rest read 0 (sticks at rest drift a little). */
#define MV_PAD_DEAD_ZONE 0.15f

/** True while the key is held. Unknown codes give false. */
MV_API bool mvInputKeyDown(int key);

/** True when the key went down since the previous frame. */
MV_API bool mvInputKeyPressed(int key);

/** True when the key went up since the previous frame. */
MV_API bool mvInputKeyReleased(int key);

/** The character (a Unicode code point) the key types without modifiers in
 * the keyboard layout in use: on a French keyboard MV_KEY_Q gives 'a'.
 * Letters give lower case. Headless, and for keys the layout does not say,
 * what the key types on a US keyboard; 0 for keys that type nothing
 * (arrows, modifiers, function keys, unknown codes). */
MV_API uint32_t mvInputKeyCharacter(int key);

/** The pointer's position in window pixels into x and y (either may be
 * null); returns the held buttons as a mask of MV_MOUSE_* bits. */
MV_API unsigned mvInputMouse(float *x, float *y);

/** True when the button (one MV_MOUSE_* bit) went down since the previous
 * frame; false for anything but a single button bit. */
MV_API bool mvInputMousePressed(unsigned button);

/** True when the button (one MV_MOUSE_* bit) went up since the previous
 * frame; false for anything but a single button bit. */
MV_API bool mvInputMouseReleased(unsigned button);

/** The number of gamepads plugged in. The "SDL" module finds them through
 * SDL's game-controller layer, which names the buttons of most controllers;
 * headless there are none unless replayed. */
MV_API int mvInputPadCount(void);

/** True while gamepad number pad (0 to MV_PAD_MAX - 1) is plugged in. */
MV_API bool mvInputPadConnected(int pad);

/** True while the button (MV_PAD_A...) of the gamepad is held; false for a
 * pad that is not plugged in or an unknown button. */
MV_API bool mvInputPadDown(int pad, int button);

/** True when the button went down since the previous frame. */
MV_API bool mvInputPadPressed(int pad, int button);

/** True when the button went up since the previous frame (also when its pad
 * was unplugged while it was held). */
MV_API bool mvInputPadReleased(int pad, int button);

/** The axis (MV_PAD_LEFTX...) of the gamepad: sticks -1..1, triggers 0..1,
 * 0 for a pad not plugged in or an unknown axis. Within MV_PAD_DEAD_ZONE
 * of rest it reads 0; beyond, the reading is stretched so that it still
 * runs continuously from 0 to 1 (or -1): (|v| - 0.15) / 0.85 with v's sign. */
MV_API float mvInputPadAxis(int pad, int axis);

/** Wheel movement since the previous frame: positive away from the user. */
MV_API float mvInputWheel(void);

/** The UTF-8 text typed since the previous frame; "" when none. Up to 1024
 * bytes a frame, cut at a whole character; the rest of that frame's text is
 * dropped. Valid until the next mvLoop. */
MV_API const char *mvInputText(void);

MV_EXTERN_C_END

#endif
