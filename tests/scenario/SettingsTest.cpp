// The instrument settings "НАСТРОЙКИ ПРИБОРА" driven by keys: leaving and the state
// file, editing, the power-supply warning, the clock row, and the library transfers to
// and from a folder standing in for the USB drive, with the folder choice answered by
// script.
#include "scenario/Harness.h"

#include "device/BatteryView.h"
#include "device/FolderSelectDialog.h"
#include "device/SettingListCtrl.h"
#include "device/SettingView.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Keys.h"
#include "platform/Paths.h"
#include "platform/SimulatedGpio.h"
#include "support/FileSizeLimit.h"
#include "ui/PELView.h"
#include "ui/StatusView.h"
#include "ui/TableView.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>

namespace {

constexpr int kF6 = vk::kF6;
constexpr int kF7 = vk::kF6 + 1;
constexpr int kF9 = vk::kF6 + 3;

using platform::mb::kIdCancel;
using platform::mb::kIdOk;

std::map<QString, QByteArray> Snapshot(const QString& folder) {
    std::map<QString, QByteArray> entries;
    for (const platform::FileInfo& file : platform::FindFiles(folder + QStringLiteral("*"))) {
        QByteArray bytes("<dir>");
        if (!file.IsFolder())
            platform::ReadWholeFile(folder + file.name, bytes);
        entries[file.name] = bytes;
    }
    return entries;
}

// Every file of a folder tree, by path below it.
std::map<QString, QByteArray> Tree(const QString& folder, const QString& prefix = QString()) {
    std::map<QString, QByteArray> entries;
    for (const auto& [name, bytes] : Snapshot(folder)) {
        if (bytes == "<dir>") {
            entries[prefix + name + QLatin1Char('/')] = bytes;
            entries.merge(Tree(folder + name + QLatin1Char('/'), prefix + name + QLatin1Char('/')));
        } else {
            entries[prefix + name] = bytes;
        }
    }
    return entries;
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(drive_.isValid());
        usb = platform::AsFolder(drive_.path());
        velmar = usb + QStringLiteral("Velmar/");
        // Something on the drive, so that it counts as inserted.
        ASSERT_TRUE(platform::WriteFileAtomically(usb + QStringLiteral("readme.txt"), "drive"));
        SetUsb(usb);
        save = h.Doc().storageFolder;
        ASSERT_TRUE(platform::CreateFolderPath(save));
        // The folder choice takes the folder it preselects unless a test says otherwise.
        CFolderSelectDialog::SetResponderForTesting([this](CFolderSelectDialog& dialog) {
            dialogCaptions.push_back(dialog.Caption());
            return dialogAnswer;
        });
    }
    void TearDown() override {
        // The pins are the process's: the next program starts without an adapter.
        platform::SimulatedPins().SetAdapterPlugged(false);
        platform::SimulatedPins().SetChargerLines(false, false);
        CFolderSelectDialog::SetResponderForTesting(nullptr);
        platform::SetFreeSpaceForTesting(std::nullopt);
        platform::SetLocalTime(QDateTime::currentDateTime());
    }

    static void SetUsb(const QString& folder) {
        platform::PlatformOptions options = platform::GetPlatformOptions();
        options.usb = folder;
        platform::SetPlatformOptions(options);
    }
    void Write(const QString& path, const QByteArray& bytes) {
        ASSERT_TRUE(platform::CreateFolderPath(platform::FolderPart(path)));
        ASSERT_TRUE(platform::WriteFileAtomically(path, bytes)) << path.toStdString();
    }
    QByteArray Read(const QString& path) {
        QByteArray bytes;
        platform::ReadWholeFile(path, bytes);
        return bytes;
    }
    CSettingView& View() { return *h.Frame().settingView; }
    void OpenSettings() {
        h.Tap('9');
        h.Run(20);
        ASSERT_EQ(h.Frame().GetActiveView(), h.Frame().settingView);
    }
    void PressSoftKey(int code) {
        h.Tap(code);
        h.Run(20);
    }
    // A minute that cannot turn over during the test.
    static void FixClock(const QDateTime& time) { ASSERT_TRUE(platform::SetLocalTime(time)); }

