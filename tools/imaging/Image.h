// An RGBA raster with source-over blending; colours are 0..1 floats.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace img {

struct Color {
    float r = 0, g = 0, b = 0, a = 0;
};

// 0xRRGGBB with an opacity.
Color rgb(uint32_t hex, float alpha = 1.0f);
// Linear interpolation from a (t = 0) to b (t = 1), alpha included.
Color mix(const Color& a, const Color& b, float t);

class Image {
public:
    Image() = default;
    Image(int width, int height, Color fill = {});

    int width() const { return width_; }
    int height() const { return height_; }
    const Color& at(int x, int y) const { return pixels_[index(x, y)]; }
    Color& at(int x, int y) { return pixels_[index(x, y)]; }

    // Paints colour c over the pixel with the given coverage (0..1).
    void blend(int x, int y, const Color& c, float coverage = 1.0f);
    // Paints src over this image with its top-left corner at (x, y).
    void draw(const Image& src, int x, int y);
    // Box-filtered reduction by an integer factor (supersampled drawing).
    Image downsample(int factor) const;

    // 8-bit channels, premultiplication undone, for the encoders.
    uint8_t red8(int x, int y) const;
    uint8_t green8(int x, int y) const;
    uint8_t blue8(int x, int y) const;
    uint8_t alpha8(int x, int y) const;

private:
    size_t index(int x, int y) const { return static_cast<size_t>(y) * width_ + x; }
    int width_ = 0;
    int height_ = 0;
    std::vector<Color> pixels_;
};

} // namespace img
