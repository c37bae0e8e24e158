#pragma once

// The choice of an exported library folder on the USB drive: the sub-folders of a base
// folder whose names match a filter, oldest export first. Digit keys 1, 4, 6 and 7 stand
// for the arrow keys; Enter confirms. On OK the settings view's import folder becomes
// the chosen folder (empty when there was none to choose).

#include "platform/FormView.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>

class QLabel;
class QListWidget;
class QPushButton;

class CFolderSelectDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kIdOk = 1;
    static constexpr int kIdCancel = 2;

    // Tests answer the dialog instead of a modal run: the responder sees the dialog after
    // its initialisation, may work it (keys, selection) and returns kIdOk or kIdCancel,
    // which then presses that button. An empty responder restores modal runs.
    using Responder = std::function<int(CFolderSelectDialog&)>;
    static void SetResponderForTesting(Responder responder);

    // `baseFolder` ends in '/'; a base folder of "/" or "" and an empty filter are ignored.
    CFolderSelectDialog(QWidget* parent, const QString& baseFolder, const QString& filter);
    ~CFolderSelectDialog() override;

    // Runs the dialog; kIdOk or kIdCancel.
    int DoModal();

    bool OnInitDialog();
    // Digits for arrows; true consumes the key message.
    bool PreTranslateMessage(const KeyMessage& message);
    void OnOK();
    void OnCancel();

    const QString& BaseFolder() const { return baseFolder_; }
    const QString& Filter() const { return filter_; }
    QString Caption() const { return windowTitle(); }
    QString HintText() const;
    // The names listed, top to bottom.
    QStringList FolderNames() const;
    // The selected entry's name, empty when none is selected.
    QString SelectedName() const;
    // What OK gives: base folder + selected name, or empty.
    QString ChosenFolder() const;
    QListWidget* GetList() const;

    static constexpr const char* kNoDriveCaption = "Вставьте сменный носитель";
    static constexpr const char* kNoDriveHint = "Сначала вставьте флэш-накопитель в USB-порт!";
    static constexpr const char* kCaptionPrefix = "Выберите папку: ";
    static constexpr const char* kHint = "Для выбора папки используйте кнопки [Вверх] и [Вниз].\n"
                                         "Выбор подтверждается кнопкой [Ввод]. ";

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build();

    QString baseFolder_;
    QString filter_;
    class FolderList;
    FolderList* list_ = nullptr;
    QLabel* hint_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    bool initialised_ = false;
};
