#include "platform/Files.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

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

TEST_F(Files, AFolderHeldOpenNeitherFollowsLinksNorWaitsOnPipes) {
    ASSERT_TRUE(platform::CreateFolderPath(Path(QStringLiteral("drive/real"))));
    Put(QStringLiteral("drive/real/a.pel"), "abc");
    Put(QStringLiteral("outside.pel"), "outside");
    const auto link = [this](const QString& target, const QString& name) {
        ASSERT_EQ(::symlink(QFile::encodeName(Path(target)).constData(), QFile::encodeName(Path(name)).constData()), 0);
    };
    link(QStringLiteral("drive/real"), QStringLiteral("drive/linked"));
    link(QStringLiteral("outside.pel"), QStringLiteral("drive/real/link.pel"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path(QStringLiteral("drive/real/pipe.pel"))).constData(), 0644), 0);

    EXPECT_FALSE(platform::Folder::Open(Path(QStringLiteral("drive")), QStringLiteral("linked")).IsOpen());
    EXPECT_EQ(platform::LastError(), ELOOP);
    EXPECT_FALSE(platform::Folder::Open(Path(QStringLiteral("drive")), QStringLiteral("real/..")).IsOpen());
    const platform::Folder real = platform::Folder::Open(Path(QStringLiteral("drive")), QStringLiteral("real"));
    ASSERT_TRUE(real.IsOpen());
    const platform::Folder::Listing listing = real.List(QStringLiteral("*.pel"));
    EXPECT_EQ(Names(listing.entries), QStringList({"a.pel"}));
    EXPECT_EQ(listing.skipped, 2);

    QByteArray bytes;
    EXPECT_FALSE(real.ReadFile(QStringLiteral("pipe.pel"), 100, bytes));
    EXPECT_EQ(platform::LastError(), EINVAL);
    EXPECT_FALSE(real.ReadFile(QStringLiteral("link.pel"), 100, bytes));
    EXPECT_EQ(platform::LastError(), ELOOP);
    EXPECT_FALSE(real.ReadFile(QStringLiteral("a.pel"), 2, bytes));
    EXPECT_EQ(platform::LastError(), EFBIG);
    ASSERT_TRUE(real.ReadFile(QStringLiteral("a.pel"), 3, bytes));
    EXPECT_EQ(bytes, "abc");
    EXPECT_FALSE(platform::ReadFileStart(Path(QStringLiteral("drive/real/pipe.pel")), 10, bytes));
    ASSERT_TRUE(platform::ReadFileStart(Path(QStringLiteral("drive/real/a.pel")), 2, bytes));
    EXPECT_EQ(bytes, "ab");

    // Copies in, through a temporary file that a failure does not leave behind.
    const QByteArray large(300000, 'L');
    Put(QStringLiteral("large.pel"), large);
    ASSERT_TRUE(real.CopyIn(Path(QStringLiteral("large.pel")), QStringLiteral("copy.pel")));
    ASSERT_TRUE(platform::ReadWholeFile(Path(QStringLiteral("drive/real/copy.pel")), bytes));
    EXPECT_EQ(bytes, large);
    EXPECT_FALSE(real.CopyIn(Path(QStringLiteral("drive/real/pipe.pel")), QStringLiteral("pipe copy.pel")));
    EXPECT_FALSE(real.CopyIn(Path(QStringLiteral("large.pel")), QString(250, QLatin1Char('n'))));
    EXPECT_EQ(Names(platform::FindFiles(Path(QStringLiteral("drive/real/*")))),
              QStringList({"a.pel", "copy.pel", "link.pel", "pipe.pel"}));
}

TEST(ErrorTexts, AreTheOperatorsLanguage) {
    EXPECT_EQ(platform::ErrorText(ENOENT), QStringLiteral("Не удается найти указанный файл."));
    EXPECT_EQ(platform::ErrorText(ENOSPC), QStringLiteral("Недостаточно места на диске."));
    EXPECT_FALSE(platform::ErrorText(EHOSTDOWN).isEmpty());
}
