#include "document/PELDoc.h"

#include "platform/Files.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

class Document : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home_.isValid()); }
    void TearDown() override { SetVelocityDisplayMode(0); }

    QString Home() const { return home_.path() + QLatin1Char('/'); }
    std::unique_ptr<CPELDoc> Create() const { return std::make_unique<CPELDoc>(Home()); }

    // A state file as the instrument writes it, with some keys changed.
    void WriteStateFile(const std::function<void(CPELDoc&)>& change) const {
        auto doc = Create();
        change(*doc);
        ASSERT_TRUE(doc->WriteStateFile());
    }

    QTemporaryDir home_;
};

} // namespace

TEST_F(Document, WithoutStateFileTheDefaultsApply) {
    auto doc = Create();
    EXPECT_EQ(doc->storageFolder, Home() + QStringLiteral("save/"));
    EXPECT_EQ(doc->ch[0].state, 254);
    EXPECT_EQ(doc->ch[1].state, 1);
    for (std::size_t i = 0; i < 5; ++i) {
        const CChannel& slot = doc->ch[i];
        EXPECT_EQ(slot.number, static_cast<int>(i));
        EXPECT_EQ(slot.filePath, doc->storageFolder);
        EXPECT_EQ(slot.fileName, QStringLiteral("xxx"));
        EXPECT_EQ(slot.scale.GetIndex(), 0);
        EXPECT_EQ(slot.pulse.GetIndex(), 2);
        EXPECT_DOUBLE_EQ(slot.scale.vfactor.GetKU(), 1.5);
        EXPECT_EQ(slot.gain.GetIndex(), 100);
        EXPECT_EQ(slot.scale.GetCursorPx(0), 0);
        EXPECT_EQ(slot.scale.GetCursorPx(1), 250);
        EXPECT_EQ(slot.scale._activeCursorIndex, 1);
        EXPECT_EQ(slot.average.GetIndex(), 0);
    }
    for (std::size_t i = 2; i < 5; ++i)
        EXPECT_EQ(doc->ch[i].state, 0);
    EXPECT_EQ(doc->displayParams, &doc->ch[0]);
    EXPECT_EQ(doc->currentTrace, &doc->ch[0]);
    EXPECT_EQ(doc->acquisitionMode, 'Y');
}

TEST_F(Document, StoredStateComesBackButTheDisplaySwitchesStartOff) {
    WriteStateFile([](CPELDoc& doc) {
        doc.ch[0].state = 1;
        doc.ch[1].state = 254;
        ASSERT_TRUE(doc.ch[0].scale.SetIndex(5));
        ASSERT_TRUE(doc.ch[0].gain.SetIndex(33));
        doc.view_mode = 254;
        doc.bp_mode = 254;
        doc.autoStop.SetIndex(2);
    });
    auto doc = Create();
    EXPECT_EQ(doc->ch[1].state, 254);
    EXPECT_EQ(doc->displayParams, &doc->ch[1]) << "only line 2 is shown";
    EXPECT_EQ(doc->ch[1].scale.GetIndex(), 5) << "line 1's parameters reach every slot";
    EXPECT_EQ(doc->ch[3].gain.GetIndex(), 33);
    EXPECT_EQ(doc->view_mode, 1);
    EXPECT_EQ(doc->bp_mode, 1);
    EXPECT_EQ(doc->autoStop.GetIndex(), 2);
}

TEST_F(Document, BothLinesStoredHiddenShowLineOne) {
    WriteStateFile([](CPELDoc& doc) {
        doc.ch[0].state = 1;
        doc.ch[1].state = 1;
    });
    auto doc = Create();
    EXPECT_EQ(doc->ch[0].state, 254);
    EXPECT_EQ(doc->ch[1].state, 1);
}

