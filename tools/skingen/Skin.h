// The wizard's skin: page background, dialog background and step banners.
#pragma once
#include "Image.h"
#include "TextRenderer.h"

#include <string>
#include <vector>

namespace skin {

struct Fonts {
    const TextRenderer& regular;
    const TextRenderer& bold;
};

// What one step banner shows.
struct StepBanner {
    std::string fileName; // e.g. "step3_mail.bmp"
    int step;             // 1..6
    std::string title;
    std::string subtitle;
    int pictogram; // index into the pictograms of Skin.cpp
};

const std::vector<StepBanner>& stepBanners();

img::Image pageBackground(int width, int height);
img::Image dialogBackground(int width, int height);
img::Image stepBanner(const StepBanner& banner, const Fonts& fonts, int width, int height);

} // namespace skin
