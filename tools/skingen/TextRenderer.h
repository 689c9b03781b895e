// Anti-aliased text for the skin, rendered with FreeType.
#pragma once
#include "Image.h"

#include <memory>
#include <string>

namespace skin {

class TextRenderer {
public:
    explicit TextRenderer(const std::string& fontFile);
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    bool ok() const;
    // Width in pixels of `text` (UTF-8) at `pixelSize`, with extra spacing
    // between letters.
    float measure(const std::string& text, int pixelSize, float letterSpacing = 0) const;
    // Draws `text` with its baseline at y, starting at x.
    void draw(img::Image& image, float x, float y, const std::string& text, int pixelSize,
              const img::Color& color, float letterSpacing = 0) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace skin
