#include "Shapes.h"

#include <algorithm>
#include <cmath>

namespace img {

namespace {

constexpr float kPi = 3.14159265358979f;

Box grow(const Box& b, float by) { return {b.x0 - by, b.y0 - by, b.x1 + by, b.y1 + by}; }

Box join(const Box& a, const Box& b) {
    return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

float segmentDistance(float px, float py, float x0, float y0, float x1, float y1) {
    float dx = x1 - x0, dy = y1 - y0;
    float len2 = dx * dx + dy * dy;
    float t = len2 > 0 ? std::clamp(((px - x0) * dx + (py - y0) * dy) / len2, 0.0f, 1.0f) : 0.0f;
    float ex = px - (x0 + t * dx), ey = py - (y0 + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

} // namespace

Shape circle(float cx, float cy, float r) {
    return {[=](float x, float y) { return std::hypot(x - cx, y - cy) - r; }, {cx - r, cy - r, cx + r, cy + r}};
}

Shape ellipse(float cx, float cy, float rx, float ry) {
    // Scaled-circle approximation, corrected by the gradient length; good
    // enough for the moderate eccentricities drawn here.
    return {[=](float x, float y) {
                float nx = (x - cx) / rx, ny = (y - cy) / ry;
                float k = std::sqrt(nx * nx + ny * ny);
                if (k == 0)
                    return -std::min(rx, ry);
                float gx = nx / rx, gy = ny / ry;
                float g = std::sqrt(gx * gx + gy * gy) / k;
                return (k - 1.0f) / g;
            },
            {cx - rx, cy - ry, cx + rx, cy + ry}};
}

Shape roundRect(float x0, float y0, float x1, float y1, float radius) {
    float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    float hx = (x1 - x0) / 2, hy = (y1 - y0) / 2;
    radius = std::min({radius, hx, hy});
    return {[=](float x, float y) {
                float qx = std::fabs(x - cx) - hx + radius;
                float qy = std::fabs(y - cy) - hy + radius;
                float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
                float inside = std::min(std::max(qx, qy), 0.0f);
                return outside + inside - radius;
            },
            {x0, y0, x1, y1}};
}

Shape segment(float x0, float y0, float x1, float y1, float width) {
    float h = width / 2;
    return {[=](float x, float y) { return segmentDistance(x, y, x0, y0, x1, y1) - h; },
            grow({std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)}, h)};
}

Shape polygon(std::vector<Point> pts) {
    Box b{1e9f, 1e9f, -1e9f, -1e9f};
    for (const Point& p : pts)
        b = join(b, {p.x, p.y, p.x, p.y});
    return {[pts](float x, float y) {
                float d = 1e9f;
                bool inside = false;
                for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
                    const Point& a = pts[i];
                    const Point& c = pts[j];
                    d = std::min(d, segmentDistance(x, y, a.x, a.y, c.x, c.y));
                    if ((a.y > y) != (c.y > y) && x < (c.x - a.x) * (y - a.y) / (c.y - a.y) + a.x)
                        inside = !inside;
                }
                return inside ? -d : d;
            },
            b};
}

Shape arc(float cx, float cy, float r, float a0, float a1, float width) {
    float h = width / 2;
    float sx = cx + r * std::cos(a0), sy = cy + r * std::sin(a0);
    float ex = cx + r * std::cos(a1), ey = cy + r * std::sin(a1);
    return {[=](float x, float y) {
                float a = std::atan2(y - cy, x - cx);
                // Is angle a within [a0, a1] going clockwise (increasing angle)?
                float span = std::fmod(a1 - a0 + 4 * kPi, 2 * kPi);
                float rel = std::fmod(a - a0 + 4 * kPi, 2 * kPi);
                if (rel <= span)
                    return std::fabs(std::hypot(x - cx, y - cy) - r) - h;
                return std::min(std::hypot(x - sx, y - sy), std::hypot(x - ex, y - ey)) - h;
            },
            grow({cx - r, cy - r, cx + r, cy + r}, h)};
}

Shape unite(const Shape& a, const Shape& b) {
    auto da = a.distance, db = b.distance;
    return {[=](float x, float y) { return std::min(da(x, y), db(x, y)); }, join(a.bounds, b.bounds)};
}

Shape subtract(const Shape& a, const Shape& b) {
    auto da = a.distance, db = b.distance;
    return {[=](float x, float y) { return std::max(da(x, y), -db(x, y)); }, a.bounds};
}

Shape intersect(const Shape& a, const Shape& b) {
    auto da = a.distance, db = b.distance;
    Box box{std::max(a.bounds.x0, b.bounds.x0), std::max(a.bounds.y0, b.bounds.y0),
            std::min(a.bounds.x1, b.bounds.x1), std::min(a.bounds.y1, b.bounds.y1)};
    return {[=](float x, float y) { return std::max(da(x, y), db(x, y)); }, box};
}

Shape outline(const Shape& s, float width) {
    auto d = s.distance;
    float h = width / 2;
    return {[=](float x, float y) { return std::fabs(d(x, y)) - h; }, grow(s.bounds, h)};
}

Shape translate(const Shape& s, float dx, float dy) {
    auto d = s.distance;
    return {[=](float x, float y) { return d(x - dx, y - dy); },
            {s.bounds.x0 + dx, s.bounds.y0 + dy, s.bounds.x1 + dx, s.bounds.y1 + dy}};
}

Paint solid(const Color& c) {
    return [c](float, float) { return c; };
}

Paint linear(Point p0, Color c0, Point p1, Color c1) {
    float dx = p1.x - p0.x, dy = p1.y - p0.y;
    float len2 = dx * dx + dy * dy;
    return [=](float x, float y) {
        float t = len2 > 0 ? ((x - p0.x) * dx + (y - p0.y) * dy) / len2 : 0.0f;
        return mix(c0, c1, std::clamp(t, 0.0f, 1.0f));
    };
}

void fill(Image& image, const Shape& shape, const Paint& paint) {
    int x0 = std::max(0, static_cast<int>(std::floor(shape.bounds.x0 - 1)));
    int y0 = std::max(0, static_cast<int>(std::floor(shape.bounds.y0 - 1)));
    int x1 = std::min(image.width() - 1, static_cast<int>(std::ceil(shape.bounds.x1 + 1)));
    int y1 = std::min(image.height() - 1, static_cast<int>(std::ceil(shape.bounds.y1 + 1)));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            float cx = x + 0.5f, cy = y + 0.5f;
            float coverage = std::clamp(0.5f - shape.distance(cx, cy), 0.0f, 1.0f);
            if (coverage > 0)
                image.blend(x, y, paint(cx, cy), coverage);
        }
    }
}

void fill(Image& image, const Shape& shape, const Color& color) { fill(image, shape, solid(color)); }

void shadow(Image& image, const Shape& shape, float dx, float dy, float radius, const Color& color) {
    Shape moved = translate(shape, dx, dy);
    auto d = moved.distance;
    // A smooth falloff over `radius` pixels outside the edge.
    Shape soft{[=](float x, float y) { return d(x, y); }, grow(moved.bounds, radius)};
    int x0 = std::max(0, static_cast<int>(soft.bounds.x0));
    int y0 = std::max(0, static_cast<int>(soft.bounds.y0));
    int x1 = std::min(image.width() - 1, static_cast<int>(soft.bounds.x1));
    int y1 = std::min(image.height() - 1, static_cast<int>(soft.bounds.y1));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            float dist = d(x + 0.5f, y + 0.5f);
            float t = std::clamp(1.0f - (dist + radius * 0.5f) / radius, 0.0f, 1.0f);
            if (t > 0)
                image.blend(x, y, color, t * t * (3 - 2 * t));
        }
    }
}

} // namespace img
