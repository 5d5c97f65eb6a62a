// Fuzzes gradient and trail edits, samples and draws against reference
// models kept here. Each operation is an opcode byte and its arguments; an
// opcode may also make one of the allocations of its operation fail (malloc
// and realloc are wrapped for this target). After every operation the
// records must agree with the models bit for bit, the counts with the arrays'
// real sizes, and a trail with its bound.
#include <morven/gradient.h>
#include <morven/trail.h>
#include <sanitizer/allocator_interface.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <limits>
#include <vector>

#include "float_bits.h"
#include "fuzz_check.h"
#include "recording_renderer.h"

extern "C" void *__real_malloc(size_t size);
extern "C" void *__real_realloc(void *p, size_t size);

namespace {

// Allocation refusal: while armed, the allocation with index `refuseAt`
// (counted from the start of the operation) fails. Resizes to zero bytes are
// neither counted nor refused.
bool armed = false;
long refuseAt = -1;
long allocations = 0;

bool refuse() {
    if (!armed) return false;
    return allocations++ == refuseAt;
}

struct Input {
    const uint8_t *data;
    size_t size;
    size_t pos = 0;
    bool more() const { return pos < size; }
    uint8_t byte() { return pos < size ? data[pos++] : 0; }
    template <class T>
    T raw() {
        T v{};
        size_t n = size - pos < sizeof v ? size - pos : sizeof v;
        std::memcpy(&v, data + pos, n);
        pos += n;
        return v;
    }
    // Mostly values from a table of awkward ones, sometimes any bit pattern.
    float number() {
        static const float table[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 0.25f, 2.0f, 3.0f, 1.5f, 0.75f, -0.5f,
                                      10.0f, 100.0f, 0.1f, 1e-45f, -1e-45f, 1.17549435e-38f, 1e30f, -1e30f,
                                      std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                                      std::numeric_limits<float>::infinity(),
                                      -std::numeric_limits<float>::infinity(), floatFromBits(0x7FC00000u),
                                      floatFromBits(0xFFC00000u), floatFromBits(0x7F800001u),
                                      floatFromBits(0x7FC12345u), 0.99999994f, 1.00000012f, 4.0f, 5.0f, 7.0f};
        uint8_t b = byte();
        if (b >= 0xE0) return floatFromBits(raw<uint32_t>());
        return table[b % (sizeof table / sizeof table[0])];
    }
    uint64_t index() {
        uint8_t b = byte();
        if (b == 0xFF) return raw<uint64_t>();
        return b % 20;
    }
};

bool sameValue(float expected, float actual) {
    if (std::isnan(expected)) return std::isnan(actual);
    return floatBits(expected) == floatBits(actual);
}

size_t blockSize(const void *p) { return p ? __sanitizer_get_allocated_size(p) : 0; }

// ---- Gradient reference ----

struct Stop {
    float key, value;
};

struct GradientModel {
    std::vector<Stop> stops;
    MVGradientInterpFunction interp = _mvGradientInterpLinear;
};

MVGradient *customSeen = nullptr;
uint32_t customX = 0;
int customCalls = 0;

float custom(MVGradient *g, float x) {
    customSeen = g;
    customX = floatBits(x);
    customCalls++;
    return static_cast<float>(g->numvals) * 0.5f - x;
}

long findMin(const std::vector<Stop> &stops, float x) {
    for (size_t i = 0; i < stops.size(); i++) {
        if (stops[i].key == x) return long(i);
        if (stops[i].key > x) return long(i) - 1;
    }
    return long(stops.size()) - 1;
}

float sample(const GradientModel &m, float x) {
    const std::vector<Stop> &s = m.stops;
    long i = findMin(s, x);
    if (i < 0) return s.empty() ? 0.0f : s[0].value;
    if (size_t(i) + 1 == s.size()) return s[i].value;
    float y1 = s[i].value, y2 = s[i + 1].value;
    float t = (x - s[i].key) / (s[i + 1].key - s[i].key);
    if (m.interp == _mvGradientInterpNearest) return t < 0.5f ? y1 : y2;
    if (m.interp == _mvGradientInterpLinear) return (y2 - y1) * t + y1;
    if (m.interp == _mvGradientInterpCosine) {
        double c = std::cos(static_cast<double>(t) * 3.141592653589793);
        float w = static_cast<float>((1.0 - c) * 0.5);
        return w * (y2 - y1) + y1;
    }
    float y0 = i > 0 ? s[i - 1].value : y1;
    float y3 = size_t(i) + 2 < s.size() ? s[i + 2].value : y2;
    float a0 = (y3 - y2) - (y0 - y1);
    float a1 = (y0 - y1) - a0;
    float a2 = y2 - y0;
    float a3 = y1;
    return ((a0 * t * t * t + a1 * t * t) + a2 * t) + a3;
}

void checkGradient(const MVGradient *g, const GradientModel &m) {
    FUZZ_CHECK(g->numvals == m.stops.size());
    FUZZ_CHECK(g->interp == m.interp);
    FUZZ_CHECK(blockSize(g->vals) == m.stops.size() * sizeof(MVVec2));
    FUZZ_CHECK(m.stops.empty() || g->vals);
    // Keys that are not NaN stay in strictly increasing order, NaN keys between them or not.
    const MVVec2 *lastKey = nullptr;
    for (size_t i = 0; i < m.stops.size(); i++) {
        FUZZ_CHECK(floatBits(g->vals[i].x) == floatBits(m.stops[i].key));
        FUZZ_CHECK(floatBits(g->vals[i].y) == floatBits(m.stops[i].value));
        if (std::isnan(g->vals[i].x)) continue;
        if (lastKey) FUZZ_CHECK(lastKey->x < g->vals[i].x);
        lastKey = &g->vals[i];
    }
}

void checkSample(MVGradient *g, const GradientModel &m, float x) {
    MVVec2 *found = _mvGradientFindMin(g, x);
    long i = findMin(m.stops, x);
    FUZZ_CHECK(found == (i < 0 ? nullptr : g->vals + i));
    if (m.interp == custom) {
        customCalls = 0;
        float expected = custom(g, x);
        customCalls = 0;
        customSeen = nullptr;
        FUZZ_CHECK(floatBits(mvGradientGetValue(g, x)) == floatBits(expected));
        FUZZ_CHECK(customCalls == 1 && customSeen == g && customX == floatBits(x));
        return;
    }
    FUZZ_CHECK(sameValue(sample(m, x), mvGradientGetValue(g, x)));
}

// ---- Trail reference ----

struct Entry {
    float x, y;
    bool isBreak() const { return std::isnan(x) || std::isnan(y); }
};

struct TrailModel {
    std::deque<Entry> entries;
    uint32_t maxpoints = 0;
    bool exact = true;  // no shrink refused yet: blocks are sized exactly
};

void checkTrail(const MVTrail *t, const TrailModel &m) {
    FUZZ_CHECK(t->numpoints == m.entries.size());
    FUZZ_CHECK(t->maxpoints == m.maxpoints);
    FUZZ_CHECK(m.maxpoints == 0 || t->numpoints <= m.maxpoints);
    size_t bytes = m.entries.size() * sizeof(float);
    FUZZ_CHECK(blockSize(t->xpoints) >= bytes && blockSize(t->ypoints) >= bytes);
    if (m.exact) FUZZ_CHECK(blockSize(t->xpoints) == bytes && blockSize(t->ypoints) == bytes);
    for (size_t i = 0; i < m.entries.size(); i++) {
        FUZZ_CHECK(floatBits(t->xpoints[i]) == floatBits(m.entries[i].x));
        FUZZ_CHECK(floatBits(t->ypoints[i]) == floatBits(m.entries[i].y));
    }
}

std::vector<DrawCall> drawModel(TrailModel &m) {
    std::vector<DrawCall> calls;
    if (m.entries.empty()) return calls;
    if (m.entries.front().isBreak()) m.entries.pop_front();
    size_t n = m.entries.size();
    if (n == 0) return calls;
    calls.push_back(beginCall(3));
    for (size_t i = 0; i < n; i++) {
        if (m.entries[i].isBreak()) {
            calls.push_back(endCall());
            calls.push_back(beginCall(3));
            continue;
        }
        float alpha = n == 1 ? 1.0f : static_cast<float>(uint32_t(i)) / static_cast<float>(uint32_t(n - 1));
        calls.push_back(colorCall(1.0f, 1.0f, 1.0f, alpha));
        calls.push_back(vertexCall(m.entries[i].x, m.entries[i].y));
    }
    calls.push_back(endCall());
    return calls;
}

void append(MVTrail *t, TrailModel &m, Entry e, bool asBreak) {
    if (asBreak)
        mvTrailAddBreak(t);
    else
        mvTrailAddPoint2f(t, e.x, e.y);
    // The two growths come first; refusing either drops the append.
    bool dropped = armed && (refuseAt == 0 || refuseAt == 1) && allocations > refuseAt;
    if (!dropped) {
        m.entries.push_back(e);
        if (m.maxpoints && m.entries.size() > m.maxpoints) m.entries.pop_front();
    }
}

}  // namespace

