#pragma once

// The whole program in the test's process: the offscreen screen, the simulated board
// on a pseudo-terminal, keys injected where real key presses enter, message boxes
// answered from a script and recorded, and power-off requests recorded.

#include "document/PELDoc.h"
#include "platform/MessageBox.h"
#include "sim/SimulatedBoard.h"
#include "ui/MainFrm.h"
#include "ui/PEL.h"

#include <QImage>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class Harness {
public:
    // Starts the program with `home` as its home folder (a fresh one when empty).
    explicit Harness(const QString& home = QString());
    // Starts the program on the board's link `linkPath` (a symbolic link the board points
    // at its pseudo-terminal). With `startBoard` false nothing answers there until
    // StartBoard(): a board switched on after the program.
    Harness(const QString& home, const QString& linkPath, bool startBoard);
    // Starts the program with a board that simulates `scenario`'s cables.
    Harness(const QString& home, const sim::Scenario& scenario);
    bool StartBoard();
    ~Harness();
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    CPELApp& App() { return *app_; }
    CMainFrame& Frame() { return *app_->GetMainFrame(); }
    CPELDoc& Doc() { return *app_->GetDocument(); }
    sim::SimulatedBoard& Board() { return *board_; }
    const QString& Home() const { return home_; }

    // Keys by virtual-key code, entering as the window system delivers them.
    void KeyDown(int code, bool autoRepeat = false);
    void KeyUp(int code, bool autoRepeat = false);
    void Tap(int code);
    // A key held for `repeats` auto-repeated key-downs after the first.
    void Hold(int code, int repeats);

    // Time passes: the event loop runs.
    void Run(int milliseconds);
    bool RunUntil(const std::function<bool()>& condition, int milliseconds);

    // The screen as the operator sees it.
    QImage Capture();

    // Answers for the next message boxes (OK when the script runs out), and the boxes shown.
    std::deque<int> answers;
    std::vector<platform::MessageBoxCall> boxes;
    int powerOffRequests = 0;

private:
    void Launch(const QString& home, const QString& portPath);

    std::unique_ptr<QTemporaryDir> temporaryHome_;
    QString home_;
    QString linkPath_;
    std::unique_ptr<sim::SimulatedBoard> board_;
    std::unique_ptr<CPELApp> app_;
};
