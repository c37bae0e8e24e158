// pel-board: the simulated measurement board on a pseudo-terminal, for a serial terminal
// program or the instrument program started with --port.

#include "sim/SimulatedBoard.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <pthread.h>

namespace {

int Fail(const QString& message) {
    std::fprintf(stderr, "pel-board: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    // SIGINT and SIGTERM are taken with sigwait below; blocked before any thread starts so
    // that none of them is interrupted.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pel-board"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated two-channel reflectometer board on a pseudo-terminal."));
    parser.addHelpOption();
    const QCommandLineOption scenarioOption(QStringLiteral("scenario"), QStringLiteral("Scenario JSON file."),
                                            QStringLiteral("FILE"));
    const QCommandLineOption linkOption(QStringLiteral("link"),
                                        QStringLiteral("Symbolic link to the slave device, kept pointing at it."),
                                        QStringLiteral("PATH"));
    const QCommandLineOption faultOption(
        QStringLiteral("fault"),
        QStringLiteral("none, no-answer, late, garbage, cut, no-task, reopen, error, lost-half or hang-up."),
        QStringLiteral("NAME"), QStringLiteral("none"));
    const QCommandLineOption seedOption(QStringLiteral("seed"), QStringLiteral("Seed of the noise."),
                                        QStringLiteral("N"));
    parser.addOptions({scenarioOption, linkOption, faultOption, seedOption});
    parser.process(application);

    sim::Scenario scenario = sim::Scenario::Default();
    if (parser.isSet(scenarioOption)) {
        QString error;
        const auto loaded = sim::Scenario::LoadFile(parser.value(scenarioOption), &error);
        if (!loaded)
            return Fail(error);
        scenario = *loaded;
    }
    if (parser.isSet(seedOption)) {
        bool ok = false;
        const uint seed = parser.value(seedOption).toUInt(&ok);
        if (!ok)
            return Fail(QStringLiteral("--seed needs a number from 0 to 4294967295"));
        scenario.seed = seed;
    }
    const auto fault = sim::FaultFromName(parser.value(faultOption));
    if (!fault)
        return Fail(QStringLiteral("unknown fault \"%1\"").arg(parser.value(faultOption)));

    sim::SimulatedBoard board(scenario);
    if (!board.Start(parser.value(linkOption)))
        return Fail(board.ErrorString());
    std::printf("%s\n", qPrintable(board.SlavePath()));
    std::fflush(stdout);
    // After the path is out: a "reopen" then closes the line that was announced.
    board.SetFault(*fault);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    return 0;
}
