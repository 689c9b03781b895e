#include "Skin.h"

#include "Palette.h"
#include "Pictograms.h"
#include "Shapes.h"

#include <cmath>

using namespace img;

namespace skin {

namespace {

enum Pictogram { kModeChoice, kDatabase, kFolderTree, kAddressBook, kArchive, kNewFolder, kNewContacts, kSync };

Shape pictogram(int which, const Grid& g) {
    switch (which) {
    case kModeChoice: return modeChoice(g);
    case kDatabase: return database(g);
    case kFolderTree: return folderTree(g);
    case kAddressBook: return addressBook(g);
    case kArchive: return archiveBox(g);
    case kNewFolder: return withPlusBadge(folder(g), g);
    case kNewContacts: return withPlusBadge(contactCard(g), g);
    default: return syncArrows(g);
    }
}

// Horizontal bands of a sine wave filling everything below it.
Shape wave(float width, float baseY, float amplitude, float period, float phase, float bottom) {
    return {[=](float x, float y) {
                float edge = baseY + amplitude * std::sin((x / period) * 6.2831853f + phase);
                return edge - y; // negative (inside) below the edge
            },
            {0, baseY - amplitude - 1, width, bottom}};
}

void verticalGradient(Image& im, const Color& top, const Color& bottom) {
    for (int y = 0; y < im.height(); ++y) {
        Color c = mix(top, bottom, im.height() > 1 ? static_cast<float>(y) / (im.height() - 1) : 0.0f);
        for (int x = 0; x < im.width(); ++x)
            im.at(x, y) = c;
    }
}

void waves(Image& im, float top, float amplitude) {
    float w = static_cast<float>(im.width()), h = static_cast<float>(im.height());
    fill(im, wave(w, top, amplitude, w * 0.9f, 0.4f, h), rgb(0x2FA4B5, 0.10f));
    fill(im, wave(w, top + amplitude * 1.6f, amplitude * 0.8f, w * 0.6f, 2.1f, h), rgb(0x1F7A8C, 0.10f));
    fill(im, wave(w, top + amplitude * 3.0f, amplitude * 0.6f, w * 0.45f, 4.0f, h), rgb(0x163A5F, 0.08f));
}

} // namespace

const std::vector<StepBanner>& stepBanners() {
    static const std::vector<StepBanner> banners = {
        {"step1.bmp", 1, "Choose what to convert",
         "Convert the mails of a Notes database, or the persons of an address book.", kModeChoice},
        {"step2.bmp", 2, "Select the Notes database",
         "Name the NSF file to convert and, if you wish, keep a backup copy of it.", kDatabase},
        {"step3_mail.bmp", 3, "Choose the folders",
         "Tick the Notes views and folders whose mails you want in Outlook.", kFolderTree},
        {"step3_add.bmp", 3, "Confirm the address book",
         "Tick the address book whose persons become Outlook contacts.", kAddressBook},
        {"step4.bmp", 4, "Select the target PST",
         "Create a new personal folders file or add to an existing one.", kArchive},
        {"step5_mail.bmp", 5, "Name the mail folder",
         "The converted mails go into this folder of the PST.", kNewFolder},
        {"step5_add.bmp", 5, "Name the contacts folder",
         "The converted contacts go into this folder of the PST.", kNewContacts},
        {"step6.bmp", 6, "Converting",
         "Please wait while the items are copied into the PST.", kSync},
    };
    return banners;
}

Image pageBackground(int width, int height) {
    Image im(width, height);
    verticalGradient(im, mist(), haze());
    // A faint tide along the bottom, where the buttons sit.
    waves(im, static_cast<float>(height) * 0.80f, static_cast<float>(height) * 0.018f);
    // A hairline under the banner area.
    fill(im, roundRect(0, 0, static_cast<float>(width), 3, 0), rgb(0x1F7A8C, 0.85f));
    return im;
}

Image dialogBackground(int width, int height) {
    Image im(width, height);
    verticalGradient(im, rgb(0xFAFCFD), rgb(0xE8F0F5));
    waves(im, static_cast<float>(height) * 0.78f, static_cast<float>(height) * 0.03f);
    fill(im, roundRect(0, 0, static_cast<float>(width), 3, 0), rgb(0x1F7A8C, 0.85f));
    return im;
}

Image stepBanner(const StepBanner& b, const Fonts& fonts, int width, int height) {
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    // The banner sits on the page background; its own corners are rounded,
    // so compose it over the background's top colour.
    Image im(width, height, mist());
    Shape panel = roundRect(0.5f, 0.5f, w - 0.5f, h - 0.5f, 10);
    fill(im, panel, linear({0, 0}, navy(), {w, h}, teal()));
    // Light swell lines across the right of the panel.
    for (int i = 0; i < 3; ++i) {
        float base = h * (0.55f + 0.14f * i);
        Shape crest = intersect(outline(wave(w, base, h * 0.06f, w * 0.35f, 1.3f * i, h + 50), 1.5f), panel);
        fill(im, crest, white(0.07f));
    }

    // Pictogram in a soft disc.
    const float disc = h * 0.74f;
    const float cx = h * 0.55f, cy = h / 2;
    fill(im, circle(cx, cy, disc / 2), white(0.14f));
    const float icon = disc * 0.62f;
    fill(im, pictogram(b.pictogram, Grid{cx - icon / 2, cy - icon / 2, icon}), white());

    // Texts.
    const float textX = cx + disc / 2 + h * 0.22f;
    fonts.bold.draw(im, textX, h * 0.30f, "STEP " + std::to_string(b.step) + " OF 6", 11, foam(), 1.5f);
    fonts.bold.draw(im, textX, h * 0.58f, b.title, 21, white());
    fonts.regular.draw(im, textX, h * 0.81f, b.subtitle, 12, rgb(0xDCEFF5));

    // Progress: six numbered marks at the top right, done ones ticked.
    const float r = 9, gap = 26;
    const float right = w - 22, y = h * 0.26f;
    const float left = right - gap * 5;
    fill(im, segment(left, y, right, y, 2), white(0.25f));
    fill(im, segment(left, y, left + gap * (b.step - 1), y, 2), amber());
    for (int s = 1; s <= 6; ++s) {
        float x = left + gap * (s - 1);
        if (s < b.step) {
            fill(im, circle(x, y, r), sea());
            Shape tick = unite(segment(x - 4, y, x - 1, y + 3.5f, 2.2f), segment(x - 1, y + 3.5f, x + 4.5f, y - 3.5f, 2.2f));
            fill(im, tick, white());
        } else if (s == b.step) {
            fill(im, circle(x, y, r + 2), amber());
            std::string n = std::to_string(s);
            float tw = fonts.bold.measure(n, 12);
            fonts.bold.draw(im, x - tw / 2, y + 4.5f, n, 12, navy());
        } else {
            fill(im, circle(x, y, r), navy());
            fill(im, outline(circle(x, y, r), 1.5f), white(0.45f));
            std::string n = std::to_string(s);
            float tw = fonts.regular.measure(n, 11);
            fonts.regular.draw(im, x - tw / 2, y + 4, n, 11, white(0.7f));
        }
    }
    return im;
}

} // namespace skin
