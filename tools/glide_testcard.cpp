// glide-testcard OUT.png: draws the software board's test card and writes the front buffer
// as an 8-bit RGB PNG (5-6-5 widened by bit replication).
#include <png.h>

#include <cstdio>
#include <vector>

#include "glide/glide.h"
#include "glide/testcard.h"

namespace {

bool writePng(const char* path, int width, int height, const std::vector<uint16_t>& pixels) {
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint16_t p = pixels[size_t(y) * size_t(width) + size_t(x)];
            const int r5 = p >> 11, g6 = (p >> 5) & 63, b5 = p & 31;
            row[size_t(x) * 3 + 0] = png_byte((r5 << 3) | (r5 >> 2));
            row[size_t(x) * 3 + 1] = png_byte((g6 << 2) | (g6 >> 4));
            row[size_t(x) * 3 + 2] = png_byte((b5 << 3) | (b5 >> 2));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: glide-testcard OUT.png\n");
        return 2;
    }
    drawTestCard();
    constexpr int kWidth = 640, kHeight = 480;
    std::vector<uint16_t> pixels(size_t(kWidth) * kHeight);
    if (!grLfbReadRegion(GR_BUFFER_FRONTBUFFER, 0, 0, kWidth, kHeight, kWidth * 2, pixels.data())) {
        std::fprintf(stderr, "glide-testcard: cannot read the front buffer\n");
        return 1;
    }
    if (!writePng(argv[1], kWidth, kHeight, pixels)) {
        std::fprintf(stderr, "glide-testcard: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
