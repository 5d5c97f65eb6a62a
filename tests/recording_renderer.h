// A renderer for tests that records the exact stream of drawing calls: the
// kind of each call and its arguments, floats kept as bit patterns.
// Header-only, so any test file can include it.
#ifndef MORVEN_TESTS_RECORDING_RENDERER_H
#define MORVEN_TESTS_RECORDING_RENDERER_H

#include <cstdint>
#include <ostream>
#include <vector>

#include "core/render/renderer.h"
#include "float_bits.h"

struct DrawCall {
    enum Kind { Begin, Vertex, Color, End, Clear } kind;
    int mode;                      // Begin only
    std::vector<uint32_t> floats;  // Vertex: x, y; Color: r, g, b, a (bit patterns)

    bool operator==(const DrawCall &other) const {
        return kind == other.kind && mode == other.mode && floats == other.floats;
    }
};

inline DrawCall beginCall(int mode) { return {DrawCall::Begin, mode, {}}; }
inline DrawCall vertexCall(float x, float y) { return {DrawCall::Vertex, 0, {floatBits(x), floatBits(y)}}; }
inline DrawCall colorCall(float r, float g, float b, float a) {
    return {DrawCall::Color, 0, {floatBits(r), floatBits(g), floatBits(b), floatBits(a)}};
}
inline DrawCall endCall() { return {DrawCall::End, 0, {}}; }
inline DrawCall clearCall() { return {DrawCall::Clear, 0, {}}; }

inline std::ostream &operator<<(std::ostream &out, const DrawCall &call) {
    static const char *const names[] = {"Begin", "Vertex", "Color", "End", "Clear"};
    out << names[call.kind] << "(";
    if (call.kind == DrawCall::Begin) out << call.mode;
    for (size_t i = 0; i < call.floats.size(); i++) {
        out << (i ? ", " : "") << floatFromBits(call.floats[i]) << " [0x" << std::hex << call.floats[i]
            << std::dec << "]";
    }
    return out << ")";
}

// Installs itself as the engine's renderer for its lifetime and restores the
// previous one when destroyed. Texture calls go to the do-nothing renderer.
class RecordingRenderer {
public:
    RecordingRenderer() {
        // Start from the do-nothing renderer so members this recorder does not
        // know about stay harmless.
        MVRenderer *installed = mvCoreSetRenderer(nullptr);
        record_ = *mvCoreRenderer();
        mvCoreSetRenderer(installed);
        record_.self = this;
        record_.begin = [](void *self, int mode) { owner(self)->calls.push_back(beginCall(mode)); };
        record_.vertex = [](void *self, float x, float y) { owner(self)->calls.push_back(vertexCall(x, y)); };
        record_.color = [](void *self, float r, float g, float b, float a) {
            owner(self)->calls.push_back(colorCall(r, g, b, a));
        };
        record_.end = [](void *self) { owner(self)->calls.push_back(endCall()); };
        record_.clear = [](void *self) { owner(self)->calls.push_back(clearCall()); };
        previous_ = mvCoreSetRenderer(&record_);
    }
    ~RecordingRenderer() { mvCoreSetRenderer(previous_); }
    RecordingRenderer(const RecordingRenderer &) = delete;
    RecordingRenderer &operator=(const RecordingRenderer &) = delete;

    std::vector<DrawCall> calls;

private:
    static RecordingRenderer *owner(void *self) { return static_cast<RecordingRenderer *>(self); }

    MVRenderer record_;
    MVRenderer *previous_;
};

#endif
