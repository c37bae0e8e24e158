#include "document/PELParam.h"
#include "document/ParamEditor.h"

#include "platform/Clock.h"
#include "platform/Gpio.h"
#include "platform/SimulatedGpio.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using Transaction = platform::SimulatedClockChip::Transaction;

// What an editor was opened with, and what it answers; the test plays the operator.
struct EditorRecord {
    enum Kind { List, DateTime, Text };
    Kind kind = List;
    QRect rect;      // the list's rectangle, or the editor's
    QRect fieldRect; // lists only
    QWidget* parent = nullptr;
    int id = 0;
    std::uint32_t style = 0;
    QStringList names;
    int selected = -1;
    QString text;
    QDateTime time;
    bool alive = true;
    bool destroyed = false;
};

class FakeEditor final : public CParamEditor {
public:
    explicit FakeEditor(std::shared_ptr<EditorRecord> record) : record_(std::move(record)) {}
    ~FakeEditor() override { record_->destroyed = true; }

    bool IsAlive() const override { return record_->alive; }
    int SelectedIndex() const override { return record_->selected; }
    QString Text() const override { return record_->text; }
    QDateTime Time() const override { return record_->time; }

private:
    std::shared_ptr<EditorRecord> record_;
};

class FakeFactory final : public CParamEditorFactory {
public:
    std::unique_ptr<CParamEditor> CreateList(const QRect& listRect, const QRect& fieldRect, QWidget* parent, int id,
                                             const QStringList& names, int selected) override {
        auto record = Record(EditorRecord::List);
        record->rect = listRect;
        record->fieldRect = fieldRect;
        record->parent = parent;
        record->id = id;
        record->names = names;
        record->selected = selected;
        return std::make_unique<FakeEditor>(record);
    }
    std::unique_ptr<CParamEditor> CreateDateTime(std::uint32_t style, const QRect& rect, QWidget* parent, int id,
                                                 const QString& text) override {
        auto record = Record(EditorRecord::DateTime);
        record->style = style;
        record->rect = rect;
        record->parent = parent;
        record->id = id;
        record->text = text;
        return std::make_unique<FakeEditor>(record);
    }
    std::unique_ptr<CParamEditor> CreateText(const QRect& rect, QWidget* parent, int id, const QString& text) override {
        auto record = Record(EditorRecord::Text);
        record->rect = rect;
        record->parent = parent;
        record->id = id;
        record->text = text;
        return std::make_unique<FakeEditor>(record);
    }

    EditorRecord& Last() { return *records.back(); }
    std::vector<std::shared_ptr<EditorRecord>> records;

private:
    std::shared_ptr<EditorRecord> Record(EditorRecord::Kind kind) {
        records.push_back(std::make_shared<EditorRecord>());
        records.back()->kind = kind;
        return records.back();
    }
};

// Any non-null parent will do: the fake factory only passes it on.
QWidget* const kParent = reinterpret_cast<QWidget*>(std::uintptr_t{0x1000});

class ParamEditing : public ::testing::Test {
protected:
    void SetUp() override { SetParamEditorFactory(&factory); }
    void TearDown() override {
        SetParamEditorFactory(nullptr);
        SetVelocityDisplayMode(0);
    }

    FakeFactory factory;
};

TEST(DroppedListRect, BottomMovesDownTwiceTheHeightPerName) {
    EXPECT_EQ(DroppedListRect(QRect(10, 100, 200, 20), 6), QRect(10, 100, 200, 260));
    EXPECT_EQ(DroppedListRect(QRect(10, 100, 200, 20), 6).bottom() - QRect(10, 100, 200, 20).bottom(), 240);
    EXPECT_EQ(DroppedListRect(QRect(0, 0, 50, 18), 2), QRect(0, 0, 50, 18 + 72));
}