extern "C" void *__wrap_malloc(size_t size) { return refuse() ? nullptr : __real_malloc(size); }

extern "C" void *__wrap_realloc(void *p, size_t size) {
    if (size == 0) return __real_realloc(p, size);
    return refuse() ? nullptr : __real_realloc(p, size);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Input in{data, size};
    GradientModel gm;
    MVGradient *g = mvGradientCreate();
    gm.stops = {{0.0f, 0.0f}, {1.0f, 1.0f}};
    TrailModel tm;
    tm.maxpoints = in.byte() % 9;
    MVTrail *t = mvTrailCreate(tm.maxpoints);
    RecordingRenderer recorder;

    while (in.more()) {
        uint8_t op = in.byte();
        // Bit 6 arms a refusal of allocation (op >> 4) & 3 of this operation.
        armed = op & 0x40;
        refuseAt = (op >> 4) & 3;
        allocations = 0;
        bool gradientOp = (op & 15) < 8;
        if (gradientOp && !g && (op & 15) != 7) {
            armed = false;
            continue;
        }
        switch (op & 15) {
        case 0: {
            float key = in.number(), value = in.number();
            mvGradientSetStopKey(g, key, value);
            long i = findMin(gm.stops, key);
            if (i >= 0 && gm.stops[i].key == key) {
                FUZZ_CHECK(allocations == 0);
                gm.stops[i].value = value;
            } else if (!(armed && refuseAt == 0)) {
                gm.stops.insert(gm.stops.begin() + (i + 1), Stop{key, value});
            }
            break;
        }
        case 1: {
            uint64_t index = in.index();
            float value = in.number();
            mvGradientSetStopIndex(g, index, value);
            if (index < gm.stops.size()) gm.stops[index].value = value;
            break;
        }
        case 2:
        case 3: {
            long i;
            if ((op & 15) == 2) {
                uint64_t index = in.index();
                mvGradientRemoveStopIndex(g, index);
                i = index < gm.stops.size() ? long(index) : -1;
            } else {
                float key = in.number();
                mvGradientRemoveStopKey(g, key);
                i = findMin(gm.stops, key);
                if (i >= 0 && !(gm.stops[i].key == key)) i = -1;
            }
            // Shrinking to no stops cannot be refused; any other refused shrink changes nothing.
            bool refused = armed && refuseAt == 0 && gm.stops.size() > 1;
            if (i >= 0 && !refused) gm.stops.erase(gm.stops.begin() + i);
            break;
        }
        case 4: {
            int32_t mode = static_cast<int8_t>(in.byte()) % 6;
            mvGradientSetInterp(g, mode);
            static const MVGradientInterpFunction builtins[] = {_mvGradientInterpNearest, _mvGradientInterpLinear,
                                                                _mvGradientInterpCosine, _mvGradientInterpCubic};
            if (mode >= 0 && mode < 4) gm.interp = builtins[mode];
            break;
        }
        case 5: {
            bool own = in.byte() & 1;
            mvGradientSetInterpFunc(g, own ? custom : nullptr);
            gm.interp = own ? custom : _mvGradientInterpLinear;
            break;
        }
        case 6:
            checkSample(g, gm, in.number());
            break;
        case 7:
            if (!g) {
                // Creation: two allocations, either of which may be refused.
                g = mvGradientCreate();
                bool refused = armed && refuseAt < 2;
                FUZZ_CHECK((g == nullptr) == refused);
                gm = GradientModel();
                gm.stops = {{0.0f, 0.0f}, {1.0f, 1.0f}};
                break;
            }
            // Samples on, between and around every stop.
            armed = false;
            for (size_t i = 0; i < gm.stops.size(); i++) {
                float k = gm.stops[i].key;
                checkSample(g, gm, k);
                checkSample(g, gm, std::nextafter(k, -INFINITY));
                if (i + 1 < gm.stops.size()) checkSample(g, gm, k + (gm.stops[i + 1].key - k) * 0.3f);
            }
            if (op & 0x80) {
                mvGradientDestroy(g);
                g = nullptr;
            }
            break;
        case 8:
        case 14:
        case 15: {
            Entry e{in.number(), in.number()};
            append(t, tm, e, false);
            break;
        }
        case 9:
            append(t, tm, {floatFromBits(0x7FC00000u), floatFromBits(0x7FC00000u)}, true);
            break;
        case 10:
            mvTrailPopPoint(t);
            if (!tm.entries.empty()) tm.entries.pop_front();
            break;
        case 11: {
            // The draw records into the front end, whose own allocation
            // failures its tests cover; here the trail's calls are compared.
            armed = false;
            recorder.calls().clear();
            mvTrailDraw(t);
            std::vector<DrawCall> expected = drawModel(tm);
            FUZZ_CHECK(recorder.calls() == pieces(expected));
            break;
        }
        case 12: {
            mvTrailDestroy(t);
            tm = TrailModel();
            tm.maxpoints = in.byte() % 9;
            t = mvTrailCreate(tm.maxpoints);
            FUZZ_CHECK((t == nullptr) == (armed && refuseAt == 0));
            if (!t) t = mvTrailCreate(tm.maxpoints);  // the one refusal is spent
            break;
        }
        default: {
            // A null trail is ignored everywhere.
            mvTrailAddPoint2f(nullptr, 1.0f, 2.0f);
            mvTrailAddBreak(nullptr);
            mvTrailPopPoint(nullptr);
            recorder.calls().clear();
            mvTrailDraw(nullptr);
            FUZZ_CHECK(recorder.calls().empty());
            break;
        }
        }
        // Any refusal that actually hit a trail operation may leave larger blocks.
        if (!gradientOp && armed && allocations > refuseAt) tm.exact = false;
        armed = false;
        if (g) checkGradient(g, gm);
        checkTrail(t, tm);
    }
    mvGradientDestroy(g);
    mvTrailDestroy(t);
    return 0;
}
