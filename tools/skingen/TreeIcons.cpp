// The folder tree's icons of Step 3: system folders by their pictures,
// other folders closed and open, and the Notes root.
#include "Icons.h"

#include "Palette.h"
#include "Pictograms.h"
#include "Shapes.h"

#include <functional>

using namespace img;

namespace skin {

namespace {

const int kTreeSizes[] = {16, 32};

Color folderFace() { return rgb(0xF2C14E); }
Color folderEdge() { return rgb(0xB8860B); }

std::vector<Image> treeSizes(const std::function<void(Image&, float)>& paint) {
    std::vector<Image> out;
    for (int n : kTreeSizes) {
        Image im(n, n);
        paint(im, static_cast<float>(n));
        out.push_back(im);
    }
    return out;
}

float line(float n) { return n / 16.0f; }

void closedFolder(Image& im, float n) {
    Shape back = unite(roundRect(n * 0.06f, n * 0.18f, n * 0.46f, n * 0.34f, n * 0.06f),
                       roundRect(n * 0.06f, n * 0.26f, n * 0.94f, n * 0.84f, n * 0.08f));
    fill(im, back, linear({0, n * 0.2f}, rgb(0xF7D27A), {0, n * 0.85f}, folderFace()));
    fill(im, outline(back, line(n)), folderEdge());
}

void openFolder(Image& im, float n) {
    Shape back = unite(roundRect(n * 0.06f, n * 0.18f, n * 0.46f, n * 0.34f, n * 0.06f),
                       roundRect(n * 0.06f, n * 0.26f, n * 0.86f, n * 0.84f, n * 0.08f));
    fill(im, back, rgb(0xE0AE3A));
    fill(im, outline(back, line(n)), folderEdge());
    Shape front = polygon({{n * 0.22f, n * 0.44f}, {n * 0.98f, n * 0.44f}, {n * 0.82f, n * 0.84f}, {n * 0.06f, n * 0.84f}});
    fill(im, front, linear({0, n * 0.44f}, rgb(0xFBE3A0), {0, n * 0.84f}, folderFace()));
    fill(im, outline(front, line(n)), folderEdge());
}

void inbox(Image& im, float n) {
    Shape tray = subtract(roundRect(n * 0.08f, n * 0.50f, n * 0.92f, n * 0.90f, n * 0.08f),
                          roundRect(n * 0.30f, n * 0.44f, n * 0.70f, n * 0.66f, n * 0.04f));
    fill(im, tray, teal());
    Shape arrow = unite(segment(n * 0.5f, n * 0.06f, n * 0.5f, n * 0.40f, n * 0.16f),
                        polygon({{n * 0.26f, n * 0.32f}, {n * 0.74f, n * 0.32f}, {n * 0.5f, n * 0.58f}}));
    fill(im, arrow, navy());
}

void sent(Image& im, float n) {
    Shape plane = polygon({{n * 0.04f, n * 0.46f}, {n * 0.96f, n * 0.10f}, {n * 0.66f, n * 0.92f}, {n * 0.46f, n * 0.60f}});
    fill(im, plane, teal());
    fill(im, segment(n * 0.46f, n * 0.60f, n * 0.96f, n * 0.10f, line(n) * 1.2f), white());
    fill(im, outline(plane, line(n)), navy());
}

void drafts(Image& im, float n) {
    Grid g{0, 0, n};
    fill(im, documentLines(g), white());
    fill(im, outline(documentLines(g), line(n)), navy());
    Shape pencil = segment(n * 0.40f, n * 0.86f, n * 0.92f, n * 0.34f, n * 0.20f);
    fill(im, pencil, amber());
    fill(im, polygon({{n * 0.30f, n * 0.96f}, {n * 0.33f, n * 0.78f}, {n * 0.48f, n * 0.93f}}), navy());
}

void allDocuments(Image& im, float n) {
    Grid back{n * 0.14f, -n * 0.10f, n * 0.86f};
    Grid front{0, n * 0.12f, n * 0.86f};
    fill(im, envelope(back), rgb(0x7FA7C7));
    fill(im, envelope(front), navy());
}

void trash(Image& im, float n) {
    Shape bin = polygon({{n * 0.20f, n * 0.30f}, {n * 0.80f, n * 0.30f}, {n * 0.72f, n * 0.94f}, {n * 0.28f, n * 0.94f}});
    Shape slots = unite(segment(n * 0.40f, n * 0.42f, n * 0.42f, n * 0.82f, line(n) * 1.2f),
                        segment(n * 0.60f, n * 0.42f, n * 0.58f, n * 0.82f, line(n) * 1.2f));
    fill(im, subtract(bin, slots), rgb(0x6B7B8C));
    fill(im, roundRect(n * 0.10f, n * 0.16f, n * 0.90f, n * 0.27f, n * 0.04f), rgb(0x4A5866));
    fill(im, roundRect(n * 0.38f, n * 0.06f, n * 0.62f, n * 0.18f, n * 0.04f), rgb(0x4A5866));
}

void notesRoot(Image& im, float n) {
    Grid g{0, 0, n};
    fill(im, database(g), linear({0, 0}, teal(), {0, n}, navy()));
}

} // namespace

std::vector<IconArt> treeIcons() {
    return {
        {"tree_trash.ico", treeSizes(trash)},           // 140
        {"tree_all.ico", treeSizes(allDocuments)},      // 141
        {"tree_folder.ico", treeSizes(closedFolder)},   // 142
        {"tree_drafts.ico", treeSizes(drafts)},         // 143
        {"tree_inbox.ico", treeSizes(inbox)},           // 144
        {"tree_open.ico", treeSizes(openFolder)},       // 146
        {"tree_sent.ico", treeSizes(sent)},             // 147
        {"tree_notes.ico", treeSizes(notesRoot)},       // 152
    };
}

} // namespace skin
