#include "ui/ListSelector.h"

#include "platform/Fonts.h"
#include "platform/FormView.h"
#include "platform/Keys.h"
#include "ui/ValueEditorSupport.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QListView>

#include <algorithm>

namespace {

constexpr int kNextKey = '7';
constexpr int kPreviousKey = '1';

} // namespace

CListSelector::CListSelector(QWidget* parent) : QComboBox(parent) {
    setFont(platform::StockFont());
    setFocusPolicy(Qt::StrongFocus);
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(this, &QComboBox::currentIndexChanged, this, &CListSelector::ShowSelectionInList);
}

CListSelector::~CListSelector() {
    // The list is the parent's child; the parent may already have deleted it.
    delete droppedList_.data();
}

bool CListSelector::Create(const QRect& rect, QWidget* parent, int id) {
    controlId_ = id;
    setParent(parent);
    setObjectName(QString::number(id));
    droppedHeight_ = rect.height();
    const int fieldHeight = std::min(sizeHint().height(), rect.height());
    setGeometry(QRect(rect.topLeft(), QSize(rect.width(), fieldHeight)));
    show();
    return true;
}

void CListSelector::LayoutAndShow(const QRect& rect) {
    setGeometry(rect);
    raise();
    PlaceDroppedList();
    setFocus();
    value_editor::BlankMainFrameSoftKeys();
}

// --- dropped list -----------------------------------------------------------

void CListSelector::ShowDropDown(bool show) {
    if (!show) {
        if (droppedList_ != nullptr)
            droppedList_->hide();
        return;
    }
    if (droppedList_ == nullptr) {
        auto* list = new QListView(parentWidget());
        list->setFont(font());
        list->setModel(model());
        list->setModelColumn(modelColumn());
        list->setFocusPolicy(Qt::NoFocus);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        connect(list, &QListView::clicked, this, [this](const QModelIndex& index) { setCurrentIndex(index.row()); });
        droppedList_ = list;
    }
    PlaceDroppedList();
    ShowSelectionInList();
    droppedList_->show();
    droppedList_->raise();
}

bool CListSelector::GetDroppedState() const {
    return droppedList_ != nullptr && droppedList_->isVisible();
}

QRect CListSelector::GetDroppedControlRect() const {
    return QRect(geometry().topLeft(), QSize(width(), std::max(droppedHeight_, height())));
}

void CListSelector::PlaceDroppedList() {
    if (droppedList_ == nullptr)
        return;
    // As tall as its entries need, within the room below the field; at least one entry.
    const int frame = 2 * droppedList_->frameWidth();
    const int rowHeight = std::max(droppedList_->sizeHintForRow(0), 1);
    const int needed = rowHeight * std::max(count(), 1) + frame;
    const int room = std::max(droppedHeight_ - height(), rowHeight + frame);
    droppedList_->setGeometry(QRect(QPoint(x(), y() + height()), QSize(width(), std::min(needed, room))));
}

void CListSelector::ShowSelectionInList() {
    if (droppedList_ == nullptr)
        return;
    const QModelIndex index = model()->index(currentIndex(), modelColumn(), rootModelIndex());
    droppedList_->setCurrentIndex(index);
    droppedList_->scrollTo(index);
}

// --- keys -------------------------------------------------------------------

void CListSelector::keyPressEvent(QKeyEvent* event) {
    // The combo box's own key handling (searching by the typed character) is not used.
    event->accept();
    if (const std::optional<KeyMessage> message = value_editor::KeyMessageOf(*event)) {
        value_editor::PostToParentView(*this, *message);
        OnKeyDown(message->code);
    }
}

void CListSelector::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
    if (const std::optional<KeyMessage> message = value_editor::KeyMessageOf(*event))
        value_editor::PostToParentView(*this, *message);
}

void CListSelector::OnKeyDown(int code) {
    const int current = currentIndex();
    if (code == kNextKey && current + 1 < count())
        setCurrentIndex(current + 1);
    else if (code == kPreviousKey && current > 0)
        setCurrentIndex(current - 1);
}

void CListSelector::focusOutEvent(QFocusEvent* event) {
    QComboBox::focusOutEvent(event);
    // The edit ends when the list loses the focus, exactly as on Return: the parent
    // closes it on Return's key-up, which it gets here whatever its key-up rule says.
    if (CFormView* view = value_editor::ParentView(*this))
        view->PostKeyUp(vk::kEnter);
}
