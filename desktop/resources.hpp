// The window's own pictures and texts, built into the program as a Qt
// resource (desktop/assets, made by make_assets.py there).
#pragma once

#include <string>

#include "ui/ui.hpp"

namespace trimbrel {

// The bytes of one asset ("brand.gif"); empty when there is none.
Bytes AssetBytes(const char* name);
// The resource path of one asset, for Qt's own loaders.
std::string AssetPath(const char* name);

}  // namespace trimbrel
