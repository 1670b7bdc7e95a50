// Test and tool access to the software board's insides: its buffers and the choice of
// pixel path. Not for the engine.
#pragma once

#include <cstdint>

#include "glide/glide.h"

// With `on`, every draw runs the generic pixel loop instead of the loop specialised for
// the current state (both must give identical pixels).
void boardUseGenericPath(bool on);

// The rasteriser is built up to three times: for baseline x86-64 (SSE2), for AVX2 and for
// AVX-512 (F, BW, DQ, VL); every build must give identical pixels. Automatic picks the widest
// build the processor runs. boardUseBuild() chooses the build later draws use and returns
// false (changing nothing) when the processor cannot run it; boardHasBuild() tells.
enum BoardBuild { kBoardBuildAutomatic, kBoardBuildBaseline, kBoardBuildAvx2, kBoardBuildAvx512 };
bool boardUseBuild(BoardBuild build);
bool boardHasBuild(BoardBuild build);

// boardUseBuild(on ? kBoardBuildBaseline : kBoardBuildAutomatic), and
// boardHasBuild(kBoardBuildAvx2).
void boardUseBaselinePath(bool on);
bool boardHasAvx2Path();

// With `on`, the board draws and clears nothing: grDrawPolygonVertexList only counts its
// fan triangles (as processed, not drawn) and grBufferClear returns at once. Benchmarks
// use it to time the engine's own work apart from the board's pixel work.
void boardSkipRasterisation(bool on);

// Worker threads that draw: 0 draws on the caller's thread; n >= 1 queues draws to n
// workers, each drawing its own interleaved bands of rows; a negative count returns to
// the default (HALCYON_BOARD_THREADS, else two workers). Overrides HALCYON_BOARD_THREADS;
// restarts the workers now when the display is open (after finishing queued drawing),
// otherwise at grSstWinOpen. boardDrawWorkers() tells how many are running.
void boardSetDrawWorkers(int workers);
int boardDrawWorkers();

// True when the current render state has a specialised pixel loop.
bool boardStateIsSpecialised();

// The frame buffer: size, row stride in pixels, and the buffers themselves
// (GR_BUFFER_FRONTBUFFER, GR_BUFFER_BACKBUFFER, or GR_BUFFER_AUXBUFFER for depth).
// Null before grSstWinOpen.
int boardWidth();
int boardHeight();
int boardStride();
const uint16_t* boardBuffer(GrBuffer_t buffer);
