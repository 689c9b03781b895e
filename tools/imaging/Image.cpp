#include "Image.h"

#include <algorithm>
#include <cmath>

namespace img {

namespace {
uint8_t to8(float v) {
    v = std::clamp(v, 0.0f, 1.0f);
    return static_cast<uint8_t>(std::lround(v * 255.0f));
}
} // namespace

Color rgb(uint32_t hex, float alpha) {
    return {((hex >> 16) & 0xFF) / 255.0f, ((hex >> 8) & 0xFF) / 255.0f, (hex & 0xFF) / 255.0f, alpha};
}

Color mix(const Color& a, const Color& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Image::Image(int width, int height, Color fill)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * height_, fill) {}

void Image::blend(int x, int y, const Color& c, float coverage) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    float a = std::clamp(c.a * coverage, 0.0f, 1.0f);
    if (a <= 0.0f)
        return;
    Color& d = pixels_[index(x, y)];
    // Straight (non-premultiplied) source-over.
    float outA = a + d.a * (1.0f - a);
    if (outA <= 0.0f) {
        d = {};
        return;
    }
    d.r = (c.r * a + d.r * d.a * (1.0f - a)) / outA;
    d.g = (c.g * a + d.g * d.a * (1.0f - a)) / outA;
    d.b = (c.b * a + d.b * d.a * (1.0f - a)) / outA;
    d.a = outA;
}

void Image::draw(const Image& src, int x, int y) {
    for (int sy = 0; sy < src.height(); ++sy)
        for (int sx = 0; sx < src.width(); ++sx)
            blend(x + sx, y + sy, src.at(sx, sy));
}

Image Image::downsample(int factor) const {
    if (factor <= 1)
        return *this;
    Image out(width_ / factor, height_ / factor);
    const float n = static_cast<float>(factor * factor);
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            // Average with alpha weighting so transparent samples do not darken edges.
            float r = 0, g = 0, b = 0, a = 0;
            for (int j = 0; j < factor; ++j) {
                for (int i = 0; i < factor; ++i) {
                    const Color& c = at(x * factor + i, y * factor + j);
                    r += c.r * c.a;
                    g += c.g * c.a;
                    b += c.b * c.a;
                    a += c.a;
                }
            }
            Color& o = out.at(x, y);
            if (a > 0) {
                o = {r / a, g / a, b / a, a / n};
            }
        }
    }
    return out;
}

uint8_t Image::red8(int x, int y) const { return to8(at(x, y).r); }
uint8_t Image::green8(int x, int y) const { return to8(at(x, y).g); }
uint8_t Image::blue8(int x, int y) const { return to8(at(x, y).b); }
uint8_t Image::alpha8(int x, int y) const { return to8(at(x, y).a); }

} // namespace img
