#include "scenario/Harness.h"

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Power.h"

#include <QTest>
#include <QWindow>

namespace {

Qt::Key QtKeyOf(int code) {
    if (code >= 112 && code <= 122)
        return static_cast<Qt::Key>(Qt::Key_F1 + (code - 112));
    if (code >= '0' && code <= '9')
        return static_cast<Qt::Key>(Qt::Key_0 + (code - '0'));
    if (code >= 'A' && code <= 'Z')
        return static_cast<Qt::Key>(Qt::Key_A + (code - 'A'));
    if (code == 13)
        return Qt::Key_Return;
    if (code == 27)
        return Qt::Key_Escape;
    return Qt::Key_unknown;
}

QString TextOf(int code) {
    if ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z'))
        return QString(QChar(code)).toLower();
    if (code == 13)
        return QStringLiteral("\r");
    return QString();
}

} // namespace

Harness::Harness(const QString& home) {
    board_ = std::make_unique<sim::SimulatedBoard>();
    board_->Start();
    Launch(home, board_->SlavePath());
}

Harness::Harness(const QString& home, const QString& linkPath, bool startBoard) : linkPath_(linkPath) {
    board_ = std::make_unique<sim::SimulatedBoard>();
    if (startBoard)
        board_->Start(linkPath_);
    Launch(home, linkPath_);
}

Harness::Harness(const QString& home, const sim::Scenario& scenario) {
    board_ = std::make_unique<sim::SimulatedBoard>(scenario);
    board_->Start();
    Launch(home, board_->SlavePath());
}

bool Harness::StartBoard() {
    return board_->Start(linkPath_);
}

void Harness::Launch(const QString& home, const QString& portPath) {
    if (home.isEmpty()) {
        temporaryHome_ = std::make_unique<QTemporaryDir>();
        home_ = platform::AsFolder(temporaryHome_->path());
    } else {
        home_ = platform::AsFolder(home);
    }
    platform::SetMessageBoxResponder([this](const platform::MessageBoxCall& call) {
        boxes.push_back(call);
        if (answers.empty())
            return platform::mb::kIdOk;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    });
    platform::SetPowerOffHandler([this] { ++powerOffRequests; });

    platform::PlatformOptions options;
    options.home = home_;
    options.port = portPath;
    platform::SetPlatformOptions(options);

    app_ = std::make_unique<CPELApp>();
    app_->InitInstance(home_, portPath);
    Frame().activateWindow();
    Run(50);
}

Harness::~Harness() {
    app_.reset();
    board_.reset();
    platform::SetMessageBoxResponder(nullptr);
    platform::SetPowerOffHandler(nullptr);
}

void Harness::KeyDown(int code, bool autoRepeat) {
    qt_handleKeyEvent(Frame().windowHandle(), QEvent::KeyPress, QtKeyOf(code), Qt::NoModifier, TextOf(code),
                      autoRepeat);
}

void Harness::KeyUp(int code, bool autoRepeat) {
    qt_handleKeyEvent(Frame().windowHandle(), QEvent::KeyRelease, QtKeyOf(code), Qt::NoModifier, TextOf(code),
                      autoRepeat);
}

void Harness::Tap(int code) {
    KeyDown(code);
    KeyUp(code);
}

void Harness::Hold(int code, int repeats) {
    KeyDown(code);
    for (int i = 0; i < repeats; ++i) {
        KeyUp(code, true); // as X11 sends them; the program drops these
        KeyDown(code, true);
    }
    KeyUp(code);
}

void Harness::Run(int milliseconds) {
    QTest::qWait(milliseconds);
}

bool Harness::RunUntil(const std::function<bool()>& condition, int milliseconds) {
    return QTest::qWaitFor(condition, milliseconds);
}

QImage Harness::Capture() {
    return Frame().grab().toImage().convertToFormat(QImage::Format_RGB32);
}
