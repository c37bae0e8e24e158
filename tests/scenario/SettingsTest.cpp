// The instrument settings "НАСТРОЙКИ ПРИБОРА" driven by keys: leaving and the state
// file, editing, the power-supply warning, the clock row, and the library transfers to
// and from a folder standing in for the USB drive, through the real folder choice, with
// drives made as a careless or hostile PC would make them.
#include "scenario/Harness.h"

#include "device/BatteryView.h"
#include "device/FolderSelectDialog.h"
#include "device/SettingListCtrl.h"
#include "device/SettingView.h"
#include "document/ReflectogramFile.h"
#include "library/KUListCtrl.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Keys.h"
#include "platform/Paths.h"
#include "platform/SimulatedGpio.h"
#include "support/FileSizeLimit.h"
#include "ui/PELView.h"
#include "ui/StatusView.h"
#include "ui/TableView.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kF6 = vk::kF6;
constexpr int kF7 = vk::kF6 + 1;
constexpr int kF9 = vk::kF6 + 3;

using platform::mb::kIdCancel;
using platform::mb::kIdOk;

// A reflectogram as the instrument writes it, with `samples` samples of value `level`.
QByteArray Trace(char level, int samples = reflectogram::kMaxSamples) {
    const std::vector<std::uint8_t> bytes(static_cast<std::size_t>(samples), static_cast<std::uint8_t>(level));
    return reflectogram::Encode({samples, 1, 2, 3, 100, 0, 1500}, bytes.data());
}

QByteArray Table(const QString& brand, const QString& ku) {
    return ku_table::EncodeLines({brand, ku});
}

