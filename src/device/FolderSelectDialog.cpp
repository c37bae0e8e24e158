#include "device/FolderSelectDialog.h"

#include "device/LibraryTransfer.h"
#include "device/SettingView.h"
#include "platform/Files.h"
#include "platform/Fonts.h"
#include "platform/Keys.h"
#include "platform/MessageBox.h"
#include "ui/Colors.h"
#include "ui/MainFrm.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include <array>

namespace {

// Dialog units of the layout in pixels, for the stock font of the panel.
constexpr int kBaseUnitX = 7;
constexpr int kBaseUnitY = 14;

QRect DialogRect(int x, int y, int width, int height) {
    return QRect(x * kBaseUnitX / 4, y * kBaseUnitY / 8, width * kBaseUnitX / 4, height * kBaseUnitY / 8);
}

constexpr int kDialogWidth = 206;
constexpr int kDialogHeight = 178;
const QRect kHintRect(QPoint(10, 7), QPoint(350 - 1, 40 - 1)); // pixels
constexpr int kIconSize = 16;

enum class Arrow { kUp, kLeft, kRight, kDown };

// The digit keys that stand in for the arrow keys.
struct ArrowKey {
    int digit;
    Arrow arrow;
};
constexpr std::array<ArrowKey, 4> kArrowKeys{{
    {'1', Arrow::kUp},
    {'4', Arrow::kLeft},
    {'6', Arrow::kRight},
    {'7', Arrow::kDown},
}};

CFolderSelectDialog::Responder& TestResponder() {
    static CFolderSelectDialog::Responder responder;
    return responder;
}

// The folder picture beside each name.
QIcon FolderIcon() {
    QPixmap picture(kIconSize, kIconSize);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setPen(ColorFromRef(0x008080));
    painter.setBrush(ColorFromRef(0x00FFFF));
    painter.drawRect(1, 2, 6, 3);   // the tab
    painter.drawRect(1, 4, 13, 10); // the folder
    return QIcon(picture);
}

} // namespace

// A list in the list-view arrangement: names top to bottom, wrapping into columns.
class CFolderSelectDialog::FolderList : public QListWidget {
public:
    explicit FolderList(QWidget* parent) : QListWidget(parent) {}

    // What an arrow key does to the list.
    void Step(Arrow arrow) {
        const QModelIndex next = moveCursor(ActionOf(arrow), Qt::NoModifier);
        if (next.isValid())
            setCurrentIndex(next);
    }

private:
    static CursorAction ActionOf(Arrow arrow) {
        switch (arrow) {
        case Arrow::kUp:
            return MoveUp;
        case Arrow::kLeft:
            return MoveLeft;
        case Arrow::kRight:
            return MoveRight;
        case Arrow::kDown:
            break;
        }
        return MoveDown;
    }
};

void CFolderSelectDialog::SetResponderForTesting(Responder responder) {
    TestResponder() = std::move(responder);
}

CFolderSelectDialog::CFolderSelectDialog(QWidget* parent, const QString& baseFolder, const QString& filter)
    : QDialog(parent) {
    if (!baseFolder.isEmpty() && baseFolder != QStringLiteral("/"))
        baseFolder_ = baseFolder;
    if (!filter.isEmpty())
        filter_ = filter;
    setModal(true);
    setFont(platform::StockFont());
    const QRect frame = DialogRect(0, 0, kDialogWidth, kDialogHeight);
    setFixedSize(frame.size());
}

CFolderSelectDialog::~CFolderSelectDialog() = default;

