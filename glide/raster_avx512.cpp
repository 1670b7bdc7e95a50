// The rasteriser's per-instruction-set part (raster_build.cpp) compiled a third time, with
// AVX-512 (F, BW, DQ, VL) enabled: the AVX2 build's source, whose 256-bit steps the compiler
// encodes with the wider instruction set's registers and masks; no fused multiply-add (the
// library is compiled with -ffp-contract=off), so every result is the same. raster.cpp's
// entry points call it when chosen and the processor has it.
//
// Only GCC builds it (see raster_avx2.cpp).
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#pragma GCC target("avx2,avx512f,avx512bw,avx512dq,avx512vl")
#define GLIDE_RASTER_AVX2
#define GLIDE_RASTER_AVX512
#define GLIDE_RASTER_ISA avx512
#include "glide/raster_build.cpp"
#endif
