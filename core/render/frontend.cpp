// The renderer front end: records the drawing calls as commands and hands
// the list to the renderer at the end of a frame, before a read-back, before
// a texture goes, and whenever the list grows past a budget.
#include "core/render/frontend.h"

#include <atomic>
#include <cstdint>
#include <cstring>

#include "core/base/error.h"
#include "core/numeric/clamp.h"
#include "core/render/primitive.h"

namespace {

// Bytes of records the list holds at most before it is run mid-frame: a
// frame of 10,000 sprites takes half a megabyte.
constexpr size_t kListBudget = size_t(8) << 20;

uint32_t nopTextureCreate(void *, int, int) { return 0; }
void nopTextureUpdate(void *, uint32_t, int, int, int, int, const uint8_t *) {}
void nopTextureDestroy(void *, uint32_t) {}
void nopRun(void *, const MVCommandList *) {}
bool nopReadPixels(void *, uint8_t *, int, int) { return false; }
int nopMaxTextureSize(void *) { return 0; }
void nopDestroy(void *) {}

MVRenderer nullRenderer = {nullptr,     nopTextureCreate, nopTextureUpdate,  nopTextureDestroy,
                           nopRun,      nopReadPixels,    nopMaxTextureSize, nopDestroy};

const MVColor kWhite = {1.0f, 1.0f, 1.0f, 1.0f};

std::atomic<int> textureLimit{0};

}  // namespace

FrontEnd::FrontEnd(MVRenderer *r)
    : renderer_(r ? r : &nullRenderer), color_(kWhite), blend_(MV_BLEND_MODE_ALPHA), clear_{0.0f, 0.0f, 0.0f}, open_(false), mode_(0) {}

FrontEnd::~FrontEnd() {
    primitive_.release();
    commands_.release();
    vertices_.release();
    sprites_.release();
    colors_.release();
    bytes_.release();
}

MVRenderer *FrontEnd::install(MVRenderer *r) {
    submit();
    MVRenderer *previous = renderer_;
    renderer_ = r ? r : &nullRenderer;
    color_ = kWhite;
    blend_ = MV_BLEND_MODE_ALPHA;
    if (this == &frontEnd()) textureLimit.store(maxTextureSize(), std::memory_order_relaxed);
    return previous;
}

bool FrontEnd::record(const MVCommand &c) {
    end();
    if (!commands_.append(c)) {
        // No memory to hold it back: what is recorded runs now, then the command alone.
        run();
        runAlone(c, nullptr, nullptr);
        return false;
    }
    runWhenFull();
    return true;
}

void FrontEnd::runAlone(const MVCommand &c, const MVSprite *sprites, const MVColor *colors) {
    MVCommandList list = {&c, 1, nullptr, sprites, colors, nullptr};
    renderer_->run(renderer_->self, &list);
}

void FrontEnd::runWhenFull() {
    size_t held = vertices_.count * sizeof(MVDrawVertex) + sprites_.count * (sizeof(MVSprite) + sizeof(MVColor)) +
                  bytes_.count + commands_.count * sizeof(MVCommand);
    if (held > kListBudget) run();
}

void FrontEnd::begin(int mode) {
    end();
    open_ = drawModeKnown(mode);
    mode_ = mode;
    primitive_.clear();
}

void FrontEnd::vertex(float x, float y) {
    if (!open_ || primitive_.append({x, y, color_.r, color_.g, color_.b, color_.a})) return;
    // Without one of its vertices the shape would be put together wrongly:
    // none of it is drawn.
    open_ = false;
    primitive_.clear();
    setError("a shape was not drawn: out of memory for its vertices");
}

void FrontEnd::end() {
    if (!open_) return;
    open_ = false;
    // Strips, loops and fans give at most three vertices per vertex given.
    size_t first = vertices_.count, n = primitive_.count;
    if (n == 0) return;
    if (n > SIZE_MAX / 3 - first || !vertices_.reserve(first + 3 * n)) {
        run();  // what is recorded makes room for this one
        first = 0;
        if (n > SIZE_MAX / 3 || !vertices_.reserve(3 * n)) {
            setError("a shape was not drawn: out of memory for its vertices");
            return;
        }
    }
    MVDrawVertex *out = vertices_.items;
    size_t count = first;
    assemblePrimitive(
        mode_, primitive_.items, n, [&](const MVDrawVertex &v) { out[count++] = v; },
        [&](const MVDrawVertex &a, const MVDrawVertex &b) {
            out[count++] = a;
            out[count++] = b;
        },
        [&](const MVDrawVertex &a, const MVDrawVertex &b, const MVDrawVertex &c) {
            out[count++] = a;
            out[count++] = b;
            out[count++] = c;
        });
    MVCommand c;
    c.kind = MV_COMMAND_PRIMITIVE;
    c.primitive = {piecesOf(mode_), first, count - first};
    if (count == first) return;
    if (!commands_.append(c)) {
        // What came before runs first, then this primitive alone from where
        // its vertices lie.
        run();
        MVCommandList list = {&c, 1, vertices_.items, nullptr, nullptr, nullptr};
        renderer_->run(renderer_->self, &list);
        return;
    }
    vertices_.count = count;
    runWhenFull();
}