    Harness h;
    QString usb;
    QString velmar;
    QString save;
    int dialogAnswer = CFolderSelectDialog::kIdOk;
    std::vector<QString> dialogCaptions;

private:
    QTemporaryDir drive_;
};

// --- the view ------------------------------------------------------------------

TEST_F(SettingsTest, ShowsTheFiveSettingsWithTheirValues) {
    OpenSettings();
    EXPECT_EQ(h.Frame().statusView->GetTitle(), QStringLiteral("НАСТРОЙКИ ПРИБОРА"));
    const CSettingListCtrl& list = View().GetList();
    ASSERT_EQ(list.GetRowCount(), 5);
    const QStringList names{QStringLiteral("Скорость распространения"), QStringLiteral("Календарь"),
                            QStringLiteral("Автоотключение прибора"), QStringLiteral("Имя файла по умолчанию"),
                            QStringLiteral("Тип источника питания")};
    const std::vector<const CDOCParam*> settings{&h.Doc().speed, &h.Doc().clock, &h.Doc().autoStop, &h.Doc().fileName,
                                                 &h.Doc().adapter};
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(list.GetItemText(row, CSettingListCtrl::kNameColumn), names[row]);
        EXPECT_EQ(list.GetItemText(row, CSettingListCtrl::kValueColumn), settings[row]->GetStr());
    }
    EXPECT_EQ(list.GetCurrentRow(), 0);
}

TEST_F(SettingsTest, EnterOnARowNotBeingEditedSavesAndLeaves) {
    h.Tap(vk::kF5); // to the measurement view, so that it becomes the return view
    h.Run(20);
    ASSERT_EQ(h.Frame().GetActiveView(), h.Frame().pelView);
    OpenSettings();
    const QString ini = h.Home() + QStringLiteral("pel.ini");
    platform::DeleteFile(ini);
    h.Tap(vk::kEnter);
    h.Run(20);
    EXPECT_FALSE(h.Doc().speed.IsEditing());
    EXPECT_EQ(h.Frame().GetActiveView(), h.Frame().pelView);
    EXPECT_TRUE(platform::FileExists(ini));
}

TEST_F(SettingsTest, F5LeavesForTheChannelsMenuItCameFrom) {
    OpenSettings();
    PressSoftKey(vk::kF5);
    EXPECT_EQ(h.Frame().GetActiveView(), h.Frame().tableView);
}

TEST_F(SettingsTest, F1EditsAndEnterTakesTheValue) {
    OpenSettings();
    h.Tap('7'); // the auto power-off row
    h.Tap('7');
    ASSERT_EQ(View().GetList().GetCurrentRow(), CSettingView::kAutoStopRow);
    const int before = h.Doc().autoStop.GetIndex();
    PressSoftKey(vk::kF1);
    ASSERT_TRUE(h.Doc().autoStop.IsEditing());
    h.Tap('7'); // the next interval in the list
    h.Run(20);
    h.Tap(vk::kEnter);
    h.Run(20);
    EXPECT_FALSE(h.Doc().autoStop.IsEditing());
    EXPECT_EQ(h.Doc().autoStop.GetIndex(), before + 1);
    EXPECT_EQ(View().GetList().GetItemText(CSettingView::kAutoStopRow, CSettingListCtrl::kValueColumn),
              h.Doc().autoStop.GetStr());
    EXPECT_EQ(h.Frame().GetActiveView(), h.Frame().settingView); // Enter ended the edit only
}

