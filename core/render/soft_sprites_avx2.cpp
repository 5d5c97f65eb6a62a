// The sprite rows of soft_sprites.cpp built again with AVX2 enabled, so that
// untinted and table-tinted rows go eight pixels at a time; the software
// renderer calls it where the processor has AVX2. Integer arithmetic and
// IEEE double steps as in the plain build: the pixels are the same.
#if defined(MORVEN_HAVE_AVX2_SPRITES)
#define MORVEN_SOFT_SPRITES_AVX2 1
#include "core/render/soft_sprites.cpp"

namespace {
// Asked once at start-up; the processor model is filled in first, as this
// may run before the compiler's runtime does it.
bool processorHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
bool useAvx2 = processorHasAvx2();
}  // namespace

bool softSpritesAvx2() { return useAvx2; }
void softSpritesUseAvx2(bool use) { useAvx2 = use && processorHasAvx2(); }
#endif
