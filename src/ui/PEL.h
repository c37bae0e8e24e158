#pragma once

// The application: creates the document and the main frame, filters every key for
// idle timing, busy periods and the keypad driver's own codes, and powers off.

#include "platform/FormView.h"

#include <QDialog>
#include <QObject>

#include <memory>

class CMainFrame;
class CPELDoc;

// "Выключение": shown while the instrument prepares to switch off.
class CPowerOffDlg : public QDialog {
    Q_OBJECT
public:
    explicit CPowerOffDlg(QWidget* parent = nullptr);
};

class CPELApp : public QObject {
    Q_OBJECT
public:
    explicit CPELApp(QObject* parent = nullptr);
    ~CPELApp() override;

    // Creates the document (from the home folder's "pel.ini") and the frame with all
    // its panes, on the serial device `portPath`, and shows the frame.
    bool InitInstance(const QString& homeFolder, const QString& portPath);

    // The key filter: true consumes the key message.
    bool PreTranslateMessage(const KeyMessage& message);
    void SetBusy(bool busy);
    bool IsInputEnabled() const { return inputEnabled_; }
    void ShowPowerOffDialog();
    // Asks the system to power off; when it refuses, the program keeps running and the
    // operator is told.
    void PowerOff();

    CPELDoc* GetDocument() const { return doc_.get(); }
    CMainFrame* GetMainFrame() const { return frame_.get(); }
    CPowerOffDlg* GetPowerOffDialog() const { return powerOffDialog_.get(); }

private:
    bool inputEnabled_ = true;
    bool saveOnKey_ = true; // the first 'P' of a run saves the settings
    bool waitCursor_ = false;
    bool tellingPowerOffRefused_ = false;
    std::unique_ptr<CPELDoc> doc_;
    std::unique_ptr<CMainFrame> frame_;
    std::unique_ptr<CPowerOffDlg> powerOffDialog_;
};
