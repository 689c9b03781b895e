// The faces of a shade button: 8-bit bitmaps over one 256-colour palette
// that runs from the button-shadow colour through the face colour to the
// highlight colour. The normal face darkens from left to right with a
// little noise; the hover and pressed faces are the normal one with the
// palette drawn 10 % toward the highlight; the focus mark is two one-pixel
// stripes of alternating darkest and lightest entries.
#pragma once
#include "../framework/Gdi.h"

#include <array>

struct ShadeFaces {
    enum Face { Normal, Pressed, Disabled, Hover, FocusHorizontal, FocusVertical, Count };

    tw::Bitmap bitmaps[Count];

    // Builds every face for a button of that size; `border` is the margin
    // the focus stripes keep from the edges.
    void build(int width, int height, int border);
    bool empty() const { return !bitmaps[Normal]; }
    SIZE size(Face face) const;

    // The palette: entries 0-128 shadow to face, 128-255 face to highlight.
    static std::array<RGBQUAD, 256> palette(COLORREF shadow, COLORREF face, COLORREF highlight);
    // The palette index of column i of a face n pixels wide, before noise.
    static int columnIndex(int i, int n) { return (n - i) * 239 / n + 8; }
    static constexpr int kNoise = 8;
};
