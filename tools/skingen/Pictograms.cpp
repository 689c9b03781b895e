#include "Pictograms.h"

#include <cmath>

using namespace img;

namespace skin {

namespace {

constexpr float kPi = 3.14159265358979f;

Shape rect(const Grid& g, float x0, float y0, float x1, float y1, float r) {
    return roundRect(g.px(x0), g.py(y0), g.px(x1), g.py(y1), g.u(r));
}

Shape line(const Grid& g, float x0, float y0, float x1, float y1, float w) {
    return segment(g.px(x0), g.py(y0), g.px(x1), g.py(y1), g.u(w));
}

// The lower half (below y) of an ellipse's rim.
Shape lowerRim(const Grid& g, float cy, float w) {
    Shape rim = outline(ellipse(g.px(32), g.py(cy), g.u(22), g.u(8)), g.u(w));
    return intersect(rim, rect(g, -10, cy, 74, cy + 20, 0));
}

} // namespace

Shape envelope(const Grid& g) {
    Shape body = rect(g, 4, 14, 60, 50, 4);
    Shape flap = unite(line(g, 7, 18, 32, 36, 3.5f), line(g, 32, 36, 57, 18, 3.5f));
    return subtract(body, flap);
}

Shape person(const Grid& g) {
    Shape head = circle(g.px(32), g.py(20), g.u(11));
    Shape shoulders = intersect(circle(g.px(32), g.py(62), g.u(24)), rect(g, 0, 0, 64, 58, 0));
    return unite(head, shoulders);
}

Shape database(const Grid& g) {
    Shape body = unite(unite(ellipse(g.px(32), g.py(14), g.u(22), g.u(8)), rect(g, 10, 14, 54, 50, 0)),
                       ellipse(g.px(32), g.py(50), g.u(22), g.u(8)));
    Shape cuts = unite(unite(lowerRim(g, 14, 3), lowerRim(g, 26, 3)), lowerRim(g, 38, 3));
    return subtract(body, cuts);
}

Shape folder(const Grid& g) {
    Shape back = unite(rect(g, 4, 12, 28, 24, 3), rect(g, 4, 17, 60, 54, 4));
    return subtract(back, line(g, 4, 25, 60, 25, 3));
}

Shape folderTree(const Grid& g) {
    Grid top{g.px(0), g.py(0), g.u(30)};
    Grid mid{g.px(26), g.py(20), g.u(26)};
    Grid low{g.px(26), g.py(40), g.u(26)};
    Shape links = unite(unite(line(g, 10, 26, 10, 52, 3), line(g, 10, 33, 26, 33, 3)), line(g, 10, 52, 26, 52, 3));
    return unite(unite(unite(folder(top), folder(mid)), folder(low)), links);
}

Shape addressBook(const Grid& g) {
    Shape book = rect(g, 12, 4, 56, 60, 5);
    Shape spine = line(g, 20, 4, 20, 60, 3);
    Grid inner{g.px(22), g.py(14), g.u(32)};
    Shape rings = unite(unite(line(g, 8, 16, 16, 16, 4), line(g, 8, 32, 16, 32, 4)), line(g, 8, 48, 16, 48, 4));
    return unite(subtract(subtract(book, spine), person(inner)), rings);
}

Shape archiveBox(const Grid& g) {
    Shape lid = rect(g, 4, 10, 60, 22, 3);
    Shape box = rect(g, 8, 25, 56, 56, 3);
    Shape slot = rect(g, 24, 31, 40, 37, 3);
    return unite(lid, subtract(box, slot));
}

Shape withPlusBadge(const Shape& base, const Grid& g) {
    Shape badge = circle(g.px(50), g.py(50), g.u(13));
    Shape halo = circle(g.px(50), g.py(50), g.u(16.5f));
    Shape plus = unite(line(g, 43, 50, 57, 50, 4), line(g, 50, 43, 50, 57, 4));
    return unite(subtract(base, halo), subtract(badge, plus));
}

Shape contactCard(const Grid& g) {
    Shape card = rect(g, 2, 12, 62, 52, 5);
    Grid face{g.px(6), g.py(18), g.u(28)};
    Shape lines = unite(unite(line(g, 36, 24, 54, 24, 3.5f), line(g, 36, 32, 54, 32, 3.5f)), line(g, 36, 40, 48, 40, 3.5f));
    return subtract(subtract(card, person(face)), lines);
}

Shape syncArrows(const Grid& g) {
    float cx = g.px(32), cy = g.py(32), r = g.u(20), w = g.u(6);
    Shape upper = arc(cx, cy, r, kPi * 1.05f, kPi * 1.8f, w);
    Shape lower = arc(cx, cy, r, kPi * 0.05f, kPi * 0.8f, w);
    auto head = [&](float angle, float dir) {
        float px = cx + r * std::cos(angle), py = cy + r * std::sin(angle);
        // Tangent (clockwise) and normal at the arc's end.
        float tx = -std::sin(angle) * dir, ty = std::cos(angle) * dir;
        float nx = std::cos(angle), ny = std::sin(angle);
        float l = g.u(11), h = g.u(9);
        return polygon({{px + tx * l, py + ty * l}, {px + nx * h, py + ny * h}, {px - nx * h, py - ny * h}});
    };
    return unite(unite(upper, head(kPi * 1.8f, 1)), unite(lower, head(kPi * 0.8f, 1)));
}

Shape modeChoice(const Grid& g) {
    Grid mail{g.px(0), g.py(-6), g.u(44)};
    Grid who{g.px(28), g.py(26), g.u(36)};
    Shape halo = translate(circle(g.px(46), g.py(44), g.u(20)), 0, 0);
    return unite(subtract(envelope(mail), halo), person(who));
}

Shape documentLines(const Grid& g) {
    Shape page = polygon({{g.px(12), g.py(4)}, {g.px(40), g.py(4)}, {g.px(54), g.py(18)}, {g.px(54), g.py(60)},
                          {g.px(12), g.py(60)}});
    Shape fold = polygon({{g.px(38), g.py(4)}, {g.px(54), g.py(20)}, {g.px(38), g.py(20)}});
    Shape lines = unite(unite(line(g, 20, 30, 46, 30, 4), line(g, 20, 40, 46, 40, 4)), line(g, 20, 50, 38, 50, 4));
    return subtract(subtract(page, fold), lines);
}

Shape powerSymbol(const Grid& g) {
    float cx = g.px(32), cy = g.py(35);
    Shape ring = arc(cx, cy, g.u(18), kPi * 1.65f, kPi * 1.35f, g.u(7));
    Shape bar = line(g, 32, 8, 32, 32, 7);
    return unite(ring, bar);
}

} // namespace skin
