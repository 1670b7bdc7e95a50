// glide-testcard OUT.png: draws the software board's test card and writes the front buffer
// as an 8-bit RGB PNG (5-6-5 widened by bit replication).
#include <cstdio>
#include <cstring>
#include <vector>

#include "glide/glide.h"
#include "glide/testcard.h"
#include "tools/png_writer.h"

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("usage: glide-testcard OUT.png\n");
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') {
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
    if (!writePng(argv[1], kWidth, kHeight, pixels.data())) {
        std::fprintf(stderr, "glide-testcard: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
