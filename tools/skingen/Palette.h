// The product's colours.
#pragma once
#include "Image.h"

namespace skin {

inline img::Color navy() { return img::rgb(0x163A5F); }
inline img::Color teal() { return img::rgb(0x1F7A8C); }
inline img::Color sea() { return img::rgb(0x2FA4B5); }
inline img::Color foam() { return img::rgb(0xBFE3EA); }
inline img::Color mist() { return img::rgb(0xF4F8FB); }
inline img::Color haze() { return img::rgb(0xE2EBF2); }
inline img::Color amber() { return img::rgb(0xF2A541); }
inline img::Color coral() { return img::rgb(0xD9534F); }
inline img::Color white(float a = 1.0f) { return img::rgb(0xFFFFFF, a); }

} // namespace skin
