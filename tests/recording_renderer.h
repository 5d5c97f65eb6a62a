// A renderer for tests that records the exact stream of drawing calls: the
// kind of each call and its arguments, floats kept as bit patterns.
// Header-only, so any test file can include it.
#ifndef MORVEN_TESTS_RECORDING_RENDERER_H
#define MORVEN_TESTS_RECORDING_RENDERER_H

#include <cstdint>
#include <ostream>
#include <vector>

#include "core/render/frontend.h"
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
inline DrawCall clearCall(float r = 0, float g = 0, float b = 0) {
    return {DrawCall::Clear, 0, {floatBits(r), floatBits(g), floatBits(b)}};
}

// The calls a renderer sees for the given drawing calls: each primitive cut
// into points (mode 0), lines (mode 1) or triangles (mode 4), pieces with a
// coordinate that is not finite left out, and in each the colour given only
// where it changes. Streams of that form are left as they are. A reference
// written apart from the front end's assembly, for the expected side of a test.
inline std::vector<DrawCall> pieces(const std::vector<DrawCall> &calls) {
    std::vector<DrawCall> out;
    std::vector<std::vector<uint32_t>> corners;  // x, y, r, g, b, a
    std::vector<uint32_t> colour = {floatBits(1), floatBits(1), floatBits(1), floatBits(1)};
    int mode = -1;
    auto finite = [](const std::vector<uint32_t> &v) {
        return (v[0] & 0x7F800000u) != 0x7F800000u && (v[1] & 0x7F800000u) != 0x7F800000u;
    };
    auto close = [&] {
        if (mode < 0) return;
        std::vector<std::vector<uint32_t>> kept;
        auto piece = [&](std::initializer_list<size_t> at) {
            for (size_t i : at)
                if (!finite(corners[i])) return;
            for (size_t i : at) kept.push_back(corners[i]);
        };
        size_t n = corners.size();
        switch (mode) {
        case 0: for (size_t i = 0; i < n; i++) piece({i}); break;
        case 1: for (size_t i = 0; i + 1 < n; i += 2) piece({i, i + 1}); break;
        case 2: case 3:
            for (size_t i = 0; i + 1 < n; i++) piece({i, i + 1});
            if (mode == 2 && n > 2) piece({n - 1, 0});
            break;
        case 4: for (size_t i = 0; i + 2 < n; i += 3) piece({i, i + 1, i + 2}); break;
        case 5: for (size_t i = 0; i + 2 < n; i++) piece({i, i + 1, i + 2}); break;
        case 6: for (size_t i = 1; i + 1 < n; i++) piece({0, i, i + 1}); break;
        }
        if (!kept.empty()) {
            out.push_back({DrawCall::Begin, mode == 0 ? 0 : mode <= 3 ? 1 : 4, {}});
            std::vector<uint32_t> last;
            for (const auto &v : kept) {
                std::vector<uint32_t> c(v.begin() + 2, v.end());
                if (c != last) out.push_back({DrawCall::Color, 0, c});
                last = c;
                out.push_back({DrawCall::Vertex, 0, {v[0], v[1]}});
            }
            out.push_back(endCall());
        }
        mode = -1;
        corners.clear();
    };
    for (const DrawCall &call : calls) {
        switch (call.kind) {
        case DrawCall::Begin: close(); mode = call.mode >= 0 && call.mode <= 6 ? call.mode : -1; break;
        case DrawCall::Color: colour = call.floats; break;
        case DrawCall::Vertex:
            if (mode >= 0) corners.push_back({call.floats[0], call.floats[1], colour[0], colour[1], colour[2], colour[3]});
            break;
        case DrawCall::End: close(); break;
        case DrawCall::Clear: close(); out.push_back(call); break;
        }
    }
    close();
    return out;
}
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

// Installs itself as the renderer of the drawing calls for its lifetime
// and restores the previous one when destroyed. It keeps the clears and
// primitives it runs as calls of the form pieces() gives; textures are not
// made.
class RecordingRenderer {
public:
    RecordingRenderer() {
        record_.self = this;
        record_.textureCreate = [](void *, int, int) -> uint32_t { return 0; };
        record_.textureUpdate = [](void *, uint32_t, int, int, int, int, const uint8_t *) {};
        record_.textureDestroy = [](void *, uint32_t) {};
        record_.run = [](void *self, const MVCommandList *list) { owner(self)->keep(*list); };
        record_.readPixels = [](void *, uint8_t *, int, int) { return false; };
        record_.maxTextureSize = [](void *) { return 0; };
        record_.destroy = [](void *) {};
        previous_ = frontEnd().install(&record_);
    }
    ~RecordingRenderer() { frontEnd().install(previous_); }
    RecordingRenderer(const RecordingRenderer &) = delete;
    RecordingRenderer &operator=(const RecordingRenderer &) = delete;

    // The calls so far, with what the front end holds (an open primitive is ended).
    std::vector<DrawCall> &calls() {
        frontEnd().submit();
        return calls_;
    }

private:
    static RecordingRenderer *owner(void *self) { return static_cast<RecordingRenderer *>(self); }

    void keep(const MVCommandList &list) {
        for (size_t i = 0; i < list.count; i++) {
            const MVCommand &c = list.commands[i];
            if (c.kind == MV_COMMAND_CLEAR) calls_.push_back(clearCall(c.clear.r, c.clear.g, c.clear.b));
            if (c.kind != MV_COMMAND_PRIMITIVE) continue;
            static const int modes[] = {0, 1, 4};
            calls_.push_back(beginCall(modes[c.primitive.pieces]));
            const MVDrawVertex *v = list.vertices + c.primitive.first;
            for (size_t k = 0; k < c.primitive.count; k++) {
                if (k == 0 || v[k].r != v[k - 1].r || v[k].g != v[k - 1].g || v[k].b != v[k - 1].b ||
                    v[k].a != v[k - 1].a)
                    calls_.push_back(colorCall(v[k].r, v[k].g, v[k].b, v[k].a));
                calls_.push_back(vertexCall(v[k].x, v[k].y));
            }
            calls_.push_back(endCall());
        }
    }

    MVRenderer record_;
    MVRenderer *previous_;
    std::vector<DrawCall> calls_;
};

#endif
