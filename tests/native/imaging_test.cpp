// The encoders are read back the way a reader of each format would read
// them; the shapes are checked for coverage where it must be full, none
// and partial.
#include "Encoders.h"
#include "Shapes.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

using namespace img;

namespace {

uint32_t le32(const Bytes& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t le16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
uint32_t be32(const Bytes& b, size_t at) {
    return (static_cast<uint32_t>(b[at]) << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

Image sample() {
    // 3 x 2: red, green, blue / white, black, half-transparent grey.
    Image im(3, 2);
    im.at(0, 0) = rgb(0xFF0000);
    im.at(1, 0) = rgb(0x00FF00);
    im.at(2, 0) = rgb(0x0000FF);
    im.at(0, 1) = rgb(0xFFFFFF);
    im.at(1, 1) = rgb(0x000000);
    im.at(2, 1) = rgb(0x808080, 0.5f);
    return im;
}

} // namespace

TEST(Bmp, HeaderRowsBottomUpAndPadding) {
    Bytes b = encodeBmp(sample(), rgb(0x000000));
    ASSERT_GE(b.size(), 54u);
    EXPECT_EQ('B', b[0]);
    EXPECT_EQ('M', b[1]);
    EXPECT_EQ(b.size(), le32(b, 2));
    EXPECT_EQ(54u, le32(b, 10));
    EXPECT_EQ(3u, le32(b, 18));
    EXPECT_EQ(2u, le32(b, 22));
    EXPECT_EQ(24, le16(b, 28));
    // 3 pixels x 3 bytes = 9, padded to 12 per row.
    EXPECT_EQ(54u + 24u, b.size());
    // First stored row is the bottom row: white, black, grey over black.
    const uint8_t* row0 = &b[54];
    EXPECT_EQ(0xFF, row0[0]);
    EXPECT_EQ(0x00, row0[3]);
    EXPECT_EQ(0x40, row0[6]) << "half-transparent 0x80 over black";
    EXPECT_EQ(0, row0[9] | row0[10] | row0[11]) << "padding bytes";
    // Second stored row is the top row, in BGR order: red is 00 00 FF.
    const uint8_t* row1 = &b[66];
    EXPECT_EQ(0x00, row1[0]);
    EXPECT_EQ(0xFF, row1[2]);
    EXPECT_EQ(0xFF, row1[4]);
    EXPECT_EQ(0xFF, row1[6]);
}

TEST(Ico, DirectoryPointsAtEachImage) {
    std::vector<Image> sizes{Image(16, 16, rgb(0x112233)), Image(32, 32, rgb(0x445566, 0.0f))};
    Bytes b = encodeIco(sizes);
    EXPECT_EQ(0, le16(b, 0));
    EXPECT_EQ(1, le16(b, 2));
    ASSERT_EQ(2, le16(b, 4));
    for (int i = 0; i < 2; ++i) {
        size_t e = 6 + 16 * i;
        int n = sizes[i].width();
        EXPECT_EQ(n, b[e]);
        EXPECT_EQ(32, le16(b, e + 6));
        uint32_t size = le32(b, e + 8), offset = le32(b, e + 12);
        ASSERT_LE(offset + size, b.size());
        EXPECT_EQ(40u, le32(b, offset));
        EXPECT_EQ(static_cast<uint32_t>(n), le32(b, offset + 4));
        EXPECT_EQ(static_cast<uint32_t>(2 * n), le32(b, offset + 8)) << "height counts the mask";
        uint32_t maskStride = ((n + 31) / 32) * 4;
        EXPECT_EQ(40u + n * n * 4 + maskStride * n, size);
        // The AND mask marks transparent pixels with 1.
        uint8_t firstMaskByte = b[offset + 40 + n * n * 4];
        EXPECT_EQ(i == 0 ? 0x00 : 0xFF, firstMaskByte);
    }
    EXPECT_EQ(0x33, b[le32(b, 6 + 12) + 40]) << "first pixel's blue";
}

TEST(Png, Crc32KnownValue) {
    const char* text = "123456789";
    EXPECT_EQ(0xCBF43926u, crc32(reinterpret_cast<const uint8_t*>(text), 9));
}

TEST(Png, InflatesBackToThePixels) {
    // Wide enough that the data needs several stored blocks.
    Image im(200, 120);
    for (int y = 0; y < im.height(); ++y)
        for (int x = 0; x < im.width(); ++x)
            im.at(x, y) = rgb(static_cast<uint32_t>((x * 7) << 16 | (y * 3) << 8 | ((x + y) & 0xFF)));
    Bytes b = encodePng(im);
    ASSERT_EQ(0, std::memcmp(b.data(), "\x89PNG\r\n\x1a\n", 8));
    size_t at = 8;
    Bytes idat;
    bool sawEnd = false;
    while (at + 12 <= b.size()) {
        uint32_t len = be32(b, at);
        std::string type(reinterpret_cast<const char*>(&b[at + 4]), 4);
        ASSERT_LE(at + 12 + len, b.size());
        EXPECT_EQ(crc32(&b[at + 4], len + 4), be32(b, at + 8 + len)) << type;
        if (type == "IHDR") {
            EXPECT_EQ(200u, be32(b, at + 8));
            EXPECT_EQ(120u, be32(b, at + 12));
        }
        if (type == "IDAT")
            idat.insert(idat.end(), b.begin() + at + 8, b.begin() + at + 8 + len);
        if (type == "IEND")
            sawEnd = true;
        at += 12 + len;
    }
    EXPECT_TRUE(sawEnd);
    Bytes raw(120 * (200 * 4 + 1));
    uLongf rawSize = raw.size();
    ASSERT_EQ(Z_OK, uncompress(raw.data(), &rawSize, idat.data(), idat.size()));
    ASSERT_EQ(raw.size(), rawSize);
    for (int y : {0, 57, 119}) {
        for (int x : {0, 13, 199}) {
            const uint8_t* p = &raw[y * (200 * 4 + 1) + 1 + x * 4];
            EXPECT_EQ(im.red8(x, y), p[0]) << x << "," << y;
            EXPECT_EQ(im.green8(x, y), p[1]);
            EXPECT_EQ(im.blue8(x, y), p[2]);
            EXPECT_EQ(255, p[3]);
        }
    }
}

TEST(Shapes, CoverageInsideOutsideAndOnTheEdge) {
    Image im(40, 40);
    fill(im, subtract(circle(20, 20, 15), circle(20, 20, 5)), rgb(0x000000));
    EXPECT_EQ(0, im.alpha8(20, 20)) << "hole cut by subtract";
    EXPECT_EQ(255, im.alpha8(20, 10)) << "inside the ring";
    EXPECT_EQ(0, im.alpha8(1, 1)) << "outside";
    // A pixel whose centre lies within half a pixel of the edge is partly covered.
    int partial = 0;
    for (int x = 0; x < 40; ++x)
        if (im.alpha8(x, 20) > 0 && im.alpha8(x, 20) < 255)
            ++partial;
    EXPECT_GE(partial, 2);
}

TEST(Image, DownsampleAveragesCoverage) {
    Image big(4, 4);
    big.at(0, 0) = rgb(0xFFFFFF);
    big.at(1, 1) = rgb(0xFFFFFF);
    Image small = big.downsample(2);
    ASSERT_EQ(2, small.width());
    EXPECT_NEAR(0.5f, small.at(0, 0).a, 1e-6);
    EXPECT_EQ(255, small.red8(0, 0)) << "transparent samples must not darken";
    EXPECT_EQ(0, small.alpha8(1, 1));
}
