// The file work of the library transfers on real folders: dated export folders, the
// regular-files rule, the space check and an import that replaces a library only once
// the whole new one has arrived.
#include "device/LibraryTransfer.h"

#include "document/ReflectogramFile.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "support/FileSizeLimit.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>
#include <unistd.h>

namespace {

namespace transfer = library_transfer;

void Write(const QString& path, const QByteArray& bytes) {
    ASSERT_TRUE(platform::WriteFileAtomically(path, bytes)) << path.toStdString();
}

// A reflectogram as the instrument writes it.
QByteArray Trace(char level, int samples = reflectogram::kMaxSamples) {
    const std::vector<std::uint8_t> bytes(static_cast<std::size_t>(samples), static_cast<std::uint8_t>(level));
    return reflectogram::Encode({samples, 1, 2, 3, 100, 0, 1500}, bytes.data());
}

QByteArray Read(const QString& path) {
    QByteArray bytes;
    platform::ReadWholeFile(path, bytes);
    return bytes;
}

// Every entry of a folder with its contents (folders as "<dir>"), to compare states.
std::map<QString, QByteArray> Snapshot(const QString& folder) {
    std::map<QString, QByteArray> entries;
    for (const platform::FileInfo& file : platform::FindFiles(folder + QStringLiteral("*")))
        entries[file.name] = file.IsFolder() ? QByteArray("<dir>") : Read(folder + file.name);
    return entries;
}

class LibraryTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        const QString base = platform::AsFolder(root_.path());
        storage = base + QStringLiteral("home/save/");
        usb = base + QStringLiteral("usb/");
        ASSERT_TRUE(platform::CreateFolderPath(storage));
        ASSERT_TRUE(platform::CreateFolderPath(usb));
        saved_ = platform::GetPlatformOptions();
        platform::PlatformOptions options = saved_;
        options.usb = usb;
        platform::SetPlatformOptions(options);
    }
    void TearDown() override {
        platform::SetPlatformOptions(saved_);
        platform::SetFreeSpaceForTesting(std::nullopt);
    }

    QString storage;
    QString usb;
    const QDateTime time{QDate(2011, 3, 7), QTime(14, 25, 31)};

private:
    QTemporaryDir root_;
    platform::PlatformOptions saved_;
};

TEST(LibraryTransferNames, ExportFolderNamesCarryDateAndMinuteWithTwoBlanks) {
    const QDateTime time(QDate(2011, 3, 7), QTime(4, 5, 59));
    EXPECT_EQ(transfer::ExportFolderName(transfer::Reflectograms(), time), QStringLiteral("RFG 2011.03.07  04-05"));
    EXPECT_EQ(transfer::ExportFolderName(transfer::Velocities(), time), QStringLiteral("KU 2011.03.07  04-05"));
}

TEST(LibraryTransferNames, TheCopyNeedsLessThanTheFreeSpace) {
    EXPECT_TRUE(transfer::EnoughSpace(99, 100));
    EXPECT_FALSE(transfer::EnoughSpace(100, 100));
    EXPECT_FALSE(transfer::EnoughSpace(0, 0));
}

TEST_F(LibraryTransferTest, TheDriveIsThereOnlyWithSomethingOnIt) {
    EXPECT_FALSE(transfer::UsbDrivePresent());
    Write(usb + QStringLiteral("note.txt"), "x");
    EXPECT_TRUE(transfer::UsbDrivePresent());
    EXPECT_EQ(transfer::ExportBaseFolder(), usb + QStringLiteral("Velmar/"));

    platform::PlatformOptions options = platform::GetPlatformOptions();
    options.usb.clear();
    platform::SetPlatformOptions(options);
    EXPECT_FALSE(transfer::UsbDrivePresent());
    EXPECT_TRUE(transfer::ExportBaseFolder().isEmpty());
}

TEST_F(LibraryTransferTest, ReflectogramExportCarriesTracesThenScreenCopies) {
    Write(storage + QStringLiteral("b.pel"), "trace b");
    Write(storage + QStringLiteral("a.png"), "picture");
    Write(storage + QStringLiteral("tableku.tku"), "table");
    const transfer::Outcome outcome = transfer::ExportLibrary(transfer::Reflectograms(), storage, time);
    ASSERT_EQ(outcome.result, transfer::Outcome::kDone);
    EXPECT_EQ(outcome.destination, usb + QStringLiteral("Velmar/RFG 2011.03.07  14-25/"));
    const std::map<QString, QByteArray> expected{{QStringLiteral("a.png"), "picture"},
                                                 {QStringLiteral("b.pel"), "trace b"}};
    EXPECT_EQ(Snapshot(outcome.destination), expected);
}

