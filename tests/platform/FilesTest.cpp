#include "platform/Files.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>

namespace {

class Files : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return temp_.path() + QLatin1Char('/') + name; }
    void Put(const QString& name, const QByteArray& bytes) {
        ASSERT_TRUE(platform::WriteFileAtomically(Path(name), bytes));
    }
    QTemporaryDir temp_;
};

QStringList Names(const std::vector<platform::FileInfo>& files) {
    QStringList names;
    for (const auto& f : files)
        names << f.name;
    return names;
}

} // namespace

TEST(Wildcards, MatchLikeTheInstrumentsFileSearch) {
    EXPECT_TRUE(platform::WildcardMatch(QStringLiteral("*.pel"), QStringLiteral("РЕФЛ1.pel")));
    EXPECT_TRUE(platform::WildcardMatch(QStringLiteral("*.pel"), QStringLiteral("LINE.PEL")));
    EXPECT_FALSE(platform::WildcardMatch(QStringLiteral("*.pel"), QStringLiteral("a.pel.png")));
    EXPECT_TRUE(platform::WildcardMatch(QStringLiteral("RFG *"), QStringLiteral("RFG 2026.12.08  14-25")));
    EXPECT_FALSE(platform::WildcardMatch(QStringLiteral("RFG *"), QStringLiteral("KU 2026.12.08  14-25")));
    EXPECT_TRUE(platform::WildcardMatch(QStringLiteral("?.png"), QStringLiteral("я.png")));
    EXPECT_FALSE(platform::WildcardMatch(QStringLiteral("?.png"), QStringLiteral("ab.png")));
    EXPECT_TRUE(platform::WildcardMatch(QStringLiteral("*.*"), QStringLiteral("noextension")));
    EXPECT_TRUE(platform::WildcardMatch(QStringLiteral("a*b*c"), QStringLiteral("aXbYbZc")));
    EXPECT_TRUE(platform::WildcardMatch(QStringLiteral("[save].pel"), QStringLiteral("[save].pel")));
}

TEST(Paths, FolderAndNameParts) {
    EXPECT_EQ(platform::FolderPart(QStringLiteral("/home/pel.v1/save/a.pel")), QStringLiteral("/home/pel.v1/save/"));
    EXPECT_EQ(platform::FolderPart(QStringLiteral("/home/pel.v1/save/")), QStringLiteral("/home/pel.v1/save/"));
    EXPECT_EQ(platform::FolderPart(QStringLiteral("a.pel")), QString());
    EXPECT_EQ(platform::NamePart(QStringLiteral("/x/y/SCREEN 1.png")), QStringLiteral("SCREEN 1.png"));
    EXPECT_EQ(platform::AsFolder(QStringLiteral("/usb")), QStringLiteral("/usb/"));
    EXPECT_EQ(platform::AsFolder(QStringLiteral("/usb/")), QStringLiteral("/usb/"));
}

TEST_F(Files, FindReportsNameKindSizeAndTime) {
    Put(QStringLiteral("b.pel"), QByteArray(8512, 'x'));
    Put(QStringLiteral("a.pel"), QByteArray(10, 'x'));
    Put(QStringLiteral("c.png"), QByteArray(3, 'x'));
    ASSERT_TRUE(platform::CreateFolder(Path(QStringLiteral("d.pel"))));

    const auto found = platform::FindFiles(Path(QStringLiteral("*.pel")));
    EXPECT_EQ(Names(found), QStringList({"a.pel", "b.pel", "d.pel"}));
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[1].size, 8512);
    EXPECT_FALSE(found[1].IsFolder());
    EXPECT_TRUE(found[2].IsFolder());
    EXPECT_LE(std::abs(found[0].modified.secsTo(QDateTime::currentDateTime())), 60);

    EXPECT_TRUE(platform::FindFiles(Path(QStringLiteral("missing/*"))).empty());
    EXPECT_EQ(platform::LastError(), ENOENT);
}

