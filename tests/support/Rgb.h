#pragma once

// A colour word 0x00BBGGRR as the pixel value a picture drawn in it holds.

#include "ui/Colors.h"

inline QRgb RgbOf(std::uint32_t colorRef) {
    return ColorFromRef(colorRef).rgb();
}
