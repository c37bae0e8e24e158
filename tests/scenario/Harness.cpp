#include "scenario/Harness.h"

#include "device/FolderSelectDialog.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Power.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QWindow>
#include <algorithm>

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

unsigned FlagsOf(const QMessageBox& box) {
    unsigned flags = box.button(QMessageBox::Cancel) != nullptr ? platform::mb::kOkCancel : platform::mb::kOk;
    switch (box.icon()) {
    case QMessageBox::Critical:
        return flags | platform::mb::kIconStop;
    case QMessageBox::Question:
        return flags | platform::mb::kIconQuestion;
    case QMessageBox::Warning:
        return flags | platform::mb::kIconExclamation;
    case QMessageBox::Information:
        return flags | platform::mb::kIconInformation;
    default:
        return flags;
    }
}

constexpr int kEnter = 13;
constexpr int kEscape = 27;

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
    boxWatch_.setInterval(5);
    QObject::connect(&boxWatch_, &QTimer::timeout, [this] { WatchForBoxes(); });
    boxWatch_.start();
    platform::SetPowerOffHandler([this] {
        ++powerOffRequests;
        return powerOffAccepted;
    });

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
    boxWatch_.stop();
    app_.reset();
    board_.reset();
    platform::SetPowerOffHandler(nullptr);
}

void Harness::SendKey(QWindow* window, bool down, int code, bool autoRepeat) {
    qt_handleKeyEvent(window, down ? QEvent::KeyPress : QEvent::KeyRelease, QtKeyOf(code), Qt::NoModifier, TextOf(code),
                      autoRepeat);
}

void Harness::KeyDown(int code, bool autoRepeat) {
    held_.insert(code);
    SendKey(Frame().windowHandle(), true, code, autoRepeat);
    FlushReleases();
}

void Harness::KeyUp(int code, bool autoRepeat) {
    if (!autoRepeat && releasedInBox_.erase(code) > 0)
        return; // let go while the box it opened was up
    if (!autoRepeat)
        held_.erase(code);
    SendKey(Frame().windowHandle(), false, code, autoRepeat);
    FlushReleases();
}

void Harness::WatchForBoxes() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible() || modal->windowHandle() == nullptr)
        return;
    if (auto* dialog = qobject_cast<CFolderSelectDialog*>(modal); dialog != nullptr && dialog != chosen_) {
        chosen_ = dialog;
        Choose(*dialog);
    }
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr || box == answered_)
        return;
    answered_ = box;
    Answer(*box);
}

void Harness::ReleaseHeldInto(QWindow* window) {
    for (int code : held_) {
        SendKey(window, false, code);
        releasedInBox_.insert(code);
    }
    held_.clear();
}

void Harness::Choose(CFolderSelectDialog& dialog) {
    folderChoices.push_back(FolderChoice{dialog.Caption(), dialog.FolderNames()});
    ReleaseHeldInto(dialog.windowHandle());
    int key = kEnter;
    do {
        key = kEnter;
        if (!folderKeys.empty()) {
            key = folderKeys.front();
            folderKeys.pop_front();
        }
        SendKey(dialog.windowHandle(), true, key);
        if (key == kEnter || key == kEscape)
            pendingReleases_.push_back(key); // the key-up reaches the screen once the dialog has gone
        else
            SendKey(dialog.windowHandle(), false, key);
    } while (key != kEnter && key != kEscape && dialog.isVisible());
    if (dialog.isVisible()) {
        ADD_FAILURE() << "the folder choice did not close on " << (key == kEnter ? "Enter" : "Escape");
        dialog.reject();
    }
    QTimer::singleShot(0, &boxWatch_, [this] { FlushReleases(); });
}

void Harness::Answer(QMessageBox& box) {
    boxes.push_back(platform::MessageBoxCall{box.text(), box.windowTitle(), FlagsOf(box)});
    if (whileBoxShown)
        whileBoxShown(boxes.back());
    ReleaseHeldInto(box.windowHandle());
    int answer = platform::mb::kIdOk;
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    const int key = answer == platform::mb::kIdOk ? kEnter : kEscape;
    // The box closes on the key-down, as a question box on the instrument does.
    SendKey(box.windowHandle(), true, key);
    pendingReleases_.push_back(key);
    if (box.isVisible()) {
        ADD_FAILURE() << "the box \"" << box.text().toStdString() << "\" did not close on "
                      << (key == kEnter ? "Enter" : "Escape");
        box.done(answer == platform::mb::kIdOk ? QMessageBox::Ok : QMessageBox::Cancel);
    }
    // A box opened by a timer has no key call to return to: the key-ups follow from the loop.
    QTimer::singleShot(0, &boxWatch_, [this] { FlushReleases(); });
}

void Harness::FlushReleases() {
    std::vector<int> releases;
    releases.swap(pendingReleases_);
    for (int code : releases)
        SendKey(Frame().windowHandle(), false, code);
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
    return QTest::qWaitFor(condition, std::max(milliseconds, kPatienceMs));
}

QImage Harness::Capture() {
    return Frame().grab().toImage().convertToFormat(QImage::Format_RGB32);
}