TEST_F(ParamEditing, AutoStopListReachesFurtherDownWithTheCurrentIntervalSelected) {
    CDOCAutoStop autoStop;
    autoStop.SetIndex(3);
    const QRect field(300, 120, 160, 20);
    autoStop.BeginEdit(0, field, kParent, 7);

    ASSERT_EQ(factory.records.size(), 1u);
    const EditorRecord& list = factory.Last();
    EXPECT_EQ(list.kind, EditorRecord::List);
    EXPECT_EQ(list.rect.top(), field.top());
    EXPECT_EQ(list.rect.left(), field.left());
    EXPECT_EQ(list.rect.width(), field.width());
    EXPECT_EQ(list.rect.bottom(), field.bottom() + 240) << "20 x 2 x 6 names";
    EXPECT_EQ(list.fieldRect, field) << "shown on the given rectangle";
    EXPECT_EQ(list.parent, kParent);
    EXPECT_EQ(list.id, 7);
    EXPECT_EQ(list.names, (QStringList{"Выкл", "2 мин.", "4 мин.", "8 мин.", "32 мин.", "64 мин."}));
    EXPECT_EQ(list.selected, 3);
    EXPECT_TRUE(autoStop.IsEditing());
}

TEST_F(ParamEditing, AutoStopTakesTheSelectedInterval) {
    CDOCAutoStop autoStop;
    autoStop.BeginEdit(0, QRect(0, 0, 100, 20), kParent, 1);
    factory.Last().selected = 5;
    autoStop.EndEdit();
    EXPECT_EQ(autoStop.GetIndex(), 5);
    EXPECT_EQ(autoStop.GetMinutes(), 64);
    EXPECT_TRUE(factory.Last().destroyed);
    EXPECT_FALSE(autoStop.IsEditing());
}

TEST_F(ParamEditing, SpeedListShowsTheModeLabelsWithTheCurrentModeSelected) {
    SetVelocityDisplayMode(0);
    CDOCSpeed speed;
    speed.BeginEdit(0, QRect(50, 60, 80, 18), kParent, 2);
    EXPECT_EQ(factory.Last().names, (QStringList{"КУ", "V/2"}));
    EXPECT_EQ(factory.Last().selected, 0);
    EXPECT_EQ(factory.Last().rect.bottom(), QRect(50, 60, 80, 18).bottom() + 18 * 2 * 2);
}

TEST_F(ParamEditing, EndingTheSpeedEditOnTheSecondEntrySetsVOverTwo) {
    SetVelocityDisplayMode(0);
    CDOCSpeed speed;
    speed.BeginEdit(0, QRect(50, 60, 80, 18), kParent, 2);
    factory.Last().selected = 1;
    EXPECT_EQ(VelocityDisplayMode(), 0) << "nothing changes before the edit ends";
    speed.EndEdit();
    EXPECT_EQ(VelocityDisplayMode(), 1);
    EXPECT_EQ(speed.GetStr(), "V/2");
    EXPECT_FALSE(speed.IsEditing());
    EXPECT_TRUE(factory.Last().destroyed);
}

TEST_F(ParamEditing, AdapterListOfTheTwoAdapters) {
    CDOCAdapter adapter;
    adapter.SetIndex(1);
    adapter.BeginEdit(0, QRect(0, 200, 300, 20), kParent, 3);
    EXPECT_EQ(factory.Last().names, (QStringList{"ES18E12-120 12V, 1.5A", "PSU40A-3 12V, 3.33A"}));
    EXPECT_EQ(factory.Last().selected, 1);
    EXPECT_EQ(factory.Last().rect.bottom(), QRect(0, 200, 300, 20).bottom() + 80);
    factory.Last().selected = 0;
    adapter.EndEdit();
    EXPECT_EQ(adapter.GetIndex(), 0);
}

TEST_F(ParamEditing, ASecondBeginEditReplacesTheOpenEditor) {
    CDOCAdapter adapter;
    adapter.BeginEdit(0, QRect(0, 0, 100, 20), kParent, 3);
    adapter.BeginEdit(0, QRect(0, 40, 100, 20), kParent, 3);
    ASSERT_EQ(factory.records.size(), 2u);
    EXPECT_TRUE(factory.records[0]->destroyed);
    EXPECT_FALSE(factory.records[1]->destroyed);
    EXPECT_TRUE(adapter.IsEditing());
    factory.records[0]->selected = 0;
    factory.records[1]->selected = 1;
    adapter.EndEdit();
    EXPECT_EQ(adapter.GetIndex(), 1) << "the result comes from the editor that is open";
}

