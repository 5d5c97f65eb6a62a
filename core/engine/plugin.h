// The interface between the core and its run-time modules. A module is a
// shared object exporting one C function, MV_PLUGIN_ENTRY, that returns a
// record describing what it offers; parts it does not offer are null.
// Modules are built from this header and the core's renderer record only.
#ifndef MORVEN_CORE_ENGINE_PLUGIN_H
#define MORVEN_CORE_ENGINE_PLUGIN_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/render/renderer.h"

#define MV_PLUGIN_ENTRY "mvPluginEntry"
// 4: renderers run the front end's command lists (core/render/renderer.h).
// 5: image modules decode files in memory or open, within limits, and no
//    longer write PNG files.
constexpr uint32_t MV_PLUGIN_ABI = 6;

// Event bits returned by MVPluginPlatform::poll.
enum : unsigned { MV_PLATFORM_QUIT = 1u };

// Kinds of MVPlatformEvent.
enum : uint32_t {
    MV_PLATFORM_KEY_DOWN,    // key went down (not a repeat)
    MV_PLATFORM_KEY_UP,      // key went up
    MV_PLATFORM_MOUSE_MOVE,  // pointer moved to (x, y)
    MV_PLATFORM_MOUSE_DOWN,  // button went down (send a move first if the pointer moved)
    MV_PLATFORM_MOUSE_UP,    // button went up
    MV_PLATFORM_WHEEL,       // wheel turned by y steps, positive away from the user
    MV_PLATFORM_TEXT,        // UTF-8 text typed
    MV_PLATFORM_RESIZE,      // the window's drawable area is now x by y pixels
    MV_PLATFORM_PAD_ADDED,   // gamepad number key was plugged in
    MV_PLATFORM_PAD_REMOVED, // gamepad number key was unplugged
    MV_PLATFORM_PAD_DOWN,    // on gamepad key, button (an MV_PAD_* button) went down
    MV_PLATFORM_PAD_UP,      // ... went up
    MV_PLATFORM_PAD_AXIS     // on gamepad key, axis button (MV_PAD_AXIS_*) moved to x (-1..1)
};

// One keyboard, mouse, window or gamepad event, in the engine's terms
// (<morven/input.h>). Gamepads are numbered from 0 in the order they were
// plugged in; a number is not reused while the platform runs.
struct MVPlatformEvent {
    uint32_t kind;     // MV_PLATFORM_KEY_DOWN...
    int32_t key;       // key events: an MV_KEY_* code; gamepad events: the pad's number
    uint32_t button;   // button events: one MV_MOUSE_* bit; gamepad events: button or axis
    float x, y;        // moves: pointer position in window pixels; wheel: steps in y
    const char *text;  // text events: zero-terminated UTF-8, valid during the call
};

// Receives the events a poll finds, in the order they happened.
typedef void (*MVPlatformEventSink)(void *context, const MVPlatformEvent *event);

// Windows and events.
struct MVPluginPlatform {
    // Connects to the display; false when there is none, with the reason in
    // the plugin's error().
    bool (*init)();
    void (*quit)();
    // Opens a window, with an OpenGL context when gl is set. Null on failure.
    void *(*windowOpen)(int w, int h, bool gl);
    void (*windowClose)(void *window);
    void (*windowSetTitle)(void *window, const char *title);
    // Handles pending events, handing keyboard and mouse events to sink with
    // context; returns MV_PLATFORM_* bits.
    unsigned (*poll)(void *window, MVPlatformEventSink sink, void *context);
    // Shows the OpenGL back buffer.
    void (*swap)(void *window);
    // Shows an RGBA frame (top row first) in a window without OpenGL.
    void (*blit)(void *window, const uint8_t *rgba, int w, int h);
    // True when showing a frame waits for the display's refresh.
    bool (*vsync)(void *window);
    // Calls added within interface 3; the core checks each for null.
    // The character (Unicode) the key, an MV_KEY_* code by position, types
    // without modifiers in the current layout; 0 when the layout has none.
    uint32_t (*keyCharacter)(int key);
    // Lets the user resize the window, or not.
    void (*windowSetResizable)(void *window, bool resizable);
    // Makes the window fill the screen (at the desktop's size) or go back; false on failure.
    bool (*windowSetFullscreen)(void *window, bool fullscreen);
    // Asks presenting to wait for the display's refresh, or not; returns vsync's new answer.
    bool (*windowSetVSync)(void *window, bool on);
    // The window's drawable size in pixels.
    void (*windowGetSize)(void *window, int *w, int *h);
};

// Drawing with a graphics API whose context the platform made current.
struct MVPluginRenderer {
    // A renderer for a w x h window, or null when the context is unusable.
    MVRenderer *(*create)(int w, int h);
    // Added within interface 3; null in modules without them.
    // Draws a w x h frame from now on, into the window's bottom left corner
    // (which must be at least that large) when it is smaller than the window.
    void (*resize)(MVRenderer *renderer, int w, int h);
    // Before a swap: shows the frame scaled (nearest texel) into the
    // window's rectangle dx, dy, dw x dh (window pixels, origin top left)
    // and the rest of the windowW x windowH window black.
    void (*present)(MVRenderer *renderer, int windowW, int windowH, int dx, int dy, int dw, int dh);
};

