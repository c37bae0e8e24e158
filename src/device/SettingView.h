#pragma once

// "НАСТРОЙКИ ПРИБОРА": five instrument-wide settings, each edited with its own editor,
// and the transfers of the reflectogram and velocity libraries to and from the USB
// drive. Leaving the view writes the settings to the state file.

#include "device/SettingListCtrl.h"
#include "platform/FormView.h"

#include <vector>

class CDOCParam;
class CPELButton;
class CPELDoc;

namespace library_transfer {
struct LibraryKind;
}

class CSettingView : public CFormView {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 18;
    static constexpr int kEditorId = 1;
    static constexpr int kRows = 5;
    enum Row { kSpeedRow, kClockRow, kAutoStopRow, kFileNameRow, kAdapterRow };
    // The power-supply type whose output the operator must check before use.
    static constexpr int kExternalAdapterIndex = 1;

    static constexpr const char* kTitle = "НАСТРОЙКИ ПРИБОРА";
    static constexpr const char* kAdapterWarningCaption = "Внимание!";
    static constexpr const char* kAdapterWarning =
        "Внимание!\n\nУбедитесь в соответствии выходных характеристик источника питания следующим значениям:\n"
        " - выходное напряжение 12 В;\n - выходной ток не меннее 3 А;\n - (+) на центральном контакте разъёма.\n\n"
        "При несоблюдении вышеуказанных условий возможен выход из строя источника питания и прибора.";

    explicit CSettingView(QWidget* parent = nullptr);
    ~CSettingView() override;

    void OnInitialUpdate() override;
    void OnUpdate(CView* sender, long hint, void* object) override;
    void OnActivateView(bool activate, CView* activated, CView* deactivated) override;
    void OnKeyDown(int code, bool repeat) override;
    void OnKeyUp(int code) override;
    // Enter's key-down is the view's, never the open editor's.
    bool PreTranslateMessage(const KeyMessage& message) override;

    // F1: the current row's setting opens its editor over the value cell.
    void BeginEditCurrent();
    // Enter released while editing: the setting takes the edited value.
    void EndEditCurrent();
    // F5, or Enter while nothing is edited: the settings go to the state file and the
    // view gives way to the one it was entered from.
    void SaveAndLeave();

    void ExportReflectogramLibrary();
    void ImportReflectogramLibrary();
    void ExportVelocityLibrary();
    void ImportVelocityLibrary();

    bool IsEditingCurrent() const;
    CSettingListCtrl& GetList() const { return *list_; }
    CDOCParam* GetSetting(int row) const;
    CFormView* GetReturnView() const { return returnView_; }

    bool keyDownSeen = false;
    // The folder chosen in the folder choice (no trailing '/'); empty when none was.
    QString importFolder;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    CPELDoc& Doc() const;
    void LabelSoftKeys();
    void RunSoftKey(int code);
    // True when the library was exported; the operator has been told either way.
    bool ExportLibrary(const library_transfer::LibraryKind& kind);
    void ImportLibrary(const library_transfer::LibraryKind& kind);
    void OnSize();

    CSettingListCtrl* list_; // a child of the view
    CFormView* returnView_ = nullptr;
    std::vector<CDOCParam*> settings_; // the document's, row by row
    bool laidOut_ = false;
};