TEST_F(SettingsTest, ThePowerSupplyWarningComesEachTimeTheEditEndsOnTheExternalAdapter) {
    OpenSettings();
    for (int i = 0; i < 4; ++i)
        h.Tap('7');
    ASSERT_EQ(View().GetList().GetCurrentRow(), CSettingView::kAdapterRow);
    ASSERT_EQ(h.Doc().adapter.GetIndex(), 0);
    auto warnings = [this] {
        int count = 0;
        for (const platform::MessageBoxCall& box : h.boxes)
            count += box.caption == QStringLiteral("Внимание!") &&
                     box.text == QString::fromUtf8(CSettingView::kAdapterWarning);
        return count;
    };

    PressSoftKey(vk::kF1);
    h.Tap('7'); // index 1
    h.Run(20);
    h.Tap(vk::kEnter);
    h.Run(20);
    EXPECT_EQ(h.Doc().adapter.GetIndex(), 1);
    EXPECT_EQ(warnings(), 1);

    PressSoftKey(vk::kF1); // again, keeping index 1
    h.Tap(vk::kEnter);
    h.Run(20);
    EXPECT_EQ(warnings(), 2);

    PressSoftKey(vk::kF1);
    h.Tap('1'); // back to index 0: no warning
    h.Run(20);
    h.Tap(vk::kEnter);
    h.Run(20);
    EXPECT_EQ(h.Doc().adapter.GetIndex(), 0);
    EXPECT_EQ(warnings(), 2);
    EXPECT_TRUE(h.boxes.back().text.contains(QStringLiteral("не меннее 3 А")));
}

TEST_F(SettingsTest, TheChargingScreenComingForwardCancelsAnOpenEdit) {
    h.Frame().KillTimer(CMainFrame::kStatusTimer); // the charger is polled by the test
    platform::SimulatedGpio& pins = platform::SimulatedPins();
    ASSERT_EQ(h.Doc().adapter.GetIndex(), 0) << "a supply that only charges";
    pins.SetAdapterPlugged(true);
    auto chargeAndPoll = [&](bool charging) {
        pins.SetChargerLines(false, charging);
        h.Doc().UpdateAllViews(nullptr, hint::kStatusRefresh);
    };
    const QDateTime begun(QDate(2011, 3, 7), QTime(14, 25, 0));
    FixClock(begun);
    h.Doc().clock.SetCurrent(); // what the clock editor starts from
    OpenSettings();
    h.Tap('7'); // the clock
    PressSoftKey(vk::kF1);
    ASSERT_TRUE(h.Doc().clock.IsEditing());
    FixClock(begun.addSecs(3600)); // an hour passes with the editor open
    chargeAndPoll(true);
    ASSERT_EQ(h.Frame().GetActiveView(), h.Frame().batteryView);
    EXPECT_FALSE(h.Doc().clock.IsEditing());
    EXPECT_GE(platform::LocalNow(), begun.addSecs(3600)) << "the clock is not set back";

    chargeAndPoll(false);
    h.Frame().SetActiveViewPEL(h.Frame().settingView, true);
    for (int i = 0; i < 3; ++i)
        h.Tap('7');
    ASSERT_EQ(View().GetList().GetCurrentRow(), CSettingView::kAdapterRow);
    PressSoftKey(vk::kF1);
    h.Tap('7'); // the supply the warning is about
    h.Run(20);
    ASSERT_TRUE(h.Doc().adapter.IsEditing());
    chargeAndPoll(true);
    ASSERT_EQ(h.Frame().GetActiveView(), h.Frame().batteryView);
    h.Run(20);
    EXPECT_FALSE(h.Doc().adapter.IsEditing());
    EXPECT_EQ(h.Doc().adapter.GetIndex(), 0);
    EXPECT_EQ(View().GetList().GetItemText(CSettingView::kAdapterRow, CSettingListCtrl::kValueColumn),
              h.Doc().adapter.GetStr());
    EXPECT_TRUE(h.boxes.empty());
}