// The largest image a decoder may return: at most maxSide pixels on a side
// and maxPixels pixels in all.
struct MVPluginImageLimits {
    int maxSide;
    int64_t maxPixels;
};

// Image files (interface version 5). Both calls return w x h RGBA rows (top
// first) in one block from malloc that the caller owns and frees with free,
// or null with the reason in the plugin's error(): an unsupported format
// (named), an image over the limits, a truncated or inconsistent file.
struct MVPluginImage {
    // An image file held in memory.
    uint8_t *(*decodeMemory)(const void *data, size_t size, const MVPluginImageLimits *limits, int *w, int *h);
    // An image file open for reading at its start; the caller closes it.
    uint8_t *(*decodeFile)(FILE *file, const MVPluginImageLimits *limits, int *w, int *h);
};

// One rasterised glyph: w x h coverage bytes (0 clear .. 255 covered) in
// rows `pitch` bytes apart, top row first; its top-left pixel lies `left`
// right of the pen and `top` above the baseline; the pen then moves
// `advance` pixels on. The coverage stays valid until the face's next call.
struct MVFontGlyph {
    int w, h, pitch;
    int left, top;
    int advance;
    const uint8_t *coverage;
};

// Outline fonts (the "Font" module). A face reads the caller's data, which
// must outlive it; sizes are whole pixels, so glyphs and advances are too.
struct MVPluginFont {
    // Opens the font in data at a size of `pixels` pixels per em; null when
    // the data is no font the module reads, with the reason in error().
    void *(*open)(const uint8_t *data, size_t size, int pixels);
    void (*close)(void *face);
    // Pixels from the baseline up to the top of the tallest glyph, and from
    // one baseline to the next.
    void (*lineMetrics)(void *face, int *ascent, int *lineHeight);
    // The face's glyph for a Unicode code point; 0 (the missing-glyph box) when it has none.
    uint32_t (*glyphIndex)(void *face, uint32_t codepoint);
    // Rasterises a glyph into *out; false when the glyph cannot be drawn.
    bool (*glyph)(void *face, uint32_t glyphIndex, MVFontGlyph *out);
    // Pixels the pen moves on between two glyphs beyond the first's advance
    // (negative: closer together); 0 when the face has no kerning.
    int (*kerning)(void *face, uint32_t left, uint32_t right);
};

// Mixes frames stereo frames (interleaved 32-bit floats) into out.
typedef void (*MVAudioRender)(void *context, float *out, int frames);

// An audio device the mixer plays through (the "SDL" module).
struct MVPluginAudio {
    // Opens the default output device for stereo 32-bit floats at rate
    // frames a second and starts it: render(context, ...) is then called on
    // the device's own thread for every block it plays. Null when there is
    // no device, with the reason in the plugin's error().
    void *(*open)(int rate, MVAudioRender render, void *context);
    // Stops and closes the device; render is not running nor called again
    // once this returns.
    void (*close)(void *device);
};

// Decoding and resampling sound files (the "Sound" module). Failures return
// null or -1 with the reason in the plugin's error().
struct MVPluginSoundFiles {
    // Decodes a whole file: the one at path or, with path null, the size
    // bytes at data. Gives *frames frames of *channels (1 or 2) interleaved
    // samples at rate, at most maxFrames of them; release them with release.
    float *(*decode)(const char *path, const void *data, size_t size, int rate, int maxFrames, int *frames,
                     int *channels);
    // Converts frames frames of channels interleaved samples from fromRate
    // to toRate: *outFrames of them, to be released with release.
    float *(*resample)(const float *samples, int frames, int channels, int fromRate, int toRate, int *outFrames);
    void (*release)(float *samples);
    // Streams the file at path at rate frames a second, in *channels (1 or 2).
    void *(*streamOpen)(const char *path, int rate, int *channels);
    // Up to frames frames into out; with loop the file's start follows its
    // end without a gap. 0 at the end, -1 on failure.
    int (*streamRead)(void *stream, float *out, int frames, bool loop);
    // Back to the start; false on failure.
    bool (*streamRewind)(void *stream);
    void (*streamClose)(void *stream);
};

struct MVPlugin {
    uint32_t abi;      // MV_PLUGIN_ABI of the module's build
    const char *name;  // the name it is loaded by
    const MVPluginPlatform *platform;
    const MVPluginRenderer *renderer;
    const MVPluginImage *image;
    // Why the module's last call failed, in a few words ("no display" when
    // init finds none); never null.
    const char *(*error)();
    const MVPluginAudio *audio;
    const MVPluginSoundFiles *soundFiles;
    const MVPluginFont *font;
};

typedef const MVPlugin *(*MVPluginEntryFunction)();

#endif
