#pragma once

// The whole program in the test's process: the offscreen screen, the simulated board
// on a pseudo-terminal, keys injected where real key presses enter, message boxes
// shown for real and answered as the operator does (the opening key let go into the
// box, then Enter or Escape pressed and released), and power-off requests recorded.

#include "document/PELDoc.h"
#include "platform/MessageBox.h"
#include "sim/SimulatedBoard.h"
#include "ui/MainFrm.h"
#include "ui/PEL.h"

#include <QImage>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <vector>

class CFolderSelectDialog;
class QMessageBox;

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
    // Runs until `condition` holds; false when it never did. `milliseconds` is what it
    // takes on an idle machine; the wait goes on to kPatienceMs, so that a busy machine
    // only makes a test slower, never fail.
    bool RunUntil(const std::function<bool()>& condition, int milliseconds);
    static constexpr int kPatienceMs = 30000;

    // The screen as the operator sees it.
    QImage Capture();

    // Answers for the next message boxes (OK when the script runs out: Enter, Cancel:
    // Escape), and the boxes shown.
    std::deque<int> answers;
    std::vector<platform::MessageBoxCall> boxes;
    // Runs while a box waits, before it is answered: the world may change meanwhile.
    std::function<void(const platform::MessageBoxCall&)> whileBoxShown;
    // Keys pressed into the folder choices as the operator would (digits move, Enter
    // confirms, Escape cancels; Enter when the script runs out), and what each showed.
    struct FolderChoice {
        QString caption;
        QStringList folders;
    };
    std::deque<int> folderKeys;
    std::vector<FolderChoice> folderChoices;
    int powerOffRequests = 0;
    bool powerOffAccepted = true; // false: the system refuses to power off

private:
    void Launch(const QString& home, const QString& portPath);
    void SendKey(QWindow* window, bool down, int code, bool autoRepeat = false);
    // Looks for a message box that waits for the operator, from any event loop.
    void WatchForBoxes();
    void Answer(QMessageBox& box);
    void Choose(CFolderSelectDialog& dialog);
    // The operator lets go of the key that opened a box or dialog: its key-up goes there.
    void ReleaseHeldInto(QWindow* window);
    // The key-ups of the keys that closed a box reach the screen once the box has gone.
    void FlushReleases();

    QTimer boxWatch_;
    QPointer<QMessageBox> answered_;
    QPointer<CFolderSelectDialog> chosen_;
    std::set<int> held_;          // keys the test holds down
    std::set<int> releasedInBox_; // held keys let go while a box was open
    std::vector<int> pendingReleases_;

    std::unique_ptr<QTemporaryDir> temporaryHome_;
    QString home_;
    QString linkPath_;
    std::unique_ptr<sim::SimulatedBoard> board_;
    std::unique_ptr<CPELApp> app_;
};