TEST_F(Files, RenameNeverReplacesButReplaceDoes) {
    Put(QStringLiteral("[save].pel"), "new");
    Put(QStringLiteral("old.pel"), "old");
    EXPECT_FALSE(platform::RenameFile(Path(QStringLiteral("[save].pel")), Path(QStringLiteral("old.pel"))));
    EXPECT_EQ(platform::LastError(), EEXIST);
    QByteArray bytes;
    ASSERT_TRUE(platform::ReadWholeFile(Path(QStringLiteral("old.pel")), bytes));
    EXPECT_EQ(bytes, "old");

    EXPECT_TRUE(platform::RenameFile(Path(QStringLiteral("[save].pel")), Path(QStringLiteral("ЛИНИЯ 5.pel"))));
    EXPECT_FALSE(platform::FileExists(Path(QStringLiteral("[save].pel"))));
    EXPECT_TRUE(platform::FileExists(Path(QStringLiteral("ЛИНИЯ 5.pel"))));
    EXPECT_FALSE(platform::RenameFile(Path(QStringLiteral("absent")), Path(QStringLiteral("x"))));
    EXPECT_EQ(platform::LastError(), ENOENT);

    EXPECT_TRUE(platform::ReplaceFile(Path(QStringLiteral("ЛИНИЯ 5.pel")), Path(QStringLiteral("old.pel"))));
    ASSERT_TRUE(platform::ReadWholeFile(Path(QStringLiteral("old.pel")), bytes));
    EXPECT_EQ(bytes, "new");
    EXPECT_FALSE(platform::FileExists(Path(QStringLiteral("ЛИНИЯ 5.pel"))));
    ASSERT_TRUE(platform::CreateFolder(Path(QStringLiteral("folder.pel"))));
    EXPECT_FALSE(platform::ReplaceFile(Path(QStringLiteral("old.pel")), Path(QStringLiteral("folder.pel"))));
    EXPECT_TRUE(platform::FileExists(Path(QStringLiteral("old.pel"))));
}

TEST_F(Files, CopyDeleteAndFolders) {
    Put(QStringLiteral("src.pel"), "payload");
    ASSERT_TRUE(platform::CreateFolderPath(Path(QStringLiteral("USB HD/Velmar/RFG 2026.12.08  14-25/"))));
    const QString target = Path(QStringLiteral("USB HD/Velmar/RFG 2026.12.08  14-25/src.pel"));
    EXPECT_TRUE(platform::CopyFile(Path(QStringLiteral("src.pel")), target, true));
    EXPECT_FALSE(platform::CopyFile(Path(QStringLiteral("src.pel")), target, true));
    EXPECT_EQ(platform::LastError(), EEXIST);
    Put(QStringLiteral("src.pel"), "changed");
    EXPECT_TRUE(platform::CopyFile(Path(QStringLiteral("src.pel")), target, false));
    QByteArray bytes;
    ASSERT_TRUE(platform::ReadWholeFile(target, bytes));
    EXPECT_EQ(bytes, "changed");

    EXPECT_FALSE(platform::CreateFolder(Path(QStringLiteral("USB HD"))));
    EXPECT_EQ(platform::LastError(), EEXIST);
    EXPECT_TRUE(platform::CreateFolderPath(Path(QStringLiteral("USB HD/Velmar"))));

    EXPECT_TRUE(platform::DeleteFile(target));
    EXPECT_FALSE(platform::DeleteFile(target));
    EXPECT_TRUE(platform::RemoveFolder(Path(QStringLiteral("USB HD/Velmar/RFG 2026.12.08  14-25"))));
    EXPECT_FALSE(platform::FolderExists(Path(QStringLiteral("USB HD/Velmar/RFG 2026.12.08  14-25"))));

    Put(QStringLiteral("file"), "x");
    EXPECT_FALSE(platform::CreateFolderPath(Path(QStringLiteral("file/sub"))));
    EXPECT_TRUE(platform::FreeSpace(temp_.path()).has_value());
    // A folder not made yet is measured on the volume it will be made on.
    EXPECT_TRUE(platform::FreeSpace(Path(QStringLiteral("absent/save/"))).has_value());
    platform::SetFreeSpaceForTesting(100000);
    EXPECT_EQ(platform::FreeSpace(temp_.path()), 100000u);
    platform::SetFreeSpaceForTesting(std::nullopt);
    EXPECT_NE(platform::FreeSpace(temp_.path()), 100000u);
}

TEST_F(Files, AtomicFileWithoutCommitLeavesTheTargetAlone) {
    Put(QStringLiteral("pel.ini"), "old");
    {
        platform::AtomicFile file;
        ASSERT_TRUE(file.Open(Path(QStringLiteral("pel.ini"))));
        ASSERT_TRUE(file.Write(QByteArray("half of a new")));
    } // dropped, as when the program stops half-way
    QByteArray bytes;
    ASSERT_TRUE(platform::ReadWholeFile(Path(QStringLiteral("pel.ini")), bytes));
    EXPECT_EQ(bytes, "old");
    EXPECT_EQ(platform::FindFiles(Path(QStringLiteral("*"))).size(), 1u);

    platform::AtomicFile closed;
    EXPECT_FALSE(closed.Write("x", 1));
    EXPECT_FALSE(closed.Commit());
}

TEST(ErrorTexts, AreTheOperatorsLanguage) {
    EXPECT_EQ(platform::ErrorText(ENOENT), QStringLiteral("Не удается найти указанный файл."));
    EXPECT_EQ(platform::ErrorText(ENOSPC), QStringLiteral("Недостаточно места на диске."));
    EXPECT_FALSE(platform::ErrorText(EHOSTDOWN).isEmpty());
}
