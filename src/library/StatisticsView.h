#pragma once

// The reflectogram library ("БИБЛИОТЕКА РФГ") under the shortened measurement view: the
// stored files, loading them into the stored-trace slots 2-4 for comparison, deleting
// them, and naming a new recording right after it has been saved as "[save].pel".

#include "platform/FormView.h"

#include <QPointer>
#include <QString>

class CChannel;
class CEnterChar;
class CMyListCtrl;
class CPELButton;
class CPELDoc;

namespace statistics_view {

inline constexpr int kEditorId = 1;
inline constexpr int kEditorIndent = 5;
inline constexpr int kStoredNameLength = 9; // longer names are cut on the soft keys
inline constexpr const char* kSaveName = "[save]";

// The caption of F8-F10 for the file name in the slot.
QString StoredKeyCaption(const QString& fileName);
// The name proposed for a new recording: the default prefix numbered by the listed files,
// any other prefix as it is.
QString ProposedName(const QString& prefix, int listedFiles);
// A name a recording may be given: not empty, not the temporary file's, no folder in it.
bool IsAcceptableName(const QString& name);
// The name after `name` in its series: its closing number plus one ("РЕФЛ3" after
// "РЕФЛ2"), or 2 appended when it ends in no number ("КАБЕЛЬ2" after "КАБЕЛЬ").
QString NextNameInSeries(const QString& name);

} // namespace statistics_view

class CStatisticsView : public CFormView {
    Q_OBJECT
public:
    explicit CStatisticsView(QWidget* parent = nullptr);
    ~CStatisticsView() override;

    void OnInitialUpdate() override;
    void OnActivateView(bool activate, CView* activated, CView* deactivated) override;
    void OnUpdate(CView* sender, long hint, void* object) override;
    void OnKeyDown(int code, bool repeat) override;
    void OnKeyUp(int code) override;
    bool PreTranslateMessage(const KeyMessage& message) override;

    // F8-F10 show the slots' file names and states.
    void RefreshStoredKeys();

    CMyListCtrl* List() const { return list_; }
    // The name editor while a new recording is being named, else null.
    CEnterChar* Editor() const;
    CFormView* ReturnView() const { return returnView_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    CPELDoc& Doc() const;
    void LayoutList();
    void LabelSoftKeys();
    void EmptyHiddenSlots();
    void ForgetUnlistedSlots();
    void MarkCurrentTraceKey();
    void RefreshPreview();

    void RunHorizontalKey(int code);
    void RunVerticalKey(int code, CPELButton* key);
    void ToggleLine(int slot, const CPELButton& key);
    void ToggleStored(int slot, const CPELButton& key);
    bool LoadIntoSlot(int slot);
    void DeleteSelected();
    void DeleteAll();
    void ReturnToPreviousView();

    void NameNewRecording();
    bool OpenNameEditor(const QString& text);
    void DestroyEditor();
    void CommitName();
    enum class Naming { kKeepExisting, kReplace };
    bool StoreUnderName(const QString& name, Naming naming);
    void FinishNaming();
    void KeepUnnamedRecording();

    CMyListCtrl* list_ = nullptr;
    QPointer<CEnterChar> editor_;
    QString proposedName_; // what the name editor offered for the recording being named
    CFormView* returnView_ = nullptr;
    bool ready_ = false;
};
