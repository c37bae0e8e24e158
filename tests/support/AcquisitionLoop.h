#pragma once

// Stands in for the measurement view's part of the acquisition cycle: it starts
// acquisition ('R', 'A', 'D') and answers every new trace with the next task.

#include "document/PELDoc.h"
#include "link/ProtocolKS518_Ref.h"

#include <vector>

class AcquisitionLoop : public CView {
public:
    AcquisitionLoop(CPELDoc& doc, CProtocolKS518_Ref& port) : doc_(doc), port_(port) { doc_.AddView(this); }
    ~AcquisitionLoop() override {
        if (GetDocument() != nullptr)
            doc_.RemoveView(this);
    }

    void Start() {
        port_.Stop();
        doc_.UpdateAllViews(nullptr, hint::kQueueReset);
        doc_.SetOutParams(doc_.acquisitionMode);
        doc_.UpdateAllViews(nullptr, hint::kQueueSetup);
        doc_.UpdateAllViews(nullptr, hint::kQueueTask);
    }

    void OnUpdate(CView*, long hint, void*) override {
        hints.push_back(hint);
        if (hint != hint::kNewTrace)
            return;
        ++traces;
        if (doc_.acquisitionMode == 'L')
            doc_.acquisitionMode = 'Y';
        doc_.SetOutParams(doc_.acquisitionMode);
        doc_.UpdateAllViews(nullptr, hint::kQueueTask);
    }

    int traces = 0;
    std::vector<long> hints;

private:
    CPELDoc& doc_;
    CProtocolKS518_Ref& port_;
};
