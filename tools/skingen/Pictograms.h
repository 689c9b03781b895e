// One-colour pictograms for the step banners, each drawn in a square box.
// Shapes are laid out on a 64-unit grid and scaled to the box.
#pragma once
#include "Shapes.h"

namespace skin {

struct Grid {
    float x, y, size;
    float u(float v) const { return v * size / 64.0f; }
    float px(float v) const { return x + u(v); }
    float py(float v) const { return y + u(v); }
};

img::Shape envelope(const Grid& g);
img::Shape person(const Grid& g);
img::Shape database(const Grid& g);
img::Shape folder(const Grid& g);
img::Shape folderTree(const Grid& g);
img::Shape addressBook(const Grid& g);
img::Shape archiveBox(const Grid& g);
img::Shape withPlusBadge(const img::Shape& base, const Grid& g);
img::Shape contactCard(const Grid& g);
img::Shape syncArrows(const Grid& g);
img::Shape modeChoice(const Grid& g);
img::Shape documentLines(const Grid& g);
img::Shape powerSymbol(const Grid& g);

} // namespace skin
