#include "platform/Application.h"
#include "platform/Fonts.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    // The whole program, offscreen; set before the application object exists.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    PelApplication app(argc, argv);
    platform::InstallStockFont();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