void FrontEnd::color(float r, float g, float b, float a) { color_ = {clamp01(r), clamp01(g), clamp01(b), clamp01(a)}; }

void FrontEnd::clearColor(float r, float g, float b) {
    clear_[0] = clamp01(r);
    clear_[1] = clamp01(g);
    clear_[2] = clamp01(b);
}

void FrontEnd::clear() {
    MVCommand c;
    c.kind = MV_COMMAND_CLEAR;
    c.clear = {clear_[0], clear_[1], clear_[2]};
    record(c);
}

void FrontEnd::sprites(uint32_t tex, const MVSprite *list, size_t count) {
    end();  // a primitive still open lies under the sprites
    if (!tex || !list || count == 0) return;
    MVCommand *last = commands_.count ? &commands_.items[commands_.count - 1] : nullptr;
    size_t before = sprites_.count;  // as many colours as sprites
    MVSprite *s = sprites_.extend(count);
    MVColor *k = s ? colors_.extend(count) : nullptr;
    if (k && (!last || last->kind != MV_COMMAND_SPRITES || last->sprites.texture != tex)) {
        MVCommand c;
        c.kind = MV_COMMAND_SPRITES;
        c.sprites = {tex, 1, before, 0};
        last = commands_.append(c) ? &commands_.items[commands_.count - 1] : nullptr;
        if (!last) k = nullptr;
    }
    if (!k) {
        // No memory to hold them back: what is recorded runs now, then these sprites.
        sprites_.count = colors_.count = before;
        run();
        MVCommand c;
        c.kind = MV_COMMAND_SPRITES;
        c.sprites = {tex, 1, 0, count};
        runAlone(c, list, &color_);
        return;
    }
    memcpy(s, list, count * sizeof(MVSprite));
    for (size_t i = 0; i < count; i++) k[i] = color_;
    if (last->sprites.oneColor && last->sprites.count > 0 &&
        memcmp(&colors_.items[last->sprites.first], &color_, sizeof color_) != 0)
        last->sprites.oneColor = 0;
    last->sprites.count += count;
    runWhenFull();
}

void FrontEnd::blend(uint32_t mode) {
    end();
    if (mode == blend_) return;
    blend_ = mode;
    MVCommand c;
    c.kind = MV_COMMAND_BLEND;
    c.blend = {mode};
    record(c);
}

void FrontEnd::target(uint32_t tex, int x, int y, int w, int h) {
    MVCommand c;
    c.kind = MV_COMMAND_TARGET;
    c.target = {tex, x, y, w, h};
    record(c);
}

uint32_t FrontEnd::textureCreate(int w, int h) { return renderer_->textureCreate(renderer_->self, w, h); }

void FrontEnd::textureUpdate(uint32_t tex, int x, int y, int w, int h, const uint8_t *rgba) {
    if (!tex || !rgba || w <= 0 || h <= 0) return;
    size_t size = static_cast<size_t>(w) * static_cast<size_t>(h) * 4;
    end();
    size_t offset = bytes_.count;
    uint8_t *copy = bytes_.extend(size);
    if (!copy) {
        // No room for a copy: what is recorded runs now, and the update with it.
        run();
        renderer_->textureUpdate(renderer_->self, tex, x, y, w, h, rgba);
        return;
    }
    memcpy(copy, rgba, size);
    MVCommand c;
    c.kind = MV_COMMAND_TEXTURE_UPDATE;
    c.update = {tex, x, y, w, h, offset};
    if (!commands_.append(c)) {
        bytes_.count = offset;
        run();
        renderer_->textureUpdate(renderer_->self, tex, x, y, w, h, rgba);
        return;
    }
    runWhenFull();
}

void FrontEnd::textureDestroy(uint32_t tex) {
    if (!tex) return;
    run();
    renderer_->textureDestroy(renderer_->self, tex);
}

int FrontEnd::maxTextureSize() { return renderer_->maxTextureSize(renderer_->self); }

MVCommandList FrontEnd::pending() const {
    return {commands_.items, commands_.count, vertices_.items, sprites_.items, colors_.items, bytes_.items};
}

void FrontEnd::run() {
    if (commands_.count) {
        MVCommandList list = pending();
        renderer_->run(renderer_->self, &list);
    }
    commands_.clear();
    vertices_.clear();
    sprites_.clear();
    colors_.clear();
    bytes_.clear();
    // A big texture upload is not kept for the frames after it.
    if (bytes_.capacity > kListBudget) bytes_.release();
}

void FrontEnd::submit() {
    end();
    run();
}

bool FrontEnd::readPixels(uint8_t *rgba, int w, int h) {
    submit();
    return renderer_->readPixels(renderer_->self, rgba, w, h);
}

void FrontEnd::resetState() {
    color_ = kWhite;
    blend(MV_BLEND_MODE_ALPHA);
    clear_[0] = clear_[1] = clear_[2] = 0.0f;
}

FrontEnd &frontEnd() {
    static FrontEnd drawing;
    return drawing;
}

int rendererTextureLimit() { return textureLimit.load(std::memory_order_relaxed); }