TEST_F(SettingsTest, TheClockRowFollowsEveryTick) {
    OpenSettings();
    const CSettingListCtrl& list = View().GetList();
    auto clockText = [&list] { return list.GetItemText(CSettingView::kClockRow, CSettingListCtrl::kValueColumn); };

    h.Doc().clock.SetTime(QDateTime(QDate(2011, 3, 7), QTime(14, 25, 1)));
    h.Doc().UpdateAllViews(nullptr, hint::kClockTick);
    EXPECT_EQ(clockText(), QStringLiteral("07.03.2011 14:25:01"));
    h.Doc().clock.SetTime(QDateTime(QDate(2011, 3, 7), QTime(14, 25, 2)));
    h.Doc().UpdateAllViews(nullptr, hint::kClockTick);
    EXPECT_EQ(clockText(), QStringLiteral("07.03.2011 14:25:02"));

    // And the frame's own one-second tick drives it.
    const QString shown = clockText();
    EXPECT_TRUE(h.RunUntil([&] { return clockText() != shown; }, 5000));
    EXPECT_EQ(clockText(), h.Doc().clock.GetStr());
}

// --- exports ---------------------------------------------------------------------

TEST_F(SettingsTest, ExportWithAnEmptySaveFolderMakesTheDatedFolderAndSucceeds) {
    FixClock(QDateTime(QDate(2011, 3, 7), QTime(14, 25, 0)));
    OpenSettings();
    PressSoftKey(kF6);
    const QString folder = velmar + QStringLiteral("RFG 2011.03.07  14-25/");
    EXPECT_TRUE(platform::FolderExists(folder));
    EXPECT_TRUE(Snapshot(folder).empty());
    ASSERT_EQ(h.boxes.size(), 1u);
    EXPECT_EQ(h.boxes[0].caption, QStringLiteral("Экспорт библиотеки РФГ"));
    EXPECT_EQ(h.boxes[0].text, QStringLiteral("Библиотека РФГ успешно экспортирована\nв папку ") + folder);
}

TEST_F(SettingsTest, TwoExportsInOneMinuteShareTheFolder) {
    FixClock(QDateTime(QDate(2011, 3, 7), QTime(14, 25, 0)));
    Write(save + QStringLiteral("a.pel"), "first");
    OpenSettings();
    PressSoftKey(kF6);
    Write(save + QStringLiteral("a.pel"), "second");
    PressSoftKey(kF6);
    ASSERT_EQ(h.boxes.size(), 2u);
    EXPECT_EQ(h.boxes[0].text, h.boxes[1].text);
    const std::map<QString, QByteArray> expected{{QStringLiteral("RFG 2011.03.07  14-25/"), "<dir>"},
                                                 {QStringLiteral("RFG 2011.03.07  14-25/a.pel"), "second"}};
    EXPECT_EQ(Tree(velmar), expected);
}

TEST_F(SettingsTest, WithoutADriveTheExportAsksForOne) {
    SetUsb(QString());
    OpenSettings();
    PressSoftKey(vk::kF6 + 2);
    ASSERT_EQ(h.boxes.size(), 1u);
    EXPECT_EQ(h.boxes[0].caption, QStringLiteral("Экспорт библиотеки КУ"));
    EXPECT_EQ(h.boxes[0].text, QStringLiteral("Сначала вставьте флэш-накопитель в USB-порт"));
}

TEST_F(SettingsTest, ExportWithoutRoomTellsAndChangesNothing) {
    Write(save + QStringLiteral("a.pel"), QByteArray(64, 'a'));
    const auto driveBefore = Tree(usb);
    const auto saveBefore = Snapshot(save);
    platform::SetFreeSpaceForTesting(64);
    OpenSettings();
    PressSoftKey(kF6);
    ASSERT_EQ(h.boxes.size(), 1u);
    EXPECT_EQ(h.boxes[0].caption, QStringLiteral("Экспорт библиотеки РФГ: ошибка"));
    EXPECT_EQ(h.boxes[0].text, QStringLiteral("Недостаточно места на диске"));
    EXPECT_EQ(Tree(usb), driveBefore);
    EXPECT_EQ(Snapshot(save), saveBefore);
}

// --- imports ---------------------------------------------------------------------

