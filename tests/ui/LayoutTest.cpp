#include "ui/FlatSplitterWnd.h"

#include <gtest/gtest.h>

using Sizes = std::vector<int>;

TEST(SplitterLayout, ScreenRows) {
    // Status 20, work area 415, keys 40, the hidden row last: 478 inside the border.
    EXPECT_EQ(LayoutRowCol({{20, 20}, {415, 0}, {40, 0}, {0, 0}}, 478, 1), (Sizes{20, 415, 40, 0}));
    EXPECT_EQ(LayoutRowCol({{510, 510}, {0, 0}}, 638, 1), (Sizes{510, 127}));
}

TEST(SplitterLayout, WorkAreaRows) {
    EXPECT_EQ(LayoutRowCol({{415, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}}, 415, 1), (Sizes{415, 0, 0, 0, 0, 0}));
    EXPECT_EQ(LayoutRowCol({{0, 0}, {0, 0}, {415, 0}, {0, 0}, {0, 0}, {0, 0}}, 415, 1), (Sizes{0, 0, 415, 0, 0, 0}));
    EXPECT_EQ(LayoutRowCol({{296, 0}, {0, 0}, {0, 0}, {119, 0}, {0, 0}, {0, 0}}, 415, 1),
              (Sizes{296, 0, 0, 118, 0, 0}));
    EXPECT_EQ(LayoutRowCol({{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {415, 0}}, 415, 1), (Sizes{0, 0, 0, 0, 0, 415}));
}

TEST(SplitterLayout, PanesThatDoNotFit) {
    // Cut to what is left.
    EXPECT_EQ(LayoutRowCol({{80, 0}, {50, 0}, {0, 0}}, 100, 1), (Sizes{80, 19, 0}));
    // Below its minimum: the space goes to the pane before.
    EXPECT_EQ(LayoutRowCol({{80, 0}, {10, 30}, {0, 0}}, 100, 1), (Sizes{80 + 19, 0, 0}));
    EXPECT_EQ(LayoutRowCol({{80, 0}, {10, 0}, {0, 30}}, 100, 1), (Sizes{80, 10 + 8, 0}));
    // An ideal size below its minimum counts as nothing.
    EXPECT_EQ(LayoutRowCol({{5, 10}, {0, 0}}, 50, 1), (Sizes{0, 50}));
}
