#pragma once

#include <QFont>

namespace platform {

// The one "stock font" of the program: a fixed family and pixel size, so the screen
// looks the same on the instrument, a workstation and in the offscreen tests.
QFont StockFont();
// Makes it the application's font.
void InstallStockFont();
// The stock font with another weight (400 normal, 700 bold) and, when given, pixel height.
QFont DerivedFont(int weight, int pixelHeight = 0);

} // namespace platform