TEST_F(Document, ReferenceIsTheShownStoredTraceWithTheLargestRange) {
    auto doc = Create();
    ASSERT_TRUE(doc->ch[2].scale.SetIndex(6));
    ASSERT_TRUE(doc->ch[4].scale.SetIndex(6));
    ASSERT_TRUE(doc->ch[3].scale.SetIndex(3));
    doc->ch[2].state = doc->ch[3].state = doc->ch[4].state = 254;
    EXPECT_EQ(doc->SelectReference(), &doc->ch[4]) << "equal ranges: the later slot";
    ASSERT_TRUE(doc->ch[3].scale.SetIndex(8));
    EXPECT_EQ(doc->SelectReference(), &doc->ch[3]);
    doc->ch[3].state = 1;
    EXPECT_EQ(doc->SelectReference(), &doc->ch[4]);
    doc->ch[2].state = doc->ch[4].state = 0;
    doc->ch[0].state = 1;
    doc->ch[1].state = 254;
    EXPECT_EQ(doc->SelectReference(), &doc->ch[1]);
    doc->ch[1].state = 1;
    EXPECT_EQ(doc->SelectReference(), &doc->ch[0]);
}

TEST_F(Document, ChannelStateFollowsTheReference) {
    auto doc = Create();
    EXPECT_FALSE(doc->SetChannelState(2, 7));
    EXPECT_FALSE(doc->SetChannelState(5, 254));
    EXPECT_FALSE(doc->SetChannelState(-1, 254));
    EXPECT_EQ(doc->ch[2].state, 0);

    CChannel& stored = doc->ch[3];
    ASSERT_TRUE(stored.scale.SetIndex(4));
    for (std::size_t j = 0; j < stored.scale.samples.size(); ++j)
        stored.scale.samples[j] = static_cast<std::uint8_t>(j / 16);
    ASSERT_TRUE(doc->SetChannelState(3, 254));
    EXPECT_EQ(doc->displayParams, &stored);
    EXPECT_EQ(doc->ch[0].scale.GetIndex(), 4) << "the lines follow the stored trace's window";
    EXPECT_EQ(doc->ch[1].scale.GetIndex(), 4);
    EXPECT_EQ(stored.scale.points[100], 100) << "its points are taken from its samples"; // 100 * 16 / 16

    ASSERT_TRUE(doc->SetChannelState(3, 0));
    EXPECT_EQ(doc->displayParams, &doc->ch[0]);

    // The current trace stays a shown one: a hidden stored trace hands it to a shown
    // line, line 2 first; with nothing else shown, line 1 is shown again.
    ASSERT_TRUE(doc->SetChannelState(3, 254));
    doc->currentTrace = &stored;
    ASSERT_TRUE(doc->SetChannelState(0, 1));
    ASSERT_TRUE(doc->SetChannelState(1, 254));
    ASSERT_TRUE(doc->SetChannelState(3, 1));
    EXPECT_EQ(doc->currentTrace, &doc->ch[1]);
    ASSERT_TRUE(doc->SetChannelState(1, 1)); // the current trace, and the last one shown
    EXPECT_EQ(doc->currentTrace, &doc->ch[0]);
    EXPECT_EQ(doc->ch[0].state, 254);
    EXPECT_EQ(doc->displayParams, &doc->ch[0]);
}

TEST_F(Document, WindowTaskFromTheShownLines) {
    auto doc = Create();
    ASSERT_TRUE(doc->ch[0].scale.SetIndex(6));
    ASSERT_TRUE(doc->ch[0].scale.SetZoom(4));
    ASSERT_TRUE(doc->ch[0].scale.SetShiftSamples(1000));
    ASSERT_TRUE(doc->ch[0].pulse.SetIndex(9));
    ASSERT_TRUE(doc->ch[0].average.SetIndex(4));

    doc->ch[0].state = 254;
    doc->ch[1].state = 254;
    doc->SetOutParams('Y');
    const OutParams& out = doc->outParams;
    EXPECT_EQ(out.g, 3);
    EXPECT_EQ(out.r, 3);
    EXPECT_EQ(out.mode, 'Y');
    EXPECT_EQ(out.decimation, 15);
    EXPECT_EQ(out.microplan, 1038);
    EXPECT_EQ(out.pulseCode, 1000);
    EXPECT_EQ(out.averagingCode, 16);
    EXPECT_EQ(out.gainCode, 100);
    EXPECT_EQ(out.continuation, 0);
    EXPECT_EQ(doc->inParams.destinationA.data(), doc->ch[0].scale.points.data());
    EXPECT_EQ(doc->inParams.destinationB.size(), 500u);

    doc->ch[0].state = 1;
    doc->SetOutParams('Y');
    EXPECT_EQ(out.g, 2);
    EXPECT_EQ(out.r, 2);

    doc->ch[0].state = 254;
    doc->bp_mode = 254;
    doc->currentTrace = &doc->ch[0];
    doc->SetOutParams('Y');
    EXPECT_EQ(out.g, 2);
    EXPECT_EQ(out.r, 1);
    doc->currentTrace = &doc->ch[1];
    doc->SetOutParams('Y');
    EXPECT_EQ(out.g, 1);
    EXPECT_EQ(out.r, 2);
}

