#include "ShadeFaces.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

BYTE mix(BYTE from, BYTE to, int step, int steps) { return static_cast<BYTE>(from + (to - from) * step / steps); }

RGBQUAD between(COLORREF a, COLORREF b, int step, int steps) {
    return RGBQUAD{mix(GetBValue(a), GetBValue(b), step, steps), mix(GetGValue(a), GetGValue(b), step, steps),
                   mix(GetRValue(a), GetRValue(b), step, steps), 0};
}

// An 8-bit DIB section with the palette; `bits` receives its rows (bottom-up,
// each padded to four bytes).
HBITMAP make(int width, int height, const std::array<RGBQUAD, 256>& colours, BYTE*& bits) {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info{};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biCompression = BI_RGB;
    info.header.biClrUsed = 256;
    std::copy(colours.begin(), colours.end(), info.colours);
    void* pixels = nullptr;
    HBITMAP bitmap =
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &pixels, nullptr, 0);
    bits = static_cast<BYTE*>(pixels);
    return bitmap;
}

int stride(int width) { return (width + 3) & ~3; }

} // namespace

std::array<RGBQUAD, 256> ShadeFaces::palette(COLORREF shadow, COLORREF face, COLORREF highlight) {
    std::array<RGBQUAD, 256> p{};
    for (int i = 0; i <= 128; ++i)
        p[static_cast<size_t>(i)] = between(shadow, face, i, 128);
    for (int i = 128; i < 256; ++i)
        p[static_cast<size_t>(i)] = between(face, highlight, i - 128, 127);
    return p;
}

SIZE ShadeFaces::size(Face face) const {
    BITMAP b{};
    if (!bitmaps[face] || !GetObjectW(bitmaps[face].get(), sizeof b, &b))
        return SIZE{0, 0};
    return SIZE{b.bmWidth, b.bmHeight};
}

void ShadeFaces::build(int width, int height, int border) {
    width = std::max(1, width);
    height = std::max(1, height);
    const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    const std::array<RGBQUAD, 256> normal =
        palette(GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNFACE), highlight);
    // The hover palette: each entry 10 % of the way to the highlight.
    std::array<RGBQUAD, 256> hover = normal;
    for (RGBQUAD& q : hover) {
        q.rgbRed = mix(q.rgbRed, GetRValue(highlight), 1, 10);
        q.rgbGreen = mix(q.rgbGreen, GetGValue(highlight), 1, 10);
        q.rgbBlue = mix(q.rgbBlue, GetBValue(highlight), 1, 10);
    }

    BYTE* face = nullptr;
    bitmaps[Normal].reset(make(width, height, normal, face));
    if (!face)
        return;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int noise = std::rand() % (2 * kNoise + 1) - kNoise;
            face[y * stride(width) + x] = static_cast<BYTE>(std::clamp(columnIndex(x, width) + noise, 0, 255));
        }
    const size_t faceBytes = static_cast<size_t>(stride(width)) * static_cast<size_t>(height);
    const struct {
        Face face;
        const std::array<RGBQUAD, 256>& colours;
    } copies[] = {{Disabled, normal}, {Hover, hover}, {Pressed, hover}};
    for (const auto& c : copies) {
        BYTE* bits = nullptr;
        bitmaps[c.face].reset(make(width, height, c.colours, bits));
        if (bits)
            std::copy(face, face + faceBytes, bits);
    }

    // The focus stripes: darkest and lightest entries by turns.
    const int across = std::max(1, width - 2 * border - 1), down = std::max(1, height - 2 * border);
    BYTE* bits = nullptr;
    bitmaps[FocusHorizontal].reset(make(across, 1, normal, bits));
    for (int x = 0; bits && x < across; ++x)
        bits[x] = x % 2 ? 255 : 0;
    bitmaps[FocusVertical].reset(make(1, down, normal, bits));
    for (int y = 0; bits && y < down; ++y)
        bits[y * stride(1)] = y % 2 ? 255 : 0;
}
