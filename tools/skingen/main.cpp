// skingen OUTDIR: writes the skin bitmaps and the icons into OUTDIR.
#include "Encoders.h"
#include "Icons.h"
#include "Skin.h"

#include <cstdio>
#include <string>

namespace {

// Large enough to cover a 509 x 313 dialog-unit page at up to 120 dpi.
constexpr int kPageWidth = 1000, kPageHeight = 660;
constexpr int kDialogWidth = 640, kDialogHeight = 420;
constexpr int kBannerWidth = 734, kBannerHeight = 110;

bool save(const std::string& path, const img::Bytes& bytes) {
    if (img::writeFile(path, bytes))
        return true;
    std::fprintf(stderr, "skingen: cannot write %s\n", path.c_str());
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: skingen OUTDIR\n");
        return 2;
    }
    const std::string out = std::string(argv[1]) + "/";
    skin::TextRenderer regular(TW_FONT_REGULAR), bold(TW_FONT_BOLD);
    if (!regular.ok() || !bold.ok()) {
        std::fprintf(stderr, "skingen: cannot load the fonts %s, %s\n", TW_FONT_REGULAR, TW_FONT_BOLD);
        return 1;
    }
    skin::Fonts fonts{regular, bold};
    bool ok = save(out + "main.bmp", img::encodeBmp(skin::pageBackground(kPageWidth, kPageHeight)));
    ok &= save(out + "msgskin.bmp", img::encodeBmp(skin::dialogBackground(kDialogWidth, kDialogHeight)));
    for (const skin::StepBanner& b : skin::stepBanners())
        ok &= save(out + b.fileName, img::encodeBmp(skin::stepBanner(b, fonts, kBannerWidth, kBannerHeight)));
    for (const auto& icons : {skin::programIcons(), skin::treeIcons()})
        for (const skin::IconArt& icon : icons)
            ok &= save(out + icon.fileName, img::encodeIco(icon.sizes));
    return ok ? 0 : 1;
}
