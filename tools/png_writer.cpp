// PNG output of RGB565 frames.
#include "tools/png_writer.h"

#include <png.h>

void widenRow(const uint16_t* pixels, int width, uint8_t* rgb) {
    for (int x = 0; x < width; ++x) {
        const uint16_t p = pixels[x];
        const int r5 = p >> 11, g6 = (p >> 5) & 63, b5 = p & 31;
        rgb[3 * x + 0] = static_cast<uint8_t>((r5 << 3) | (r5 >> 2));
        rgb[3 * x + 1] = static_cast<uint8_t>((g6 << 2) | (g6 >> 4));
        rgb[3 * x + 2] = static_cast<uint8_t>((b5 << 3) | (b5 >> 2));
    }
}

bool writePng(std::FILE* file, int width, int height, const uint16_t* pixels) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        widenRow(pixels + size_t(y) * size_t(width), width, row.data());
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool writePng(const char* path, int width, int height, const uint16_t* pixels) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    const bool written = writePng(file, width, height, pixels);
    return std::fclose(file) == 0 && written;
}