TEST_F(ParamEditing, EndEditWithoutAnEditorChangesNothing) {
    CDOCAutoStop autoStop;
    autoStop.SetIndex(2);
    EXPECT_FALSE(autoStop.IsEditing());
    autoStop.EndEdit();
    EXPECT_EQ(autoStop.GetIndex(), 2);
    EXPECT_TRUE(factory.records.empty());
}

TEST_F(ParamEditing, AnEditorWhoseWindowIsGoneGivesNoResult) {
    CDOCAutoStop autoStop;
    autoStop.SetIndex(2);
    autoStop.BeginEdit(0, QRect(0, 0, 100, 20), kParent, 1);
    factory.Last().selected = 4;
    factory.Last().alive = false;
    EXPECT_TRUE(autoStop.IsEditing()) << "the edit runs until the caller ends it";
    autoStop.EndEdit();
    EXPECT_EQ(autoStop.GetIndex(), 2);
    EXPECT_FALSE(autoStop.IsEditing());

    CDOCFileName fileName;
    fileName.BeginEdit(0, QRect(0, 0, 100, 20), kParent, 1);
    factory.Last().alive = false;
    fileName.EndEdit();
    EXPECT_EQ(fileName.GetStr(), "РЕФЛ");
}

TEST(ParamEditingWithoutFactory, NoEditorOpens) {
    SetParamEditorFactory(nullptr);
    CDOCSpeed speed;
    CDOCFileName fileName;
    CDOCDateTime clock;
    speed.BeginEdit(0, QRect(0, 0, 100, 20), nullptr, 1);
    fileName.BeginEdit(0, QRect(0, 0, 100, 20), nullptr, 1);
    clock.BeginEdit(0, QRect(0, 0, 100, 20), nullptr, 1);
    EXPECT_FALSE(speed.IsEditing());
    EXPECT_FALSE(fileName.IsEditing());
    EXPECT_FALSE(clock.IsEditing());
}

TEST_F(ParamEditing, FileNameEditStartsWithThePrefixAndTakesTheEnteredText) {
    CDOCFileName fileName;
    fileName.SetName("КАБЕЛЬ");
    const QRect rect(100, 200, 300, 20);
    fileName.BeginEdit(0, rect, kParent, 9);
    EXPECT_EQ(factory.Last().kind, EditorRecord::Text);
    EXPECT_EQ(factory.Last().rect, rect);
    EXPECT_EQ(factory.Last().id, 9);
    EXPECT_EQ(factory.Last().text, "КАБЕЛЬ");
    EXPECT_TRUE(fileName.IsEditing());

    factory.Last().text = "ЛИНИЯ2";
    fileName.EndEdit();
    EXPECT_EQ(fileName.GetStr(), "ЛИНИЯ2");
    EXPECT_FALSE(fileName.IsEditing());
    EXPECT_TRUE(factory.Last().destroyed);
}

TEST_F(ParamEditing, ACopiedParameterHasNoEditorOfItsOwn) {
    CDOCDateTime clock;
    clock.BeginEdit(0, QRect(0, 0, 200, 20), kParent, 1);
    const CDOCDateTime copy = clock;
    EXPECT_FALSE(copy.IsEditing());
    EXPECT_TRUE(clock.IsEditing());
    EXPECT_FALSE(factory.Last().destroyed);
}

// The clock edit against the process-wide simulated pins, whose clock chip the program's
// real-time clock reaches over the two-wire bus.
class ClockEditing : public ParamEditing {
protected:
    void SetUp() override {
        ParamEditing::SetUp();
        ASSERT_EQ(platform::Gpio(), &platform::SimulatedPins());
    }
    void TearDown() override {
        platform::SetLocalTime(QDateTime::currentDateTime());
        ParamEditing::TearDown();
    }

    platform::SimulatedClockChip& chip_ = platform::SimulatedPins().ClockChip();
};

