// The interface between the core and its run-time modules. A module is a
// shared object exporting one C function, MV_PLUGIN_ENTRY, that returns a
// record describing what it offers; parts it does not offer are null.
// Modules are built from this header and the core's renderer record only.
#ifndef MORVEN_CORE_ENGINE_PLUGIN_H
#define MORVEN_CORE_ENGINE_PLUGIN_H

#include <cstddef>
#include <cstdint>

#include "core/render/renderer.h"

#define MV_PLUGIN_ENTRY "mvPluginEntry"
// 4: renderers run the front end's command lists (core/render/renderer.h).
constexpr uint32_t MV_PLUGIN_ABI = 4;

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
    MV_PLATFORM_TEXT         // UTF-8 text typed
};

// One keyboard or mouse event, in the engine's terms (<morven/input.h>).
struct MVPlatformEvent {
    uint32_t kind;     // MV_PLATFORM_KEY_DOWN...
    int32_t key;       // key events: an MV_KEY_* code
    uint32_t button;   // button events: one MV_MOUSE_* bit
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
};

// Drawing with a graphics API whose context the platform made current.
struct MVPluginRenderer {
    // A renderer for a w x h window, or null when the context is unusable.
    MVRenderer *(*create)(int w, int h);
};

// Image files.
struct MVPluginImage {
    // Decodes a file to RGBA rows (top first); release the result with release.
    uint8_t *(*decode)(const char *path, int *w, int *h);
    void (*release)(uint8_t *pixels);
    // Writes RGBA rows (top first) as a PNG file.
    bool (*writePng)(const char *path, const uint8_t *rgba, int w, int h);
};

// Parts added in interface version 3; each is defined where its module's
// part of this header describes it.
struct MVPluginFont;  // rasterising glyphs of outline fonts

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
