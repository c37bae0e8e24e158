#include "device/ScreenShotSaver.h"

#include "platform/Files.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ScreenShotSaver, FileNamesFollowTheClock) {
    const QDateTime time(QDate(2011, 3, 7), QTime(14, 25, 9));
    EXPECT_EQ(CScreenShotSaver::FileNameFor(QStringLiteral("/home/pel/save/"), time),
              QStringLiteral("/home/pel/save/SCREEN 2011.03.07  14-25-09.png"));
    EXPECT_EQ(CScreenShotSaver::FileNameFor(QStringLiteral("/x/"), time.addMSecs(500)),
              CScreenShotSaver::FileNameFor(QStringLiteral("/x/"), time))
        << "two copies within a second share the name";
}

TEST(ScreenShotSaver, WritesByMimeTypeAndOnlyWhereAWriterExists) {
    QTemporaryDir folder;
    QImage picture(640, 480, QImage::Format_ARGB32);
    picture.fill(qRgba(10, 20, 30, 0)); // a fourth byte of 0 must not make the picture transparent
    picture.setPixel(0, 0, qRgba(255, 0, 0, 0));
    CScreenShotSaver saver;
    const QString png = folder.path() + QStringLiteral("/copy.png");
    ASSERT_TRUE(saver.SaveImage(picture, png, CScreenShotSaver::Format::Png, 640, 480));
    const QImage read(png);
    ASSERT_EQ(read.size(), QSize(640, 480));
    EXPECT_FALSE(read.hasAlphaChannel());
    EXPECT_EQ(read.pixel(0, 0), qRgb(255, 0, 0)) << "the first row is the top row";
    EXPECT_EQ(read.pixel(639, 479), qRgb(10, 20, 30));

    EXPECT_STREQ(CScreenShotSaver::MimeTypeOf(CScreenShotSaver::Format::Gif), "image/gif");
    EXPECT_FALSE(
        saver.SaveImage(picture, folder.path() + QStringLiteral("/copy.gif"), CScreenShotSaver::Format::Gif, 640, 480))
        << "no GIF writer here: nothing is written";
    EXPECT_FALSE(platform::FileExists(folder.path() + QStringLiteral("/copy.gif")));
}
