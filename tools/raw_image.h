// Headerless ".raw" images (3 bytes per texel: red, green, blue, rows from the top), the
// texture files tests, benchmarks and content tools generate.
#pragma once

#include <filesystem>
#include <fstream>
#include <vector>

// Writes a square image of `size` texels; `colour(x, y)` gives 0xRRGGBB. False when the
// file cannot be written.
template <class F>
bool writeRawImage(const std::filesystem::path& path, int size, F colour) {
    std::vector<unsigned char> bytes;
    bytes.reserve(static_cast<size_t>(size) * static_cast<size_t>(size) * 3);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const unsigned rgb = colour(x, y);
            bytes.push_back(static_cast<unsigned char>(rgb >> 16));
            bytes.push_back(static_cast<unsigned char>(rgb >> 8));
            bytes.push_back(static_cast<unsigned char>(rgb));
        }
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}