TEST_F(Document, CaptureTaskAndUnknownLetters) {
    auto doc = Create();
    ASSERT_TRUE(doc->ch[0].scale.SetIndex(8));
    ASSERT_TRUE(doc->ch[0].scale.SetZoom(6));
    doc->currentTrace = &doc->ch[1];
    doc->SetOutParams('L');
    const OutParams captured = doc->outParams;
    EXPECT_EQ(captured.mode, 'L');
    EXPECT_EQ(captured.g, 2);
    EXPECT_EQ(captured.r, 2);
    EXPECT_EQ(captured.decimation, 15) << "the storage factor of the range, not the zoom";
    EXPECT_EQ(captured.microplan, 38);
    EXPECT_EQ(doc->inParams.destinationB.data(), doc->ch[1].scale.samples.data());
    EXPECT_EQ(doc->inParams.destinationB.size(), 8000u);

    doc->currentTrace = &doc->ch[3]; // a stored trace names no line: the codes stay
    doc->SetOutParams('L');
    EXPECT_EQ(doc->outParams.g, 2);

    doc->SetOutParams('Q');
    EXPECT_EQ(doc->outParams.mode, 'L');
    EXPECT_EQ(doc->outParams.decimation, captured.decimation);
}

TEST_F(Document, DeleteAllStoredRemovesReflectogramsAndScreenCopies) {
    auto doc = Create();
    ASSERT_EQ(doc->ch[0].SaveTrace(QStringLiteral("ОДИН.pel")), 0);
    ASSERT_TRUE(platform::WriteFileAtomically(doc->storageFolder + QStringLiteral("SCREEN 2026.png"), "png"));
    ASSERT_TRUE(platform::WriteFileAtomically(doc->storageFolder + QStringLiteral("tableku.tku"), "table"));
    EXPECT_EQ(doc->DeleteAllStored(), 0);
    const auto left = platform::FindFiles(doc->storageFolder + QStringLiteral("*"));
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].name, QStringLiteral("tableku.tku"));
}

TEST_F(Document, LeftoversOfAnInterruptedSaveAreRemovedAtStart) {
    ASSERT_TRUE(platform::CreateFolderPath(Home() + QStringLiteral("save/")));
    ASSERT_TRUE(platform::WriteFileAtomically(Home() + QStringLiteral("pel.ini.tmp-a1B2c3"), "half"));
    ASSERT_TRUE(platform::WriteFileAtomically(Home() + QStringLiteral("save/ЛИНИЯ.pel.tmp-Zz9Yy8"), "half"));
    ASSERT_TRUE(platform::WriteFileAtomically(Home() + QStringLiteral("save/ЛИНИЯ.pel"), "whole"));
    ASSERT_TRUE(platform::WriteFileAtomically(Home() + QStringLiteral("save/notes.tmp-1"), "not ours"));
    auto doc = Create();
    EXPECT_FALSE(platform::FileExists(Home() + QStringLiteral("pel.ini.tmp-a1B2c3")));
    EXPECT_FALSE(platform::FileExists(Home() + QStringLiteral("save/ЛИНИЯ.pel.tmp-Zz9Yy8")));
    EXPECT_TRUE(platform::FileExists(Home() + QStringLiteral("save/ЛИНИЯ.pel")));
    EXPECT_TRUE(platform::FileExists(Home() + QStringLiteral("save/notes.tmp-1")));
}
