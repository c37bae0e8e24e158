#include "platform/Fonts.h"

#include <QApplication>

namespace platform {

namespace {
constexpr int kStockPixelSize = 12;
}

QFont StockFont() {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif); // DejaVu Sans where Liberation is missing
    font.setPixelSize(kStockPixelSize);
    font.setWeight(QFont::Normal);
    return font;
}

void InstallStockFont() {
    QApplication::setFont(StockFont());
}

QFont DerivedFont(int weight, int pixelHeight) {
    QFont font = StockFont();
    font.setWeight(static_cast<QFont::Weight>(weight));
    if (pixelHeight > 0)
        font.setPixelSize(pixelHeight);
    return font;
}

} // namespace platform
