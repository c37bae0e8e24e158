#include "ui/PELButton.h"
#include "support/Rgb.h"

#include "platform/Fonts.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QImage Render(const CPELButton& button, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    button.DrawItem(painter, QRect(QPoint(0, 0), size));
    return image;
}

// Rows of the image (within x from..to) that hold a pixel of `colour`.
std::vector<int> RowsWith(const QImage& image, QRgb colour, int from, int to) {
    std::vector<int> rows;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = from; x < to; ++x) {
            if (image.pixel(x, y) == colour) {
                rows.push_back(y);
                break;
            }
        }
    }
    return rows;
}

void MakePanelKey(CPELButton& button) {
    button.SetScheme(0xC8D0D4, 0x000000, 0x808000, 0xFFFF00, 700, 700, 53);
    button.SetFlat(false);
}

} // namespace

TEST(ButtonCaption, LinesEndAtEveryLineFeedAndCarriageReturn) {
    EXPECT_EQ(SplitCaption(QStringLiteral("Импульс\n\n50 нс")),
              QStringList({QStringLiteral("Импульс"), QString(), QStringLiteral("50 нс")}));
    EXPECT_EQ(SplitCaption(QStringLiteral("A\r\nB")), QStringList({"A", "", "B"}));
    EXPECT_EQ(SplitCaption(QString()), QStringList({""}));
    EXPECT_EQ(SplitCaption(QStringLiteral("1\n2\n3\n4\n5\n6\n7\n8\n9\n10")).size(), 10);
    const QStringList many = SplitCaption(QStringLiteral("1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12"));
    ASSERT_EQ(many.size(), 10);
    EXPECT_EQ(many.last(), QStringLiteral("10"));
}

TEST(ButtonDrawing, ThreeCentredLinesWithAnEmptyMiddle) {
    CPELButton button;
    MakePanelKey(button);
    button.SetCaption(QStringLiteral("Имп\n\nНС"));
    const QSize size(125, 83);
    const QImage image = Render(button, size);
    const int lineHeight = QFontMetrics(platform::DerivedFont(700)).height();
    const int top = 1 + (81 - 3 * lineHeight) / 2; // inside the one-pixel frame
    const std::vector<int> rows = RowsWith(image, RgbOf(0x000000), 2, 123);
    ASSERT_FALSE(rows.empty());
    for (int y : rows) {
        const bool firstLine = y >= top && y < top + lineHeight;
        const bool thirdLine = y >= top + 2 * lineHeight && y < top + 3 * lineHeight;
        EXPECT_TRUE(firstLine || thirdLine || y == 0 || y == 82) << "text pixel on row " << y;
    }
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](int y) { return y >= top + 2 * lineHeight; }));
    // Lines are centred: the text's columns are balanced around the middle.
    EXPECT_EQ(image.pixel(62, top + lineHeight + lineHeight / 2), RgbOf(0xC8D0D4));
}

TEST(ButtonDrawing, FramesOfOneAndFivePixels) {
    CPELButton button;
    MakePanelKey(button);
    button.SetSelectedColors(0x808000, 0xFFFF00, 0x0000FF);
    button.SetMarkedColors(0x000000, 0x0000FF, 0x00FF00);
    button.SetCaption(QString());

    button.SetState(254);
    QImage image = Render(button, QSize(40, 30));
    EXPECT_EQ(image.pixel(0, 0), RgbOf(0x0000FF));
    EXPECT_EQ(image.pixel(39, 29), RgbOf(0x0000FF));
    EXPECT_EQ(image.pixel(1, 1), RgbOf(0x808000));

    button.SetState(255);
    image = Render(button, QSize(40, 30));
    EXPECT_EQ(image.pixel(4, 4), RgbOf(0x00FF00));
    EXPECT_EQ(image.pixel(5, 5), RgbOf(0x000000));
    EXPECT_EQ(image.pixel(35, 25), RgbOf(0x00FF00));

    button.SetFlat(true);
    image = Render(button, QSize(40, 30));
    EXPECT_EQ(image.pixel(0, 0), RgbOf(0x000000)) << "flat: the background reaches the edge";
}

TEST(ButtonDrawing, WithoutVerticalCentringTheTextStartsAtTheTop) {
    CPELButton button;
    button.SetScheme(0xFFFFFF, 0x000000, 0x808000, 0xFFFF00, 400, 700, 0);
    button.SetCaption(QStringLiteral("K1 12.50 м"));
    const QImage image = Render(button, QSize(120, 40));
    const std::vector<int> rows = RowsWith(image, RgbOf(0x000000), 0, 120);
    ASSERT_FALSE(rows.empty());
    EXPECT_LT(rows.front(), 6);
    EXPECT_LT(rows.back(), QFontMetrics(platform::StockFont()).height());
}

TEST(ButtonState, RepaintsOnlyOnAChange) {
    CPELButton button;
    button.resize(60, 30);
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    const int painted = button.GetPaintCount();
    button.SetState(1);
    EXPECT_EQ(button.GetPaintCount(), painted);
    button.SetState(254);
    EXPECT_EQ(button.GetPaintCount(), painted + 1);
    button.SetStateText(254, QString());
    EXPECT_EQ(button.GetPaintCount(), painted + 1);
    button.SetStateText(254, QStringLiteral("Новый"));
    EXPECT_EQ(button.GetPaintCount(), painted + 2);
    EXPECT_EQ(button.GetCaption(), QStringLiteral("Новый"));
}