const QString kKept = QStringLiteral("\nТекущая библиотека сохранена без изменений.");
const QString kRfgError = QStringLiteral("Имспорт библиотеки РФГ: ошибка");

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
    }
    void TearDown() override {
        // The pins are the process's: the next program starts without an adapter.
        platform::SimulatedPins().SetAdapterPlugged(false);
        platform::SimulatedPins().SetChargerLines(false, false);
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

    // An import of the folder's library (F7 or F9), answering the question with `answer`.
    void Import(int key, int answer = kIdCancel) {
        h.answers = {answer};
        PressSoftKey(key);
    }

    Harness h;
    QString usb;
    QString velmar;
    QString save;

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

TEST_F(SettingsTest, ASaveThatFailsIsToldAndTheViewStillLeaves) {
    OpenSettings();
    {
        FileSizeLimit limit(16); // a full disk
        ASSERT_TRUE(limit.Active());
        h.Tap(vk::kEnter);
        h.Run(20);
    }
    ASSERT_EQ(h.boxes.size(), 1u);
    EXPECT_EQ(h.boxes[0].caption, QStringLiteral("Сохранить настройки: ошибка"));
    EXPECT_EQ(h.boxes[0].text, platform::ErrorText(EFBIG));
    EXPECT_EQ(h.boxes[0].flags, platform::mb::kOk | platform::mb::kIconStop);
    EXPECT_EQ(h.Frame().GetActiveView(), h.Frame().tableView);
    EXPECT_FALSE(platform::FileExists(h.Home() + QStringLiteral("pel.ini")));
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
    Write(save + QStringLiteral("a.pel"), Trace('a'));
    Write(save + QStringLiteral("shot.png"), "old screen");
    OpenSettings();
    PressSoftKey(kF6);
    const QString exported = velmar + QStringLiteral("RFG 2011.03.07  14-25/");
    const std::map<QString, QByteArray> carried{{QStringLiteral("a.pel"), Trace('a')},
                                                {QStringLiteral("shot.png"), "old screen"}};
    EXPECT_EQ(Snapshot(exported), carried);

    // The library changes on the instrument; the import brings the exported traces back.
    platform::DeleteFile(save + QStringLiteral("a.pel"));
    Write(save + QStringLiteral("b.pel"), Trace('b'));
    Write(save + QStringLiteral("shot.png"), "new screen");
    h.boxes.clear();
    Import(kF7); // no export first
    EXPECT_EQ(View().importFolder, velmar + QStringLiteral("RFG 2011.03.07  14-25"));
    const std::map<QString, QByteArray> imported{{QStringLiteral("a.pel"), Trace('a')},
                                                 {QStringLiteral("shot.png"), "new screen"}};
    EXPECT_EQ(Snapshot(save), imported);
    ASSERT_EQ(h.boxes.size(), 2u);
    EXPECT_EQ(h.boxes[0].caption, QStringLiteral("Подтвердите перезапись библиотеки"));
    EXPECT_EQ(h.boxes[0].text, QStringLiteral("Вы собираетесь импортировать библиотеку взамен текущей.\n"
                                              "Хотите ли вы сначала сделать экспорт текущей библиотеки?"));
    EXPECT_EQ(h.boxes[1].caption, QStringLiteral("Импорт библиотеки РФГ"));
    EXPECT_EQ(h.boxes[1].text,
              QStringLiteral("Библиотека РФГ успешно импортирована.\nПринято файлов: 1, отклонено: 0."));
    ASSERT_EQ(h.folderChoices.size(), 1u);
    EXPECT_EQ(h.folderChoices[0].caption, QStringLiteral("Выберите папку: ") + velmar);
}

TEST_F(SettingsTest, OkToExportFirstSavesTheVelocityLibraryToANewFolderBeforeTheImport) {
    FixClock(QDateTime(QDate(2011, 3, 7), QTime(14, 25, 0)));
    Write(save + QStringLiteral("tableku.tku"), Table(QStringLiteral("current"), QStringLiteral("1.500 ")));
    Write(velmar + QStringLiteral("KU 2010.01.01  10-00/tableku.tku"),
          Table(QStringLiteral("imported"), QStringLiteral("1.200 ")));
    OpenSettings();
    Import(kF9, kIdOk);
    EXPECT_EQ(Read(velmar + QStringLiteral("KU 2011.03.07  14-25/tableku.tku")),
              Table(QStringLiteral("current"), QStringLiteral("1.500 ")));
    EXPECT_EQ(Read(save + QStringLiteral("tableku.tku")), Table(QStringLiteral("imported"), QStringLiteral("1.200 ")));
    ASSERT_EQ(h.boxes.size(), 3u);
    EXPECT_EQ(h.boxes[1].caption, QStringLiteral("Экспорт библиотеки КУ"));
    EXPECT_EQ(h.boxes[1].text, QStringLiteral("Библиотека КУ успешно экспортирована\nв папку ") + velmar +
                                   QStringLiteral("KU 2011.03.07  14-25/"));
    EXPECT_EQ(h.boxes[2].caption, QStringLiteral("Импорт библиотеки КУ"));
    EXPECT_EQ(h.boxes[2].text,
              QStringLiteral("Библиотека КУ успешно импортирована.\nПринято файлов: 1, отклонено: 0."));
}

TEST_F(SettingsTest, ImportWithoutRoomTellsAndChangesNothingOnEitherSide) {
    Write(save + QStringLiteral("old.pel"), Trace('o'));
    Write(velmar + QStringLiteral("RFG 2010.01.01  10-00/new.pel"), Trace('n'));
    const auto driveBefore = Tree(usb);
    const auto saveBefore = Snapshot(save);
    platform::SetFreeSpaceForTesting(64);
    OpenSettings();
    Import(kF7);
    ASSERT_EQ(h.boxes.size(), 2u);
    EXPECT_EQ(h.boxes[1].caption, kRfgError);
    EXPECT_EQ(h.boxes[1].text, QStringLiteral("Недостаточно места на диске") + kKept);
    EXPECT_EQ(Tree(usb), driveBefore);
    EXPECT_EQ(Snapshot(save), saveBefore);
}

TEST_F(SettingsTest, ACopyFailingHalfWayLeavesTheLibraryAsItWas) {
    Write(save + QStringLiteral("old1.pel"), Trace('1'));
    Write(save + QStringLiteral("old2.pel"), Trace('2'));
    Write(save + QStringLiteral("shot.png"), "screen");
    Write(velmar + QStringLiteral("RFG 2010.01.01  10-00/a.pel"), Trace('a', 100));
    Write(velmar + QStringLiteral("RFG 2010.01.01  10-00/b.pel"), Trace('b'));
    const auto saveBefore = Snapshot(save);
    OpenSettings();
    {
        FileSizeLimit limit(8192);
        ASSERT_TRUE(limit.Active());
        Import(kF7);
    }
    ASSERT_EQ(h.boxes.size(), 2u);
    EXPECT_EQ(h.boxes[1].caption, kRfgError);
    EXPECT_EQ(h.boxes[1].text, platform::ErrorText(EFBIG) + kKept);
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
    Write(velmar + QStringLiteral("RFG 2010.01.01  10-00/new.pel"), Trace('n'));
    OpenSettings();
    View().importFolder = QStringLiteral("earlier choice");
    h.folderKeys = {vk::kEscape};
    PressSoftKey(kF7);
    EXPECT_EQ(h.folderChoices.size(), 1u);
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
    ASSERT_EQ(h.folderChoices.size(), 1u);
    EXPECT_EQ(h.folderChoices[0].caption, QStringLiteral("Вставьте сменный носитель"));
    EXPECT_TRUE(View().importFolder.isEmpty());
    EXPECT_TRUE(h.boxes.empty());
    EXPECT_EQ(Read(save + QStringLiteral("old.pel")), QByteArray("old"));
}

TEST_F(SettingsTest, DigitsInTheFolderChoicePickTheFolderImported) {
    Write(velmar + QStringLiteral("KU 2010.01.01  10-00/tableku.tku"),
          Table(QStringLiteral("old"), QStringLiteral("1.1 ")));
    Write(velmar + QStringLiteral("KU 2010.01.02  10-00/tableku.tku"),
          Table(QStringLiteral("new"), QStringLiteral("1.2 ")));
    OpenSettings();
    h.folderKeys = {'7', vk::kEnter};
    Import(kF9);
    ASSERT_EQ(h.folderChoices.size(), 1u);
    EXPECT_EQ(h.folderChoices[0].folders,
              QStringList({QStringLiteral("KU 2010.01.01  10-00"), QStringLiteral("KU 2010.01.02  10-00")}));
    EXPECT_EQ(Read(save + QStringLiteral("tableku.tku")), Table(QStringLiteral("new"), QStringLiteral("1.2 ")));
}

// --- drives as they come from other PCs -------------------------------------------

TEST_F(SettingsTest, ADriveGoneAtTheOverwriteQuestionLeavesEitherLibraryAsItWas) {
    Write(save + QStringLiteral("old.pel"), Trace('o'));
    Write(save + QStringLiteral("tableku.tku"), Table(QStringLiteral("old"), QStringLiteral("1.500 ")));
    const auto saveBefore = Snapshot(save);
    OpenSettings();
    h.whileBoxShown = [this](const platform::MessageBoxCall& box) {
        if (box.caption == QStringLiteral("Подтвердите перезапись библиотеки"))
            QDir(velmar).removeRecursively(); // pulled, or the folder deleted on the PC
    };
    for (const auto& [key, caption] :
         {std::pair{kF7, kRfgError}, std::pair{kF9, QStringLiteral("Имспорт библиотеки КУ: ошибка")}}) {
        Write(velmar + QStringLiteral("RFG 2010.01.01  10-00/new.pel"), Trace('n'));
        Write(velmar + QStringLiteral("KU 2010.01.01  10-00/tableku.tku"),
              Table(QStringLiteral("new"), QStringLiteral("1.2 ")));
        h.boxes.clear();
        Import(key);
        ASSERT_EQ(h.boxes.size(), 2u);
        EXPECT_EQ(h.boxes[1].caption, caption);
        EXPECT_EQ(h.boxes[1].text, platform::ErrorText(ENOTDIR) + kKept);
        EXPECT_EQ(Snapshot(save), saveBefore);
    }
}

TEST_F(SettingsTest, UpperCaseNamesComeInUnderTheNamesTheProgramReads) {
    const QByteArray table = Table(QStringLiteral("ААШв"), QStringLiteral("1.520 "));
    Write(save + QStringLiteral("tableku.tku"), Table(QStringLiteral("old"), QStringLiteral("1.500 ")));
    Write(save + QStringLiteral("old.pel"), Trace('o'));
    Write(velmar + QStringLiteral("KU 2010.01.01  10-00/TABLEKU.TKU"), table);
    Write(velmar + QStringLiteral("KU 2010.01.02  10-00/OTHER.TKU"), table);
    Write(velmar + QStringLiteral("RFG 2010.01.01  10-00/РЕФЛ1.PEL"), Trace('1'));
    OpenSettings();
    Import(kF9);
    Import(kF7);
    const std::map<QString, QByteArray> expected{{QStringLiteral("tableku.tku"), table},
                                                 {QStringLiteral("РЕФЛ1.pel"), Trace('1')}};
    EXPECT_EQ(Snapshot(save), expected);
    // A table under a name the program does not read is nothing to import.
    h.boxes.clear();
    h.folderKeys = {'7', vk::kEnter};
    Import(kF9);
    ASSERT_EQ(h.boxes.size(), 1u);
    EXPECT_EQ(h.boxes[0].text, QStringLiteral("В этой папке нет данных для импорта!"));
    EXPECT_EQ(Snapshot(save), expected);
}

TEST_F(SettingsTest, AnExportFirstThatFailsStopsTheImport) {
    FixClock(QDateTime(QDate(2011, 3, 7), QTime(14, 25, 0)));
    Write(save + QStringLiteral("tableku.tku"), Table(QStringLiteral("old"), QStringLiteral("1.500 ")));
    Write(velmar + QStringLiteral("KU 2010.01.01  10-00/tableku.tku"),
          Table(QStringLiteral("new"), QStringLiteral("1.2 ")));
    Write(velmar + QStringLiteral("KU 2011.03.07  14-25"), "a file where the export's folder would go");
    const auto saveBefore = Snapshot(save);
    OpenSettings();
    Import(kF9, kIdOk);
    ASSERT_EQ(h.boxes.size(), 3u);
    EXPECT_EQ(h.boxes[1].caption, QStringLiteral("Экспорт библиотеки КУ: ошибка"));
    EXPECT_EQ(h.boxes[2].caption, QStringLiteral("Имспорт библиотеки КУ: ошибка"));
    EXPECT_EQ(h.boxes[2].text, QStringLiteral("Импорт отменён: экспорт текущей библиотеки не выполнен.") + kKept);
    EXPECT_EQ(Snapshot(save), saveBefore);
}

TEST_F(SettingsTest, DamagedLinkedHugeAndUnnamableFilesAreRefusedOneByOne) {
    const QString folder = velmar + QStringLiteral("RFG 2010.01.01  10-00/");
    Write(folder + QStringLiteral("good.pel"), Trace('g'));
    Write(folder + QStringLiteral("short.pel"), Trace('s').left(600)); // the header announces more
    Write(folder + QStringLiteral("empty.pel"), QByteArray());
    Write(folder + QStringLiteral("one.pel"), "1");
    QFile longName(folder + QString(245, QLatin1Char('L')) + QStringLiteral(".pel")); // no room for a temporary name
    ASSERT_TRUE(longName.open(QIODevice::WriteOnly) && longName.write(Trace('l')) > 0);
    longName.close();
    QTemporaryDir outside;
    Write(outside.path() + QStringLiteral("/secret.pel"), Trace('x'));
    const QByteArray native = QFile::encodeName(folder);
    ASSERT_EQ(::symlink(QFile::encodeName(outside.path() + QStringLiteral("/secret.pel")).constData(),
                        (native + "link.pel").constData()),
              0);
    ASSERT_EQ(::mkfifo((native + "pipe.pel").constData(), 0644), 0);
    const int invalidName = ::open((native + "bad\xff.pel").constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(invalidName, 0);
    ::close(invalidName);
    QFile huge(folder + QStringLiteral("big.pel"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(200 * 1024 * 1024)); // sparse
    huge.close();
    // The table: UTF-8 text, as a PC's editor saves it.
    Write(velmar + QStringLiteral("KU 2010.01.01  10-00/tableku.tku"), "ААШв\n1.520 \n");
    Write(save + QStringLiteral("tableku.tku"), Table(QStringLiteral("old"), QStringLiteral("1.500 ")));
    const QByteArray table = Read(save + QStringLiteral("tableku.tku"));

    OpenSettings();
    Import(kF7);
    Import(kF9);
    const std::map<QString, QByteArray> expected{{QStringLiteral("good.pel"), Trace('g')},
                                                 {QStringLiteral("tableku.tku"), table}};
    EXPECT_EQ(Snapshot(save), expected);
    ASSERT_EQ(h.boxes.size(), 4u);
    EXPECT_EQ(h.boxes[1].text,
              QStringLiteral("Библиотека РФГ успешно импортирована.\nПринято файлов: 1, отклонено: 8."));
    EXPECT_EQ(h.boxes[3].caption, QStringLiteral("Имспорт библиотеки КУ: ошибка"));
    EXPECT_EQ(h.boxes[3].text, QStringLiteral("В этой папке нет данных для импорта!\nОтклонено файлов: 1.") + kKept);
    ::unlink((native + "bad\xff.pel").constData()); // a name the temporary drive's removal cannot spell
}

TEST_F(SettingsTest, LinkedFoldersOnTheDriveAreNeitherWrittenNorOffered) {
    FixClock(QDateTime(QDate(2011, 3, 7), QTime(14, 25, 0)));
    QTemporaryDir outside;
    const QString elsewhere = platform::AsFolder(outside.path());
    Write(elsewhere + QStringLiteral("RFG 2010.01.01  10-00/new.pel"), Trace('n'));
    Write(save + QStringLiteral("old.pel"), Trace('o'));
    ASSERT_EQ(::symlink(QFile::encodeName(elsewhere).constData(),
                        QFile::encodeName(usb + QStringLiteral("Velmar")).constData()),
              0);
    OpenSettings();
    PressSoftKey(kF6);
    EXPECT_EQ(h.boxes.back().caption, QStringLiteral("Экспорт библиотеки РФГ: ошибка"));
    Import(kF7);
    EXPECT_TRUE(h.folderChoices.back().folders.isEmpty());

    // A dated folder that is a link, in a real export folder.
    ASSERT_TRUE(platform::DeleteFile(usb + QStringLiteral("Velmar")));
    ASSERT_TRUE(platform::CreateFolder(velmar));
    ASSERT_EQ(::symlink(QFile::encodeName(elsewhere + QStringLiteral("RFG 2010.01.01  10-00")).constData(),
                        QFile::encodeName(velmar + QStringLiteral("RFG 2011.03.07  14-25")).constData()),
              0);
    PressSoftKey(kF6);
    EXPECT_EQ(h.boxes.back().caption, QStringLiteral("Экспорт библиотеки РФГ: ошибка"));
    Import(kF7);
    EXPECT_TRUE(h.folderChoices.back().folders.isEmpty());

    const std::map<QString, QByteArray> outsideUntouched{{QStringLiteral("RFG 2010.01.01  10-00/"), "<dir>"},
                                                         {QStringLiteral("RFG 2010.01.01  10-00/new.pel"), Trace('n')}};
    EXPECT_EQ(Tree(elsewhere), outsideUntouched);
    const std::map<QString, QByteArray> saveUntouched{{QStringLiteral("old.pel"), Trace('o')}};
    EXPECT_EQ(Snapshot(save), saveUntouched);
}

TEST_F(SettingsTest, AnExportRemovesTheTemporaryFilesAnEarlierOneLeftOnTheDrive) {
    FixClock(QDateTime(QDate(2011, 3, 7), QTime(14, 25, 0)));
    Write(save + QStringLiteral("tableku.tku"), Table(QStringLiteral("cable"), QStringLiteral("1.500 ")));
    const QString folder = velmar + QStringLiteral("KU 2011.03.07  14-25/");
    Write(folder + QStringLiteral("tableku.tku.tmp-Ab12Cd"), "half a table");
    OpenSettings();
    PressSoftKey(vk::kF6 + 2);
    const std::map<QString, QByteArray> expected{
        {QStringLiteral("tableku.tku"), Read(save + QStringLiteral("tableku.tku"))}};
    EXPECT_EQ(Snapshot(folder), expected);
}

// A power cut during an import: at the next start the library is whole, the new one when
// all of its files had arrived, the old one otherwise.
TEST(SettingsPowerCut, AnInterruptedImportIsRepairedAtStart) {
    for (const bool allArrived : {true, false}) {
        QTemporaryDir home;
        const QString root = platform::AsFolder(home.path());
        const auto put = [&root](const QString& path, const QByteArray& bytes) {
            ASSERT_TRUE(platform::CreateFolderPath(platform::FolderPart(root + path)));
            ASSERT_TRUE(platform::WriteFileAtomically(root + path, bytes));
        };
        put(QStringLiteral("save/shot.png"), "screen");
        if (allArrived) {
            // The old files had stepped aside, one new file had moved in.
            put(QStringLiteral("save.import/.staged"), "*.pel");
            put(QStringLiteral("save.import/new2.pel"), Trace('2'));
            put(QStringLiteral("save/new1.pel"), Trace('1'));
            put(QStringLiteral("save.replaced/.cleared"), "");
            put(QStringLiteral("save.replaced/old.pel"), Trace('o'));
        } else {
            put(QStringLiteral("save/old.pel"), Trace('o'));
            put(QStringLiteral("save.import/new1.pel"), Trace('1'));
        }
        Harness h(root);
        std::map<QString, QByteArray> expected{{QStringLiteral("save/"), "<dir>"},
                                               {QStringLiteral("save/shot.png"), "screen"}};
        if (allArrived) {
            expected[QStringLiteral("save/new1.pel")] = Trace('1');
            expected[QStringLiteral("save/new2.pel")] = Trace('2');
        } else {
            expected[QStringLiteral("save/old.pel")] = Trace('o');
        }
        std::map<QString, QByteArray> found = Tree(root);
        found.erase(QStringLiteral("pel.ini"));
        EXPECT_EQ(found, expected) << (allArrived ? "all arrived" : "cut while copying");
    }
}

} // namespace
