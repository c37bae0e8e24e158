#include "tool/PelTool.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv) {
    // Pictures need fonts, and so a GUI application; it never needs a display.
    const bool drawing = argc > 1 && (QByteArrayView(argv[1]) == "png" || QByteArrayView(argv[1]) == "report");
    if (drawing && std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::unique_ptr<QCoreApplication> app;
    if (drawing)
        app = std::make_unique<QGuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    QTextStream out(stdout);
    QTextStream err(stderr);
    const int code = tool::RunPelTool(arguments, out, err);
    out.flush();
    err.flush();
    return code;
}