void CFolderSelectDialog::Build() {
    list_ = new FolderList(this);
    list_->setGeometry(DialogRect(7, 28, 192, 137));
    list_->setViewMode(QListView::ListMode);
    list_->setFlow(QListView::TopToBottom);
    list_->setWrapping(true);
    list_->setResizeMode(QListView::Adjust);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setIconSize(QSize(kIconSize, kIconSize));
    list_->setSortingEnabled(true);
    list_->sortItems(Qt::AscendingOrder);

    cancelButton_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton_->setGeometry(DialogRect(7, 151, 50, 14));
    cancelButton_->setAutoDefault(false);
    okButton_ = new QPushButton(QStringLiteral("ok"), this);
    okButton_->setGeometry(DialogRect(149, 151, 50, 14));
    okButton_->setDefault(true);
    connect(okButton_, &QPushButton::clicked, this, &CFolderSelectDialog::OnOK);
    connect(cancelButton_, &QPushButton::clicked, this, &CFolderSelectDialog::OnCancel);

    hint_ = new QLabel(this);
    hint_->setGeometry(kHintRect);
    hint_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // Every key of the dialog passes here first, whichever control has the focus.
    for (QWidget* widget : std::initializer_list<QWidget*>{this, list_, okButton_, cancelButton_})
        widget->installEventFilter(this);
}

bool CFolderSelectDialog::OnInitDialog() {
    if (initialised_)
        return true;
    initialised_ = true;
    Build();

    if (!library_transfer::UsbDrivePresent()) {
        setWindowTitle(QString::fromUtf8(kNoDriveCaption));
        hint_->setText(QString::fromUtf8(kNoDriveHint));
        return true;
    }
    const QIcon icon = FolderIcon();
    if (!baseFolder_.isEmpty() && !filter_.isEmpty()) {
        // A linked folder is not offered: nothing is read through a link off the drive.
        for (const platform::FileInfo& entry : library_transfer::OpenOnDrive(baseFolder_).List(filter_).entries) {
            if (entry.IsFolder())
                list_->addItem(new QListWidgetItem(icon, entry.name));
        }
    }
    list_->setFocus(Qt::OtherFocusReason);
    if (list_->count() > 0) {
        list_->setCurrentRow(0);
        list_->item(0)->setSelected(true);
    }
    setWindowTitle(QString::fromUtf8(kCaptionPrefix) + baseFolder_);
    hint_->setText(QString::fromUtf8(kHint));
    return true;
}

int CFolderSelectDialog::DoModal() {
    platform::NoteModalShown();
    OnInitDialog();
    if (const Responder& responder = TestResponder()) {
        if (responder(*this) == kIdOk)
            OnOK();
        else
            OnCancel();
        return result() == QDialog::Accepted ? kIdOk : kIdCancel;
    }
    return exec() == QDialog::Accepted ? kIdOk : kIdCancel;
}

bool CFolderSelectDialog::PreTranslateMessage(const KeyMessage& message) {
    for (const ArrowKey& arrow : kArrowKeys) {
        if (arrow.digit != message.code)
            continue;
        // A list moves on an arrow's key-down; its key-up does nothing.
        if (message.type == KeyMessage::KeyDown && list_ != nullptr)
            list_->Step(arrow.arrow);
        return true;
    }
    return false;
}

bool CFolderSelectDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool down = event->type() == QEvent::KeyPress;
        const int code = platform::VirtualKeyOf(*key);
        if (code != 0 && PreTranslateMessage(KeyMessage{down ? KeyMessage::KeyDown : KeyMessage::KeyUp, code,
                                                        down && key->isAutoRepeat()}))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CFolderSelectDialog::OnOK() {
    if (CMainFrame* frame = MainFrame(); frame != nullptr && frame->settingView != nullptr)
        frame->settingView->importFolder = ChosenFolder();
    accept();
}

void CFolderSelectDialog::OnCancel() {
    reject();
}

QString CFolderSelectDialog::HintText() const {
    return hint_ != nullptr ? hint_->text() : QString();
}

QStringList CFolderSelectDialog::FolderNames() const {
    QStringList names;
    for (int row = 0; list_ != nullptr && row < list_->count(); ++row)
        names.append(list_->item(row)->text());
    return names;
}

QString CFolderSelectDialog::SelectedName() const {
    if (list_ == nullptr)
        return QString();
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? QString() : selected.front()->text();
}

QString CFolderSelectDialog::ChosenFolder() const {
    const QString name = SelectedName();
    return name.isEmpty() ? QString() : baseFolder_ + name;
}

QListWidget* CFolderSelectDialog::GetList() const {
    return list_;
}
