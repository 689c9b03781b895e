#include "Icons.h"

#include "Palette.h"
#include "Pictograms.h"
#include "Shapes.h"

#include <cmath>
#include <functional>

using namespace img;

namespace skin {

namespace {

constexpr float kPi = 3.14159265358979f;
const int kSizes[] = {16, 24, 32, 48, 64};

using Painter = std::function<void(Image&, float n)>;

std::vector<Image> atAllSizes(const Painter& paint) {
    std::vector<Image> out;
    for (int n : kSizes) {
        Image im(n, n);
        paint(im, static_cast<float>(n));
        out.push_back(im);
    }
    return out;
}

void application(Image& im, float n) {
    Shape tile = roundRect(n * 0.03f, n * 0.03f, n * 0.97f, n * 0.97f, n * 0.2f);
    fill(im, tile, linear({0, 0}, teal(), {n, n}, navy()));
    // A wave across the tile's lower part.
    Shape swell{[n](float x, float y) { return (n * 0.72f + n * 0.05f * std::sin(x / n * 6.2831853f)) - y; },
                {0, n * 0.6f, n, n}};
    fill(im, intersect(swell, tile), rgb(0x2FA4B5, 0.55f));
    Grid g{n * 0.16f, n * 0.10f, n * 0.68f};
    fill(im, envelope(g), white());
    // The amber arrow of the conversion, under the envelope.
    float y = n * 0.80f;
    Shape shaft = segment(n * 0.24f, y, n * 0.66f, y, std::max(1.5f, n * 0.08f));
    Shape head = polygon({{n * 0.80f, y}, {n * 0.62f, y - n * 0.12f}, {n * 0.62f, y + n * 0.12f}});
    fill(im, unite(shaft, head), amber());
}

void viewLog(Image& im, float n) {
    Grid g{0, 0, n};
    fill(im, documentLines(g), linear({0, 0}, white(), {0, n}, rgb(0xD8E6EE)));
    // Outline so the white page reads on any face.
    fill(im, outline(documentLines(g), std::max(1.0f, n / 32.0f)), navy());
}

void support(Image& im, float n) {
    float c = n / 2, r = n * 0.40f, w = n * 0.22f;
    Shape ring = outline(circle(c, c, r), w);
    fill(im, ring, white());
    for (int q = 0; q < 4; ++q) {
        // A sector of 50 degrees round each diagonal; distance measured along the arc.
        float mid = kPi / 2 * q + kPi / 4, half = kPi * 50 / 360;
        Shape sector{[=](float x, float y) {
                         float a = std::atan2(y - c, x - c) - mid;
                         a = std::remainder(a, 2 * kPi);
                         return (std::fabs(a) - half) * std::hypot(x - c, y - c);
                     },
                     {0, 0, n, n}};
        fill(im, intersect(ring, sector), coral());
    }
    fill(im, outline(circle(c, c, r + w / 2), std::max(1.0f, n / 32.0f)), navy());
    fill(im, outline(circle(c, c, r - w / 2), std::max(1.0f, n / 32.0f)), navy());
}

void exitIcon(Image& im, float n) {
    Shape disc = circle(n / 2, n / 2, n * 0.47f);
    fill(im, disc, linear({0, 0}, rgb(0xE46A5E), {0, n}, rgb(0xB83227)));
    fill(im, powerSymbol(Grid{n * 0.18f, n * 0.16f, n * 0.64f}), white());
}

} // namespace

std::vector<IconArt> programIcons() {
    return {
        {"app.ico", atAllSizes(application)},
        {"viewlog.ico", atAllSizes(viewLog)},
        {"support.ico", atAllSizes(support)},
        {"exit.ico", atAllSizes(exitIcon)},
    };
}

} // namespace skin