TEST_F(SettingsTest, ReflectogramsTravelWithScreenCopiesAndComeBackWithoutThem) {
    FixClock(QDateTime(QDate(2011, 3, 7), QTime(14, 25, 0)));
    Write(save + QStringLiteral("a.pel"), "trace a");
    Write(save + QStringLiteral("shot.png"), "old screen");
    OpenSettings();
    PressSoftKey(kF6);
    const QString exported = velmar + QStringLiteral("RFG 2011.03.07  14-25/");
    const std::map<QString, QByteArray> carried{{QStringLiteral("a.pel"), "trace a"},
                                                {QStringLiteral("shot.png"), "old screen"}};
    EXPECT_EQ(Snapshot(exported), carried);

    // The library changes on the instrument; the import brings the exported traces back.
    platform::DeleteFile(save + QStringLiteral("a.pel"));
    Write(save + QStringLiteral("b.pel"), "trace b");
    Write(save + QStringLiteral("shot.png"), "new screen");
    h.boxes.clear();
    h.answers = {kIdCancel}; // no export first
    PressSoftKey(kF7);
    EXPECT_EQ(View().importFolder, velmar + QStringLiteral("RFG 2011.03.07  14-25"));
    const std::map<QString, QByteArray> imported{{QStringLiteral("a.pel"), "trace a"},
                                                 {QStringLiteral("shot.png"), "new screen"}};
    EXPECT_EQ(Snapshot(save), imported);
    ASSERT_EQ(h.boxes.size(), 2u);
    EXPECT_EQ(h.boxes[0].caption, QStringLiteral("Подтвердите перезапись библиотеки"));
    EXPECT_EQ(h.boxes[0].text, QStringLiteral("Вы собираетесь импортировать библиотеку взамен текущей.\n"
                                              "Хотите ли вы сначала сделать экспорт текущей библиотеки?"));
    EXPECT_EQ(h.boxes[1].caption, QStringLiteral("Импорт библиотеки РФГ"));
    EXPECT_EQ(h.boxes[1].text, QStringLiteral("Библиотека РФГ успешно импортирована."));
    EXPECT_EQ(dialogCaptions, std::vector<QString>{QStringLiteral("Выберите папку: ") + velmar});
}

TEST_F(SettingsTest, OkToExportFirstSavesTheVelocityLibraryToANewFolderBeforeTheImport) {
    FixClock(QDateTime(QDate(2011, 3, 7), QTime(14, 25, 0)));
    Write(save + QStringLiteral("tableku.tku"), "current table");
    Write(velmar + QStringLiteral("KU 2010.01.01  10-00/tableku.tku"), "imported table");
    OpenSettings();
    h.answers = {kIdOk};
    PressSoftKey(kF9);
    EXPECT_EQ(Read(velmar + QStringLiteral("KU 2011.03.07  14-25/tableku.tku")), QByteArray("current table"));
    EXPECT_EQ(Read(save + QStringLiteral("tableku.tku")), QByteArray("imported table"));
    ASSERT_EQ(h.boxes.size(), 3u);
    EXPECT_EQ(h.boxes[1].caption, QStringLiteral("Экспорт библиотеки КУ"));
    EXPECT_EQ(h.boxes[1].text, QStringLiteral("Библиотека КУ успешно экспортирована\nв папку ") + velmar +
                                   QStringLiteral("KU 2011.03.07  14-25/"));
    EXPECT_EQ(h.boxes[2].caption, QStringLiteral("Импорт библиотеки КУ"));
    EXPECT_EQ(h.boxes[2].text, QStringLiteral("Библиотека КУ успешно импортирована."));
}

