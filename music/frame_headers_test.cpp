// Tests of the stereo-bound rewrite on a stream cut into pieces.
#include "music/frame_headers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes fileBytes(const char* path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Passes `stream` through a clamp in pieces of `piece` bytes, the way the decoder feeds
// libmpg123: unsettled bytes come again in front of the next piece.
Bytes settleInPieces(const Bytes& stream, size_t piece, int* rewritten) {
    StereoBoundClamp clamp;
    Bytes settledBytes, pending;
    size_t position = 0;
    for (;;) {
        size_t take = std::min(piece, stream.size() - position);
        pending.insert(pending.end(), stream.begin() + static_cast<long>(position),
                       stream.begin() + static_cast<long>(position + take));
        position += take;
        bool ended = take == 0;
        size_t settled = clamp.settle(pending.data(), pending.size(), ended);
        EXPECT_LE(pending.size() - settled, StereoBoundClamp::kMaxHeldBack);
        settledBytes.insert(settledBytes.end(), pending.begin(),
                            pending.begin() + static_cast<long>(settled));
        pending.erase(pending.begin(), pending.begin() + static_cast<long>(settled));
        if (ended) break;
    }
    *rewritten = clamp.rewritten();
    return settledBytes;
}

TEST(StereoBoundClamp, RewritesTheSameHeadersHoweverTheStreamIsCut) {
    const Bytes above = fileBytes("music/testdata/layer2_bound_16.mp2");
    const Bytes atLimit = fileBytes("music/testdata/layer2_bound_8.mp2");
    const Bytes layer3 = fileBytes("music/testdata/stereo_32_frames.mp3");
    ASSERT_EQ(above.size(), 8u * 192);
    // Junk holding a lone Layer II header, and a tag holding two at a frame's distance:
    // neither is a frame of the stream.
    Bytes junk = {'j', 'u', 'n', 'k', 0xFF, 0xFD, 0x40, 0x70, 'j', 'u', 'n', 'k'};
    Bytes tag = {'I', 'D', '3', 3, 0, 0, 0, 0, 3, 0};  // 384 bytes follow
    Bytes tagBody(384, 0);
    for (size_t at : {0, 208}) std::copy(junk.begin() + 4, junk.begin() + 8, tagBody.begin() + at);
    Bytes trailer(128, 'T');
    const Bytes stream = join({junk, tag, tagBody, above, layer3, above, trailer});
    const Bytes expected = join({junk, tag, tagBody, atLimit, layer3, atLimit, trailer});

    for (size_t piece :
         {size_t{1}, size_t{3}, size_t{191}, size_t{193}, size_t{4096}, stream.size()}) {
        SCOPED_TRACE(piece);
        int rewritten = 0;
        Bytes settled = settleInPieces(stream, piece, &rewritten);
        EXPECT_EQ(rewritten, 16);
        ASSERT_EQ(settled.size(), expected.size());
        EXPECT_TRUE(settled == expected);
    }
}

}  // namespace