TEST_F(ClockEditing, BeginEditGivesTheEditorTheClockText) {
    CDOCDateTime clock;
    clock.SetTime(QDateTime(QDate(2011, 3, 7), QTime(14, 25, 9)));
    clock.BeginEdit(0x0080, QRect(200, 150, 220, 22), kParent, 5);
    EXPECT_EQ(factory.Last().kind, EditorRecord::DateTime);
    EXPECT_EQ(factory.Last().text, "07.03.2011 14:25:09");
    EXPECT_EQ(factory.Last().style, 0x0080u);
    EXPECT_EQ(factory.Last().rect, QRect(200, 150, 220, 22));
    EXPECT_EQ(factory.Last().id, 5);
    EXPECT_TRUE(clock.IsEditing());
}

TEST_F(ClockEditing, EndEditWritesTheChipAndTheLocalTime) {
    CDOCDateTime clock;
    clock.BeginEdit(0, QRect(200, 150, 220, 22), kParent, 5);
    const QDateTime edited(QDate(2009, 2, 28), QTime(23, 59, 7));
    factory.Last().time = edited;
    chip_.ClearTransactions();

    clock.EndEdit();

    // Seconds first, one transaction per register; 28.02.2009 is a Saturday (6).
    std::vector<Transaction> writes;
    for (const Transaction& transaction : chip_.Transactions()) {
        if (!transaction.read && transaction.firstRegister < 7)
            writes.push_back(transaction);
    }
    const std::vector<Transaction> expected{{false, 0, {0x07}}, {false, 1, {0x59}}, {false, 2, {0x23}}, {false, 3, {6}},
                                            {false, 4, {0x28}}, {false, 5, {0x02}}, {false, 6, {0x09}}};
    EXPECT_EQ(writes, expected);

    const qint64 offByMs = platform::LocalNow().msecsTo(edited);
    EXPECT_LE(offByMs, 0);
    EXPECT_GT(offByMs, -1000) << "the local time runs on from the edited second";
    EXPECT_EQ(clock.GetTime().date(), edited.date());
    EXPECT_EQ(clock.GetTime().time().second(), 7);
    EXPECT_FALSE(clock.IsEditing());
    EXPECT_TRUE(factory.Last().destroyed);
}

TEST_F(ClockEditing, EditingOnlyTheTimeOfDayKeepsTheDayOfWeekTheSystemReports) {
    ASSERT_TRUE(platform::SetLocalTime(QDateTime(QDate(2015, 7, 1), QTime(8, 0, 0))));
    const int dayOfWeek = platform::LocalNow().date().dayOfWeek(); // a Wednesday
    CDOCDateTime clock;
    clock.BeginEdit(0, QRect(200, 150, 220, 22), kParent, 5);
    factory.Last().time = QDateTime(QDate(2015, 7, 1), QTime(9, 30, 15));
    chip_.ClearTransactions();

    clock.EndEdit();

    std::vector<std::uint8_t> written(7, 0xFF);
    for (const Transaction& transaction : chip_.Transactions()) {
        if (!transaction.read && transaction.firstRegister < 7 && transaction.data.size() == 1)
            written[static_cast<std::size_t>(transaction.firstRegister)] = transaction.data[0];
    }
    EXPECT_EQ(written,
              (std::vector<std::uint8_t>{0x15, 0x30, 0x09, static_cast<std::uint8_t>(dayOfWeek), 0x01, 0x07, 0x15}));
    EXPECT_EQ(platform::LocalNow().date().dayOfWeek(), dayOfWeek);
    EXPECT_LE(std::abs(platform::LocalNow().secsTo(QDateTime(QDate(2015, 7, 1), QTime(9, 30, 15)))), 1);
}

TEST_F(ClockEditing, AnEditorWithoutATimeLeavesTheClockAlone) {
    CDOCDateTime clock;
    clock.BeginEdit(0, QRect(200, 150, 220, 22), kParent, 5);
    factory.Last().alive = false;
    factory.Last().time = QDateTime(QDate(2009, 2, 28), QTime(23, 59, 7));
    chip_.ClearTransactions();
    clock.EndEdit();
    EXPECT_TRUE(chip_.Transactions().empty());
    EXPECT_FALSE(clock.IsEditing());
}

} // namespace
