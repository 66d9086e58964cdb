// Who the plug-in is: its registration, its module and its maker.
#pragma once

#include "c4d.h"

constexpr Int32 kNocturniaPluginId = NOC_TYPE_NOCTURNIA_SHADER;
constexpr Int32 kNocturniaNameString = 20000;  // string table id of the display name
constexpr const char* kNocturniaDescription = "XNocturnia";

// The module identifier: the maker's web domain reversed, then the component.
constexpr const char* kModuleIdentifier = "com.quillfen.nocturnia";
