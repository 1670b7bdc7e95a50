// Writing 640x480-style RGB565 frames as 8-bit RGB PNG files (5-6-5 widened by bit
// replication), for the test card, offline rendering and golden images.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

// Widens one RGB565 row into 8-bit RGB triples.
void widenRow(const uint16_t* pixels, int width, uint8_t* rgb);

// Writes `pixels` (`width` x `height`, rows packed) to `file` / `path`. False on failure.
bool writePng(std::FILE* file, int width, int height, const uint16_t* pixels);
bool writePng(const char* path, int width, int height, const uint16_t* pixels);
