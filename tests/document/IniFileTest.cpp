#include "document/IniFile.h"
#include "support/Utf16.h"

#include "platform/Files.h"
#include "support/FileSizeLimit.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

const QByteArray kByteOrderMark("\xFF\xFE", 2);

class IniFile : public ::testing::Test {
protected:
    QString Path(const char* name) const { return temp_.path() + QLatin1Char('/') + QString::fromLatin1(name); }
    QTemporaryDir temp_;
};

QString Value(const CIniFile& ini, const QString& section, const QString& key) {
    QString text = QStringLiteral("<missing>");
    ini.GetString(section, key, text);
    return text;
}

} // namespace

TEST_F(IniFile, WritesTheExactBytes) {
    CIniFile ini;
    ini.SetInt(QStringLiteral("KS-518"), QStringLiteral("ch[0].state"), 254);
    ASSERT_TRUE(ini.Save(Path("pel.ini")));
    QByteArray bytes;
    ASSERT_TRUE(platform::ReadWholeFile(Path("pel.ini"), bytes));
    EXPECT_EQ(bytes, kByteOrderMark + Utf16(QStringLiteral("\r\n[KS-518]\r\nch[0].state=254\r\n")));
}

TEST_F(IniFile, KeepsSectionAndKeyOrderAndReplacesValues) {
    CIniFile ini;
    ini.SetString(QStringLiteral("B"), QStringLiteral("z"), QStringLiteral("1"));
    ini.SetString(QStringLiteral("A"), QStringLiteral("y"), QStringLiteral("2"));
    ini.SetString(QStringLiteral("B"), QStringLiteral("a"), QStringLiteral("3"));
    ini.SetString(QStringLiteral("B"), QStringLiteral("z"), QStringLiteral("РЕФЛ"));
    ini.SetString(QStringLiteral("B"), QStringLiteral("Z"), QString()); // keys are case-sensitive
    ini.SetInt(QStringLiteral("A"), QStringLiteral("zero"), 0);
    ASSERT_TRUE(ini.Save(Path("order.ini")));
    QByteArray bytes;
    ASSERT_TRUE(platform::ReadWholeFile(Path("order.ini"), bytes));
    EXPECT_EQ(bytes, kByteOrderMark + Utf16(QStringLiteral("\r\n[B]\r\nz=РЕФЛ\r\na=3\r\nZ=\r\n"
                                                           "\r\n[A]\r\ny=2\r\nzero=0\r\n")));

    CIniFile again(Path("order.ini"));
    EXPECT_EQ(again.GetSectionOrder(), QStringList({QStringLiteral("B"), QStringLiteral("A")}));
    EXPECT_EQ(Value(again, QStringLiteral("B"), QStringLiteral("z")), QStringLiteral("РЕФЛ"));
    EXPECT_EQ(Value(again, QStringLiteral("B"), QStringLiteral("Z")), QString());
    EXPECT_EQ(Value(again, QStringLiteral("b"), QStringLiteral("z")), QStringLiteral("<missing>"));
}

TEST_F(IniFile, ParserQuirks) {
    CIniFile ini;
    ini.Parse(QStringLiteral("\xFEFF\r\n[S]\r\n"
                             "key = value \r\n" // blanks around '=': key keeps its blank
                             ";note=1\r\n"      // ';' is skipped, the rest is a key
                             "twice=1\r\nother=2\r\ntwice=3\r\n"
                             "empty=\r\n"
                             "\tlead=x\r\n"
                             "broken\r\nline=4\r\n" // a key runs over a line end up to '='
                             "last=end"));          // no line end at the end
    EXPECT_EQ(Value(ini, QStringLiteral("S"), QStringLiteral("key ")), QStringLiteral("value "));
    EXPECT_EQ(Value(ini, QStringLiteral("S"), QStringLiteral("note")), QStringLiteral("1"));
    EXPECT_EQ(Value(ini, QStringLiteral("S"), QStringLiteral("twice")), QStringLiteral("3"));
    EXPECT_EQ(Value(ini, QStringLiteral("S"), QStringLiteral("empty")), QString());
    EXPECT_EQ(Value(ini, QStringLiteral("S"), QStringLiteral("lead")), QStringLiteral("x"));
    EXPECT_EQ(Value(ini, QStringLiteral("S"), QStringLiteral("broken\r\nline")), QStringLiteral("4"));
    EXPECT_EQ(Value(ini, QStringLiteral("S"), QStringLiteral("last")), QStringLiteral("end"));

    // A repeated key keeps its first position.
    ASSERT_TRUE(ini.Save(Path("quirks.ini")));
    CIniFile again(Path("quirks.ini"));
    QByteArray bytes;
    ASSERT_TRUE(platform::ReadWholeFile(Path("quirks.ini"), bytes));
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    EXPECT_LT(text.indexOf(QStringLiteral("twice=3")), text.indexOf(QStringLiteral("other=2")));
}

