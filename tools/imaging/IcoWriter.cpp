#include "ByteWriter.h"
#include "Encoders.h"

namespace img {

namespace {

// One icon image as a DIB: BITMAPINFOHEADER (height doubled for the mask),
// 32-bit BGRA rows bottom-up, then the AND mask rows (1 = transparent).
Bytes iconDib(const Image& im) {
    const int n = im.width();
    Bytes b;
    put32(b, 40);
    put32(b, static_cast<uint32_t>(n));
    put32(b, static_cast<uint32_t>(n * 2));
    put16(b, 1);
    put16(b, 32);
    put32(b, 0);
    const uint32_t maskStride = ((static_cast<uint32_t>(n) + 31) / 32) * 4;
    put32(b, static_cast<uint32_t>(n * n * 4) + maskStride * n);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    for (int y = n - 1; y >= 0; --y) {
        for (int x = 0; x < n; ++x) {
            b.push_back(im.blue8(x, y));
            b.push_back(im.green8(x, y));
            b.push_back(im.red8(x, y));
            b.push_back(im.alpha8(x, y));
        }
    }
    for (int y = n - 1; y >= 0; --y) {
        Bytes row(maskStride, 0);
        for (int x = 0; x < n; ++x)
            if (im.alpha8(x, y) < 128)
                row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

} // namespace

Bytes encodeIco(const std::vector<Image>& sizes) {
    std::vector<Bytes> dibs;
    for (const Image& im : sizes)
        dibs.push_back(iconDib(im));
    Bytes b;
    put16(b, 0);
    put16(b, 1); // icon
    put16(b, static_cast<uint32_t>(sizes.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        const int n = sizes[i].width();
        b.push_back(static_cast<uint8_t>(n >= 256 ? 0 : n));
        b.push_back(static_cast<uint8_t>(n >= 256 ? 0 : n));
        b.push_back(0); // no palette
        b.push_back(0);
        put16(b, 1);  // planes
        put16(b, 32); // bits per pixel
        put32(b, static_cast<uint32_t>(dibs[i].size()));
        put32(b, offset);
        offset += static_cast<uint32_t>(dibs[i].size());
    }
    for (const Bytes& d : dibs)
        b.insert(b.end(), d.begin(), d.end());
    return b;
}

} // namespace img
