// The rasteriser's per-instruction-set part (raster_build.cpp) compiled again with AVX2
// enabled (three-operand and wider vector instructions, no fused multiply-add, so every
// result is the same). raster.cpp's entry points call it when the processor has AVX2.
//
// Only GCC builds it (clang has no `#pragma GCC target`); other compilers use the
// baseline build alone (see GLIDE_HAVE_AVX2_BUILD in raster.cpp).
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#pragma GCC target("avx2")
#define GLIDE_RASTER_AVX2
#define GLIDE_RASTER_ISA avx2
#include "glide/raster_build.cpp"
#endif