TEST_F(IniFile, RepeatedSectionsAppearTwice) {
    CIniFile ini;
    ini.Parse(QStringLiteral("[A]\na=1\n[B]\nb=2\n[A]\nc=3\n"));
    EXPECT_EQ(ini.GetSectionOrder(), QStringList({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("A")}));
    EXPECT_EQ(Value(ini, QStringLiteral("A"), QStringLiteral("c")), QStringLiteral("3"));
}

TEST_F(IniFile, IntegersReadLikeTheirLeadingDigits) {
    CIniFile ini;
    ini.Parse(QStringLiteral("[S]\na=1500\nb=12abc\nc=abc\nd=-7\ne=99999999999\n"));
    std::int32_t value = 42;
    EXPECT_FALSE(ini.GetInt(QStringLiteral("S"), QStringLiteral("missing"), value));
    EXPECT_EQ(value, 42);
    ASSERT_TRUE(ini.GetInt(QStringLiteral("S"), QStringLiteral("a"), value));
    EXPECT_EQ(value, 1500);
    ASSERT_TRUE(ini.GetInt(QStringLiteral("S"), QStringLiteral("b"), value));
    EXPECT_EQ(value, 12);
    ASSERT_TRUE(ini.GetInt(QStringLiteral("S"), QStringLiteral("c"), value));
    EXPECT_EQ(value, 0);
    ASSERT_TRUE(ini.GetInt(QStringLiteral("S"), QStringLiteral("d"), value));
    EXPECT_EQ(value, -7);
    ASSERT_TRUE(ini.GetInt(QStringLiteral("S"), QStringLiteral("e"), value));
    EXPECT_EQ(value, 2147483647);
}

TEST_F(IniFile, MissingFileOrByteOrderMark) {
    CIniFile ini;
    ini.SetString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v"));
    EXPECT_FALSE(ini.Load(Path("absent.ini")));
    EXPECT_TRUE(ini.GetSectionOrder().isEmpty());
    EXPECT_EQ(ini.GetPath(), Path("absent.ini")) << "the first save creates it there";

    ASSERT_TRUE(platform::WriteFileAtomically(Path("nobom.ini"), Utf16(QStringLiteral("[S]\r\nk=v\r\n"))));
    EXPECT_TRUE(ini.Load(Path("nobom.ini")));
    EXPECT_TRUE(ini.GetSectionOrder().isEmpty());

    CIniFile unnamed;
    EXPECT_FALSE(unnamed.Save());
}

TEST_F(IniFile, AFailedSaveKeepsTheOldFile) {
    CIniFile ini;
    ini.SetInt(QStringLiteral("S"), QStringLiteral("k"), 1);
    ASSERT_TRUE(ini.Save(Path("keep.ini")));
    QByteArray before;
    ASSERT_TRUE(platform::ReadWholeFile(Path("keep.ini"), before));

    ini.SetString(QStringLiteral("S"), QStringLiteral("k"), QString(400, QLatin1Char('x')));
    {
        FileSizeLimit limit(200);
        ASSERT_TRUE(limit.Active());
        EXPECT_FALSE(ini.Save());
    }
    QByteArray after;
    ASSERT_TRUE(platform::ReadWholeFile(Path("keep.ini"), after));
    EXPECT_EQ(after, before);
    EXPECT_EQ(platform::FindFiles(Path("*")).size(), 1u) << "the temporary file is removed";
    EXPECT_FALSE(ini.Save(Path("gone/keep.ini"))) << "a folder that does not exist";
}