TEST_F(LibraryTransferTest, LinksAndFoldersAreNotCarried) {
    Write(storage + QStringLiteral("real.pel"), "real");
    Write(usb + QStringLiteral("elsewhere.bin"), "outside");
    ASSERT_EQ(::symlink(QFile::encodeName(usb + QStringLiteral("elsewhere.bin")).constData(),
                        QFile::encodeName(storage + QStringLiteral("link.pel")).constData()),
              0);
    ASSERT_TRUE(platform::CreateFolder(storage + QStringLiteral("folder.pel")));

    const transfer::Outcome outcome = transfer::ExportLibrary(transfer::Reflectograms(), storage, time);
    ASSERT_EQ(outcome.result, transfer::Outcome::kDone);
    const std::map<QString, QByteArray> expected{{QStringLiteral("real.pel"), "real"}};
    EXPECT_EQ(Snapshot(outcome.destination), expected);
}

TEST_F(LibraryTransferTest, ExportWithoutRoomMakesNothingOnTheDrive) {
    Write(storage + QStringLiteral("a.pel"), QByteArray(100, 'a'));
    Write(usb + QStringLiteral("note.txt"), "x");
    const auto before = Snapshot(usb);
    platform::SetFreeSpaceForTesting(100);
    const transfer::Outcome outcome = transfer::ExportLibrary(transfer::Reflectograms(), storage, time);
    EXPECT_EQ(outcome.result, transfer::Outcome::kNoSpace);
    EXPECT_EQ(Snapshot(usb), before);
}

TEST_F(LibraryTransferTest, ImportReplacesOnlyTheLibrarysFiles) {
    Write(storage + QStringLiteral("old.pel"), "old");
    Write(storage + QStringLiteral("shot.png"), "screen");
    Write(storage + QStringLiteral("tableku.tku"), "table");
    const QString source = usb + QStringLiteral("Velmar/RFG 2010.01.01  10-00");
    ASSERT_TRUE(platform::CreateFolderPath(source));
    Write(source + QStringLiteral("/new.pel"), Trace('n'));
    Write(source + QStringLiteral("/other.png"), "not imported");

    const transfer::Outcome outcome = transfer::ImportLibrary(transfer::Reflectograms(), source, storage);
    ASSERT_EQ(outcome.result, transfer::Outcome::kDone);
    EXPECT_EQ(outcome.taken, 1);
    const std::map<QString, QByteArray> expected{{QStringLiteral("new.pel"), Trace('n')},
                                                 {QStringLiteral("shot.png"), "screen"},
                                                 {QStringLiteral("tableku.tku"), "table"}};
    EXPECT_EQ(Snapshot(storage), expected);
    EXPECT_FALSE(platform::FolderExists(transfer::StagingFolder(storage)));
    EXPECT_FALSE(platform::FolderExists(transfer::ReplacedFolder(storage)));
}

TEST_F(LibraryTransferTest, ImportRefusesLinksAndTablesUnderOtherNames) {
    const QString source = usb + QStringLiteral("Velmar/KU 2010.01.01  10-00/");
    ASSERT_TRUE(platform::CreateFolderPath(source));
    Write(usb + QStringLiteral("secret"), "outside the folder");
    ASSERT_EQ(::symlink(QFile::encodeName(usb + QStringLiteral("secret")).constData(),
                        QFile::encodeName(source + QStringLiteral("tableku.tku")).constData()),
              0);
    Write(source + QStringLiteral("more.tku"), "more");
    Write(storage + QStringLiteral("tableku.tku"), "current");
    const auto before = Snapshot(storage);

    const transfer::Outcome outcome = transfer::ImportLibrary(transfer::Velocities(), source, storage);
    EXPECT_EQ(outcome.result, transfer::Outcome::kNothingUsable);
    EXPECT_EQ(outcome.refused, 2);
    EXPECT_EQ(Snapshot(storage), before);
}

TEST_F(LibraryTransferTest, ImportWithoutRoomChangesNothing) {
    Write(storage + QStringLiteral("old.pel"), "old");
    const QString source = usb + QStringLiteral("Velmar/RFG 2010.01.01  10-00/");
    ASSERT_TRUE(platform::CreateFolderPath(source));
    Write(source + QStringLiteral("new.pel"), QByteArray(50, 'n'));
    const auto storageBefore = Snapshot(storage);
    const auto sourceBefore = Snapshot(source);
    platform::SetFreeSpaceForTesting(50);
    EXPECT_EQ(transfer::ImportLibrary(transfer::Reflectograms(), source, storage).result, transfer::Outcome::kNoSpace);
    EXPECT_EQ(Snapshot(storage), storageBefore);
    EXPECT_EQ(Snapshot(source), sourceBefore);
    EXPECT_FALSE(platform::FolderExists(transfer::StagingFolder(storage)));
}

