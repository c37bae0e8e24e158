#pragma once

// The document/view base of the program: one document owns the measurement state, its
// views are told of every change through UpdateAllViews with a numeric hint.

#include <vector>

class CDocument;

class CView {
public:
    virtual ~CView();

    // A change of the document; `sender` is the view that caused it, or null.
    virtual void OnUpdate(CView* sender, long hint, void* object) = 0;
    virtual void OnActivateView(bool activate, CView* activated, CView* deactivated);

    CDocument* GetDocument() const { return document_; }

private:
    friend class CDocument;
    CDocument* document_ = nullptr;
};

class CDocument {
public:
    CDocument() = default;
    virtual ~CDocument();
    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;

    // Attaches a view at the end of the list (a view belongs to one document at a time).
    void AddView(CView* view);
    void RemoveView(CView* view);
    const std::vector<CView*>& GetViews() const { return views_; }

    // Calls OnUpdate on every attached view but the sender, in the order they were attached.
    void UpdateAllViews(CView* sender, long hint = 0, void* object = nullptr);

private:
    std::vector<CView*> views_;
};
