#pragma once

#include <QColor>

#include <cstdint>

// Colours are written as the instrument's colour words 0x00BBGGRR.
inline QColor ColorFromRef(std::uint32_t colorRef) {
    return QColor(static_cast<int>(colorRef & 0xFF), static_cast<int>((colorRef >> 8) & 0xFF),
                  static_cast<int>((colorRef >> 16) & 0xFF));
}
