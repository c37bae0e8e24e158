#pragma once

// The list of the instrument's settings: one row per setting with its name and the
// text of its value. The current row is kept by index and drawn inverted; keys 7 and 1
// move it down and up.

#include "ui/KeypadTable.h"

class CSettingListCtrl : public CKeypadTable {
    Q_OBJECT
public:
    enum Column { kHiddenColumn = 0, kNameColumn = 1, kValueColumn = 2, kColumns = 3 };
    // The value column is wider than a third of the list by this much, the name column narrower.
    static constexpr int kValueColumnExtra = 20;

    explicit CSettingListCtrl(QWidget* parent = nullptr);

    void InsertColumn(int column, const QString& header, Qt::Alignment alignment);
    void InsertItem(int row, const QString& text);
    void SetItemText(int row, int column, const QString& text);
    QString GetItemText(int row, int column) const;

    int GetCurrentRow() const { return currentRow_; }
    void SetCurrentRow(int row) { currentRow_ = row; }
    int GetRowCount() const { return rowCount_; }
    void SetRowCount(int count) { rowCount_ = count; }

    // Column widths for a client width `width`: none for the hidden column, the value
    // column a third and a little, the name column the rest.
    void LayoutColumns(int width);

    bool IsHighlighted(int row) const override { return row == currentRow_; }
    // Keys 7 and 1 move the current row down and up; at the ends it stays.
    void OnKeyDown(int code) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int currentRow_ = -1;
    int rowCount_ = 0;
};
