// The program's icons, each drawn at every size an .ico carries.
#pragma once
#include "Image.h"

#include <string>
#include <vector>

namespace skin {

struct IconArt {
    std::string fileName;
    std::vector<img::Image> sizes;
};

// icon 128 (application), 131 (View Log), 132 (Support), 133 (Exit)
std::vector<IconArt> programIcons();
// icons 140-144, 146, 147 and 152 of the folder tree
std::vector<IconArt> treeIcons();

} // namespace skin
