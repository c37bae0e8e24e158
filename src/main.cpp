// The instrument's program: platform options only (--home, --usb, --port); without a
// serial device it runs on the simulated measurement board inside the process.
#include "platform/Application.h"
#include "platform/Fonts.h"
#include "platform/Paths.h"
#include "platform/Power.h"
#include "platform/SimulatedKeypad.h"
#include "sim/SimulatedBoard.h"
#include "ui/PEL.h"

#include <QDir>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    PelApplication app(argc, argv);
    platform::PlatformOptions options;
    QString error;
    if (!platform::ParsePlatformOptions(QCoreApplication::arguments(), QCoreApplication::applicationDirPath(), options,
                                        error)) {
        std::fprintf(stderr, "pel: %s\n", qPrintable(error));
        return 2;
    }
    const QString qpa = QGuiApplication::platformName();
    platform::SetRunsOnInstrument(qpa == QLatin1String("linuxfb") || qpa == QLatin1String("eglfs"));
    platform::InstallStockFont();

    std::unique_ptr<sim::SimulatedBoard> board;
    if (options.port.isEmpty()) {
        board = std::make_unique<sim::SimulatedBoard>();
        if (!board->Start()) {
            std::fprintf(stderr, "pel: the simulated measurement board could not start\n");
            return 1;
        }
        options.port = board->SlavePath();
    }
    platform::SetPlatformOptions(options);

    CPELApp pel;
    if (!pel.InitInstance(options.home, options.port))
        return 1;
    // On a workstation the keypad driver's battery reports come from a simulated battery.
    platform::SimulatedKeypad keypad;
    if (!platform::RunsOnInstrument())
        keypad.Start();
    return app.exec();
}