TEST_F(SettingsTest, ImportWithoutRoomTellsAndChangesNothingOnEitherSide) {
    Write(save + QStringLiteral("old.pel"), "old");
    Write(velmar + QStringLiteral("RFG 2010.01.01  10-00/new.pel"), QByteArray(64, 'n'));
    const auto driveBefore = Tree(usb);
    const auto saveBefore = Snapshot(save);
    platform::SetFreeSpaceForTesting(64);
    OpenSettings();
    h.answers = {kIdCancel};
    PressSoftKey(kF7);
    ASSERT_EQ(h.boxes.size(), 2u);
    EXPECT_EQ(h.boxes[1].caption, QStringLiteral("Имспорт библиотеки РФГ: ошибка"));
    EXPECT_EQ(h.boxes[1].text, QStringLiteral("Недостаточно места на диске"));
    EXPECT_EQ(Tree(usb), driveBefore);
    EXPECT_EQ(Snapshot(save), saveBefore);
}

TEST_F(SettingsTest, ACopyFailingHalfWayLeavesTheLibraryAsItWas) {
    Write(save + QStringLiteral("old1.pel"), "old one");
    Write(save + QStringLiteral("old2.pel"), "old two");
    Write(save + QStringLiteral("shot.png"), "screen");
    Write(velmar + QStringLiteral("RFG 2010.01.01  10-00/a.pel"), QByteArray(100, 'a'));
    Write(velmar + QStringLiteral("RFG 2010.01.01  10-00/b.pel"), QByteArray(50000, 'b'));
    const auto saveBefore = Snapshot(save);
    OpenSettings();
    h.answers = {kIdCancel};
    {
        FileSizeLimit limit(8192);
        ASSERT_TRUE(limit.Active());
        PressSoftKey(kF7);
    }
    ASSERT_EQ(h.boxes.size(), 2u);
    EXPECT_EQ(h.boxes[1].caption, QStringLiteral("Имспорт библиотеки РФГ: ошибка"));
    EXPECT_EQ(h.boxes[1].text, platform::ErrorText(EFBIG));
    EXPECT_EQ(Snapshot(save), saveBefore);
    EXPECT_FALSE(platform::FolderExists(h.Home() + QStringLiteral("save.import/")));
}

TEST_F(SettingsTest, AFolderWithoutTheLibrarysFilesIsRefused) {
    Write(velmar + QStringLiteral("RFG 2010.01.01  10-00/shot.png"), "screen only");
    Write(save + QStringLiteral("old.pel"), "old");
    OpenSettings();
    PressSoftKey(kF7);
    ASSERT_EQ(h.boxes.size(), 1u);
    EXPECT_EQ(h.boxes[0].caption, QStringLiteral("Импорт библиотеки РФГ"));
    EXPECT_EQ(h.boxes[0].text, QStringLiteral("В этой папке нет данных для импорта!"));
    EXPECT_EQ(Read(save + QStringLiteral("old.pel")), QByteArray("old"));
}

TEST_F(SettingsTest, CancelInTheFolderChoiceDoesNothing) {
    Write(save + QStringLiteral("old.pel"), "old");
    Write(velmar + QStringLiteral("RFG 2010.01.01  10-00/new.pel"), "new");
    OpenSettings();
    View().importFolder = QStringLiteral("earlier choice");
    dialogAnswer = CFolderSelectDialog::kIdCancel;
    PressSoftKey(kF7);
    EXPECT_EQ(dialogCaptions.size(), 1u);
    EXPECT_EQ(View().importFolder, QStringLiteral("earlier choice"));
    EXPECT_TRUE(h.boxes.empty());
    const std::map<QString, QByteArray> unchanged{{QStringLiteral("old.pel"), "old"}};
    EXPECT_EQ(Snapshot(save), unchanged);
}

TEST_F(SettingsTest, WithoutADriveTheFolderChoiceSaysSoAndTheImportStops) {
    Write(save + QStringLiteral("old.pel"), "old");
    SetUsb(QString());
    OpenSettings();
    PressSoftKey(kF7);
    ASSERT_EQ(dialogCaptions.size(), 1u);
    EXPECT_EQ(dialogCaptions[0], QStringLiteral("Вставьте сменный носитель"));
    EXPECT_TRUE(View().importFolder.isEmpty());
    EXPECT_TRUE(h.boxes.empty());
    EXPECT_EQ(Read(save + QStringLiteral("old.pel")), QByteArray("old"));
}

} // namespace
