#include "TextRenderer.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <stdexcept>
#include <vector>

namespace skin {

namespace {

// Decodes UTF-8 into code points; malformed bytes become U+FFFD.
std::vector<uint32_t> codePoints(const std::string& s) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size()) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        uint32_t cp = len == 1 ? c : c & (0x7F >> len);
        for (int k = 1; k < len; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(cp);
        i += len;
    }
    return out;
}

} // namespace

struct TextRenderer::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

TextRenderer::TextRenderer(const std::string& fontFile) : impl_(std::make_unique<Impl>()) {
    if (FT_Init_FreeType(&impl_->library) != 0) {
        impl_->library = nullptr;
        return;
    }
    if (FT_New_Face(impl_->library, fontFile.c_str(), 0, &impl_->face) != 0)
        impl_->face = nullptr;
}

TextRenderer::~TextRenderer() {
    if (impl_->face)
        FT_Done_Face(impl_->face);
    if (impl_->library)
        FT_Done_FreeType(impl_->library);
}

bool TextRenderer::ok() const { return impl_->face != nullptr; }

float TextRenderer::measure(const std::string& text, int pixelSize, float letterSpacing) const {
    if (!ok())
        return 0;
    FT_Set_Pixel_Sizes(impl_->face, 0, static_cast<FT_UInt>(pixelSize));
    float width = 0;
    for (uint32_t cp : codePoints(text)) {
        if (FT_Load_Char(impl_->face, cp, FT_LOAD_DEFAULT) != 0)
            continue;
        width += impl_->face->glyph->advance.x / 64.0f + letterSpacing;
    }
    return width;
}

void TextRenderer::draw(img::Image& image, float x, float y, const std::string& text, int pixelSize,
                        const img::Color& color, float letterSpacing) const {
    if (!ok())
        return;
    FT_Set_Pixel_Sizes(impl_->face, 0, static_cast<FT_UInt>(pixelSize));
    float pen = x;
    for (uint32_t cp : codePoints(text)) {
        if (FT_Load_Char(impl_->face, cp, FT_LOAD_RENDER) != 0)
            continue;
        FT_GlyphSlot g = impl_->face->glyph;
        const FT_Bitmap& bm = g->bitmap;
        int left = static_cast<int>(pen + 0.5f) + g->bitmap_left;
        int top = static_cast<int>(y + 0.5f) - g->bitmap_top;
        for (unsigned row = 0; row < bm.rows; ++row)
            for (unsigned col = 0; col < bm.width; ++col) {
                unsigned char v = bm.buffer[row * bm.pitch + col];
                if (v)
                    image.blend(left + static_cast<int>(col), top + static_cast<int>(row), color, v / 255.0f);
            }
        pen += g->advance.x / 64.0f + letterSpacing;
    }
}

} // namespace skin
