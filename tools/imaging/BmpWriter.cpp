#include "ByteWriter.h"
#include "Encoders.h"

#include <cstdio>
#include <memory>

namespace img {

Bytes encodeBmp(const Image& image, Color background) {
    const int w = image.width(), h = image.height();
    const uint32_t stride = (static_cast<uint32_t>(w) * 3 + 3) & ~3u;
    const uint32_t pixelBytes = stride * static_cast<uint32_t>(h);
    Bytes b;
    b.reserve(54 + pixelBytes);
    // BITMAPFILEHEADER
    b.push_back('B');
    b.push_back('M');
    put32(b, 54 + pixelBytes);
    put32(b, 0);
    put32(b, 54);
    // BITMAPINFOHEADER
    put32(b, 40);
    put32(b, static_cast<uint32_t>(w));
    put32(b, static_cast<uint32_t>(h)); // positive: bottom-up
    put16(b, 1);
    put16(b, 24);
    put32(b, 0); // BI_RGB
    put32(b, pixelBytes);
    put32(b, 3780); // 96 dpi
    put32(b, 3780);
    put32(b, 0);
    put32(b, 0);
    for (int y = h - 1; y >= 0; --y) {
        Image row(w, 1, background);
        for (int x = 0; x < w; ++x)
            row.blend(x, 0, image.at(x, y));
        for (int x = 0; x < w; ++x) {
            b.push_back(row.blue8(x, 0));
            b.push_back(row.green8(x, 0));
            b.push_back(row.red8(x, 0));
        }
        for (uint32_t pad = static_cast<uint32_t>(w) * 3; pad < stride; ++pad)
            b.push_back(0);
    }
    return b;
}

bool writeFile(const std::string& path, const Bytes& bytes) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!f)
        return false;
    return std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
}

} // namespace img
