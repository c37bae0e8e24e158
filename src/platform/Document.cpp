#include "platform/Document.h"

#include <algorithm>

CView::~CView() {
    if (document_ != nullptr)
        document_->RemoveView(this);
}

void CView::OnActivateView(bool, CView*, CView*) {}

CDocument::~CDocument() {
    for (CView* view : views_)
        view->document_ = nullptr;
}

void CDocument::AddView(CView* view) {
    if (view->document_ != nullptr)
        view->document_->RemoveView(view);
    views_.push_back(view);
    view->document_ = this;
}

void CDocument::RemoveView(CView* view) {
    views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
    if (view->document_ == this)
        view->document_ = nullptr;
}

void CDocument::UpdateAllViews(CView* sender, long hint, void* object) {
    // A view may attach or detach views while it handles the hint: walk a snapshot,
    // skipping views that have left meanwhile.
    const std::vector<CView*> snapshot = views_;
    for (CView* view : snapshot) {
        if (view == sender || std::find(views_.begin(), views_.end(), view) == views_.end())
            continue;
        view->OnUpdate(sender, hint, object);
    }
}