TEST_F(LibraryTransferTest, ImportFailingHalfWayKeepsTheLibrary) {
    Write(storage + QStringLiteral("old1.pel"), "old one");
    Write(storage + QStringLiteral("old2.pel"), "old two");
    const QString source = usb + QStringLiteral("Velmar/RFG 2010.01.01  10-00/");
    ASSERT_TRUE(platform::CreateFolderPath(source));
    Write(source + QStringLiteral("a.pel"), Trace('a', 100));
    Write(source + QStringLiteral("b.pel"), Trace('b'));
    const auto before = Snapshot(storage);

    transfer::Outcome outcome;
    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.Active());
        outcome = transfer::ImportLibrary(transfer::Reflectograms(), source, storage);
    }
    EXPECT_EQ(outcome.result, transfer::Outcome::kFailed);
    EXPECT_EQ(outcome.error, EFBIG);
    EXPECT_EQ(Snapshot(storage), before);
    EXPECT_FALSE(platform::FolderExists(transfer::StagingFolder(storage)));
}

TEST_F(LibraryTransferTest, AnInterruptedImportNeverCostsFiles) {
    // A power cut left staged copies and a set-aside file behind.
    const QString staging = transfer::StagingFolder(storage);
    const QString replaced = transfer::ReplacedFolder(storage);
    ASSERT_TRUE(platform::CreateFolderPath(staging));
    ASSERT_TRUE(platform::CreateFolderPath(replaced));
    Write(staging + QStringLiteral("half.pel"), "staged");
    Write(replaced + QStringLiteral("kept.pel"), "set aside");
    const QString source = usb + QStringLiteral("Velmar/RFG 2010.01.01  10-00/");
    ASSERT_TRUE(platform::CreateFolderPath(source));
    Write(source + QStringLiteral("new.pel"), Trace('n'));

    // The set-aside file is back in the library before the import replaces it, so the
    // import counts it as the current library's and replaces it like the others.
    ASSERT_EQ(transfer::ImportLibrary(transfer::Reflectograms(), source, storage).result, transfer::Outcome::kDone);
    const std::map<QString, QByteArray> expected{{QStringLiteral("new.pel"), Trace('n')}};
    EXPECT_EQ(Snapshot(storage), expected);
    EXPECT_FALSE(platform::FolderExists(staging));
    EXPECT_FALSE(platform::FolderExists(replaced));
}

TEST_F(LibraryTransferTest, SetAsideFilesComeBackWhenTheImportFails) {
    const QString replaced = transfer::ReplacedFolder(storage);
    ASSERT_TRUE(platform::CreateFolderPath(replaced));
    Write(replaced + QStringLiteral("kept.pel"), "set aside");
    const QString source = usb + QStringLiteral("Velmar/RFG 2010.01.01  10-00/");
    ASSERT_TRUE(platform::CreateFolderPath(source));
    Write(source + QStringLiteral("new.pel"), "new");
    platform::SetFreeSpaceForTesting(1);

    EXPECT_EQ(transfer::ImportLibrary(transfer::Reflectograms(), source, storage).result, transfer::Outcome::kNoSpace);
    const std::map<QString, QByteArray> expected{{QStringLiteral("kept.pel"), "set aside"}};
    EXPECT_EQ(Snapshot(storage), expected);
}

TEST_F(LibraryTransferTest, APowerCutAtAnyStepLeavesTheOldOrTheNewLibraryOnceRepaired) {
    const QString source = usb + QStringLiteral("Velmar/RFG 2010.01.01  10-00/");
    ASSERT_TRUE(platform::CreateFolderPath(source));
    Write(source + QStringLiteral("both.pel"), Trace('B'));
    Write(source + QStringLiteral("new.pel"), Trace('n'));
    std::map<QString, QByteArray> fresh{{QStringLiteral("both.pel"), Trace('B')},
                                        {QStringLiteral("new.pel"), Trace('n')},
                                        {QStringLiteral("shot.png"), "screen"}};
    bool sawOld = false;
    bool sawNew = false;
    for (int steps = 0; steps < 100; ++steps) {
        const QString home = storage + QStringLiteral("cut%1/save/").arg(steps);
        ASSERT_TRUE(platform::CreateFolderPath(home));
        Write(home + QStringLiteral("both.pel"), Trace('b'));
        Write(home + QStringLiteral("old.pel"), Trace('o'));
        Write(home + QStringLiteral("shot.png"), "screen");
        const auto old = Snapshot(home);

        transfer::CutPowerForTesting(steps);
        const transfer::Outcome outcome = transfer::ImportLibrary(transfer::Reflectograms(), source, home);
        transfer::CutPowerForTesting(-1);
        transfer::RepairInterruptedImport(home);
        const auto after = Snapshot(home);
        EXPECT_TRUE(after == old || after == fresh) << "cut after " << steps << " steps";
        sawOld = sawOld || after == old;
        sawNew = sawNew || after == fresh;
        EXPECT_FALSE(platform::FolderExists(transfer::StagingFolder(home))) << steps;
        EXPECT_FALSE(platform::FolderExists(transfer::ReplacedFolder(home))) << steps;
        if (outcome.result == transfer::Outcome::kDone)
            break;
    }
    EXPECT_TRUE(sawOld && sawNew);
}

} // namespace
