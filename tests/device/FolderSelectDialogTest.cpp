// The folder choice on its own, over a folder standing in for the USB drive.
#include "device/FolderSelectDialog.h"

#include "platform/Files.h"
#include "platform/Paths.h"

#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class FolderSelectDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        usb = platform::AsFolder(root_.path()) + QStringLiteral("usb/");
        base = usb + QStringLiteral("Velmar/");
        ASSERT_TRUE(platform::CreateFolderPath(base));
        saved_ = platform::GetPlatformOptions();
        platform::PlatformOptions options = saved_;
        options.usb = usb;
        platform::SetPlatformOptions(options);
    }
    void TearDown() override {
        platform::SetPlatformOptions(saved_);
        CFolderSelectDialog::SetResponderForTesting(nullptr);
    }
    void MakeFolder(const QString& name) { ASSERT_TRUE(platform::CreateFolder(base + name)); }
    void MakeFile(const QString& name) { ASSERT_TRUE(platform::WriteFileAtomically(base + name, "x")); }

    QString usb;
    QString base;

private:
    QTemporaryDir root_;
    platform::PlatformOptions saved_;
};

TEST_F(FolderSelectDialogTest, ListsMatchingFoldersOnlyOldestFirstAndSelected) {
    MakeFolder(QStringLiteral("RFG 2012.01.05  09-00"));
    MakeFolder(QStringLiteral("RFG 2011.03.07  14-25"));
    MakeFolder(QStringLiteral("KU 2010.01.01  10-00"));
    MakeFile(QStringLiteral("RFG 2009.01.01  00-00"));

    CFolderSelectDialog dialog(nullptr, base, QStringLiteral("RFG*.*"));
    ASSERT_TRUE(dialog.OnInitDialog());
    EXPECT_EQ(dialog.FolderNames(),
              QStringList({QStringLiteral("RFG 2011.03.07  14-25"), QStringLiteral("RFG 2012.01.05  09-00")}));
    EXPECT_EQ(dialog.SelectedName(), QStringLiteral("RFG 2011.03.07  14-25"));
    EXPECT_EQ(dialog.Caption(), QStringLiteral("Выберите папку: ") + base);
    EXPECT_EQ(dialog.HintText(), QStringLiteral("Для выбора папки используйте кнопки [Вверх] и [Вниз].\n"
                                                "Выбор подтверждается кнопкой [Ввод]. "));
    EXPECT_EQ(dialog.ChosenFolder(), base + QStringLiteral("RFG 2011.03.07  14-25"));
}

TEST_F(FolderSelectDialogTest, DigitsSevenAndOneMoveDownAndUp) {
    MakeFolder(QStringLiteral("KU 2010.01.01  10-00"));
    MakeFolder(QStringLiteral("KU 2010.01.02  10-00"));
    MakeFolder(QStringLiteral("KU 2010.01.03  10-00"));
    CFolderSelectDialog dialog(nullptr, base, QStringLiteral("KU*.*"));
    dialog.OnInitDialog();
    auto press = [&dialog](int code) {
        EXPECT_TRUE(dialog.PreTranslateMessage({KeyMessage::KeyDown, code, false}));
        EXPECT_TRUE(dialog.PreTranslateMessage({KeyMessage::KeyUp, code, false}));
    };
    press('7');
    EXPECT_EQ(dialog.SelectedName(), QStringLiteral("KU 2010.01.02  10-00"));
    press('7');
    press('7');
    EXPECT_EQ(dialog.SelectedName(), QStringLiteral("KU 2010.01.03  10-00")); // the last stays
    press('1');
    EXPECT_EQ(dialog.SelectedName(), QStringLiteral("KU 2010.01.02  10-00"));
    EXPECT_FALSE(dialog.PreTranslateMessage({KeyMessage::KeyDown, '5', false}));
    EXPECT_FALSE(dialog.PreTranslateMessage({KeyMessage::KeyDown, 13, false}));
}

TEST_F(FolderSelectDialogTest, WithoutADriveItSaysSoAndGivesNothing) {
    platform::PlatformOptions options = platform::GetPlatformOptions();
    options.usb = usb + QStringLiteral("absent/");
    platform::SetPlatformOptions(options);
    CFolderSelectDialog dialog(nullptr, base, QStringLiteral("RFG*.*"));
    CFolderSelectDialog::SetResponderForTesting([](CFolderSelectDialog&) { return CFolderSelectDialog::kIdOk; });
    EXPECT_EQ(dialog.DoModal(), CFolderSelectDialog::kIdOk);
    EXPECT_EQ(dialog.Caption(), QStringLiteral("Вставьте сменный носитель"));
    EXPECT_EQ(dialog.HintText(), QStringLiteral("Сначала вставьте флэш-накопитель в USB-порт!"));
    EXPECT_TRUE(dialog.FolderNames().isEmpty());
    EXPECT_TRUE(dialog.ChosenFolder().isEmpty());
}

TEST_F(FolderSelectDialogTest, IgnoresARootBaseFolderAndAnEmptyFilter) {
    const CFolderSelectDialog root(nullptr, QStringLiteral("/"), QString());
    EXPECT_TRUE(root.BaseFolder().isEmpty());
    EXPECT_TRUE(root.Filter().isEmpty());
    const CFolderSelectDialog kept(nullptr, base, QStringLiteral("KU*.*"));
    EXPECT_EQ(kept.BaseFolder(), base);
    EXPECT_EQ(kept.Filter(), QStringLiteral("KU*.*"));
}

TEST_F(FolderSelectDialogTest, ResponderCancelIsCancel) {
    MakeFolder(QStringLiteral("RFG 2010.01.01  10-00"));
    CFolderSelectDialog dialog(nullptr, base, QStringLiteral("RFG*.*"));
    bool sawList = false;
    CFolderSelectDialog::SetResponderForTesting([&sawList](CFolderSelectDialog& shown) {
        sawList = shown.FolderNames() == QStringList{QStringLiteral("RFG 2010.01.01  10-00")};
        return CFolderSelectDialog::kIdCancel;
    });
    EXPECT_EQ(dialog.DoModal(), CFolderSelectDialog::kIdCancel);
    EXPECT_TRUE(sawList);
}

TEST_F(FolderSelectDialogTest, RealKeysOnScreenPickAFolder) {
    MakeFolder(QStringLiteral("RFG 2010.01.01  10-00"));
    MakeFolder(QStringLiteral("RFG 2010.01.02  10-00"));
    CFolderSelectDialog dialog(nullptr, base, QStringLiteral("RFG*.*"));
    QString chosen;
    QTimer::singleShot(0, &dialog, [&dialog, &chosen] {
        QWidget* focus = dialog.GetList();
        QTest::keyClick(focus, Qt::Key_7);
        chosen = dialog.SelectedName();
        QTest::keyClick(focus, Qt::Key_Return);
    });
    QTimer::singleShot(5000, &dialog, &QDialog::reject); // never hangs
    EXPECT_EQ(dialog.DoModal(), CFolderSelectDialog::kIdOk);
    EXPECT_EQ(chosen, QStringLiteral("RFG 2010.01.02  10-00"));
    EXPECT_EQ(dialog.ChosenFolder(), base + QStringLiteral("RFG 2010.01.02  10-00"));
}

} // namespace
