#include "ui/StatusView.h"

#include "document/PELDoc.h"
#include "platform/Fonts.h"

#include <QLabel>

namespace {

constexpr int kBold = 700;

QLabel* MakeLabel(QWidget* parent, int left, int top, int right, int bottom) {
    auto* label = new QLabel(parent);
    label->setGeometry(left, top, right - left, bottom - top);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

CStatusView::CStatusView(QWidget* parent) : CFormView(parent) {
    setFocusPolicy(Qt::NoFocus);
    title_ = MakeLabel(this, 10, 2, 160, 25);
    title_->setFont(platform::DerivedFont(kBold));
    batteryIcon_ = MakeLabel(this, 473, 3, 510, 25);
    clock_ = MakeLabel(this, 510, 2, 640, 25);
    CDOCDateTime now;
    clock_->setText(now.GetStr());
}

void CStatusView::OnUpdate(CView*, long hint, void*) {
    if (hint != hint::kClockTick)
        return;
    if (auto* doc = static_cast<CPELDoc*>(GetDocument()))
        clock_->setText(doc->clock.GetStr());
}

void CStatusView::SetTitle(const QString& title) {
    title_->setText(title);
}

QString CStatusView::GetTitle() const {
    return title_->text();
}

QString CStatusView::GetClockText() const {
    return clock_->text();
}
