#include "platform/Document.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class NamedView : public CView {
public:
    NamedView(std::string name, std::string& log) : name_(std::move(name)), log_(log) {}
    void OnUpdate(CView*, long hint, void*) override {
        log_ += name_ + std::to_string(hint) + " ";
        if (onUpdate)
            onUpdate();
    }
    std::function<void()> onUpdate;

private:
    std::string name_;
    std::string& log_;
};

} // namespace

TEST(DocumentViews, HintsReachEveryViewButTheSenderInAttachOrder) {
    std::string log;
    CDocument doc;
    NamedView a("a", log), b("b", log), c("c", log);
    doc.AddView(&a);
    doc.AddView(&b);
    doc.AddView(&c);
    EXPECT_EQ(b.GetDocument(), &doc);
    doc.UpdateAllViews(nullptr, 3);
    doc.UpdateAllViews(&b, 8);
    EXPECT_EQ(log, "a3 b3 c3 a8 c8 ");
}

TEST(DocumentViews, AViewThatLeavesDuringABroadcastIsSkipped) {
    std::string log;
    CDocument doc;
    NamedView a("a", log), b("b", log);
    doc.AddView(&a);
    doc.AddView(&b);
    a.onUpdate = [&] { doc.RemoveView(&b); };
    doc.UpdateAllViews(nullptr, 1);
    EXPECT_EQ(log, "a1 ");
    EXPECT_EQ(b.GetDocument(), nullptr);
    {
        NamedView shortLived("s", log);
        doc.AddView(&shortLived);
        EXPECT_EQ(doc.GetViews().size(), 2u);
    } // a destroyed view leaves its document
    EXPECT_EQ(doc.GetViews().size(), 1u);
}
