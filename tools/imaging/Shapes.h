// Anti-aliased shapes described by signed distance: negative inside,
// positive outside, in pixels. Filling gives each pixel the coverage
// clamp(0.5 - distance, 0, 1), which is a one-pixel soft edge.
#pragma once
#include "Image.h"

#include <functional>
#include <vector>

namespace img {

struct Point {
    float x, y;
};

struct Box {
    float x0, y0, x1, y1;
};

struct Shape {
    std::function<float(float, float)> distance;
    Box bounds;
};

Shape circle(float cx, float cy, float r);
Shape ellipse(float cx, float cy, float rx, float ry);
Shape roundRect(float x0, float y0, float x1, float y1, float radius);
// A stroke of the given width along a straight segment, round caps.
Shape segment(float x0, float y0, float x1, float y1, float width);
// A closed polygon (any simple outline, points in order).
Shape polygon(std::vector<Point> points);
// An arc of a circle, as a stroke, from angle a0 to a1 (radians, clockwise
// on screen, 0 pointing right), round caps.
Shape arc(float cx, float cy, float r, float a0, float a1, float width);

Shape unite(const Shape& a, const Shape& b);
Shape subtract(const Shape& a, const Shape& b);
Shape intersect(const Shape& a, const Shape& b);
// The band of the given width centred on the shape's edge.
Shape outline(const Shape& s, float width);
Shape translate(const Shape& s, float dx, float dy);

using Paint = std::function<Color(float x, float y)>;
Paint solid(const Color& c);
// Linear gradient from c0 at p0 to c1 at p1, clamped beyond the ends.
Paint linear(Point p0, Color c0, Point p1, Color c1);

void fill(Image& image, const Shape& shape, const Paint& paint);
void fill(Image& image, const Shape& shape, const Color& color);
// A soft shadow: the shape blurred by `radius`, offset, in the given colour.
void shadow(Image& image, const Shape& shape, float dx, float dy, float radius, const Color& color);

} // namespace img
