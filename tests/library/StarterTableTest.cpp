// The starter velocity library a new instrument home gets (data/tableku.tku): the file
// the list's own writer makes of its readable source, in the instrument's format, with
// every common cable kind at a КУ the instrument accepts, unchanged by the list's
// load and save in either display mode, and with brands the operator can read in the
// list and type again on the keypad.
#include "StarterTableSource.h"

#include "device/EnterChar.h"
#include "document/PELDoc.h"
#include "document/ParamTables.h"
#include "library/KUListCtrl.h"
#include "platform/Files.h"
#include "platform/Keys.h"
#include "ui/BtnsView.h"

#include <QFile>
#include <QFontMetrics>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

// The library view fills the work area beside the vertical soft keys: 510 pixels of the
// 640-pixel screen.
constexpr int kWorkWidth = 510;
constexpr double kSpeedOfLight = 299792458.0; // m/s

QByteArray ReadFile(const char* path) {
    QFile file(QString::fromUtf8(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    return file.readAll();
}

QByteArray StarterTable() {
    return ReadFile(PEL_STARTER_TABLE);
}

std::vector<ku_table::Record> StarterRecords() {
    return ku_table::ReadRecords(StarterTable(), 0);
}

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

// The stored КУ of a brand; NaN (and a failure) when the table lacks it.
double KU(const std::vector<ku_table::Record>& records, const char* brand) {
    for (const ku_table::Record& record : records) {
        if (record.brand == Utf8(brand))
            return ku_table::StoredKU(record.value, 0);
    }
    ADD_FAILURE() << "no cable " << brand << " in the starter table";
    return std::nan("");
}

// КУ bounds from a velocity factor (NVP) range.
double KUOfNVP(double nvp) {
    return 1.0 / nvp;
}

// КУ of a coaxial line on a dielectric of relative permittivity εr: sqrt(εr).
double KUOfPermittivity(double permittivity) {
    return std::sqrt(permittivity);
}

class StarterTableInAHome : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.isValid());
        // As scripts/new-home lays out a new home: the table in its storage folder.
        doc_ = std::make_unique<CPELDoc>(platform::AsFolder(home_.path()));
        ASSERT_TRUE(platform::CreateFolderPath(doc_->storageFolder));
        ASSERT_TRUE(QFile::copy(Utf8(PEL_STARTER_TABLE), Path()));
        owner_.resize(kWorkWidth, 415);
        list_ = new CKUListCtrl(&owner_);
        list_->setGeometry(0, 0, kWorkWidth, 415);
        list_->SetRowHeight(18);
    }
    void TearDown() override { SetVelocityDisplayMode(0); }

    QString Path() const { return doc_->storageFolder + QString::fromLatin1(ku_table::kFileName); }
    QByteArray TableBytes() const {
        QByteArray bytes;
        EXPECT_TRUE(platform::ReadWholeFile(Path(), bytes));
        return bytes;
    }

    QTemporaryDir home_;
    std::unique_ptr<CPELDoc> doc_;
    QWidget owner_;
    CKUListCtrl* list_ = nullptr;
};

} // namespace

TEST(StarterTable, IsWhatTheListsWriterMakesOfItsSource) {
    std::vector<ku_table::Record> records;
    QString error;
    ASSERT_TRUE(starter_table::ParseSource(QString::fromUtf8(ReadFile(PEL_STARTER_SOURCE)), records, error))
        << error.toStdString();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(starter_table::TableImage(records).toHex().toStdString(), StarterTable().toHex().toStdString())
        << "data/tableku.tku is stale: remake it with pel_make_starter_table";
}

TEST(StarterTable, IsInTheInstrumentsFileFormat) {
    const QByteArray bytes = StarterTable();
    ASSERT_FALSE(bytes.isEmpty());
    ASSERT_EQ(bytes.size() % 2, 0) << "whole UTF-16 code units";
    EXPECT_FALSE(bytes.startsWith(QByteArray::fromHex("fffe"))) << "no byte-order mark";
    EXPECT_TRUE(bytes.endsWith(QByteArray("\n\0", 2))) << "the last line ends with a line feed";
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    EXPECT_FALSE(text.contains(QLatin1Char('\r'))) << "line feeds only";

    const QStringList lines = ku_table::DecodeLines(bytes);
    ASSERT_EQ(lines.size() % 2, 0) << "brand line and value line in turn";
    static const QRegularExpression kStoredValue(QStringLiteral("^[0-9]\\.[0-9]{3} $"));
    for (qsizetype i = 0; i < lines.size(); i += 2) {
        EXPECT_FALSE(kStoredValue.match(lines[i]).hasMatch()) << "line " << i + 1 << " should be a brand";
        EXPECT_TRUE(kStoredValue.match(lines[i + 1]).hasMatch())
            << "line " << i + 2 << " is not \"%.3f \": " << lines[i + 1].toStdString();
    }
}

TEST(StarterTable, EveryKUIsWithinTheInstrumentsRange) {
    const tables::VelocityMode& ku = tables::kVelocityModes[0];
    const std::vector<ku_table::Record> records = StarterRecords();
    ASSERT_FALSE(records.empty());
    for (const ku_table::Record& record : records) {
        const double value = ku_table::StoredKU(record.value, 0);
        EXPECT_GE(value, ku.minimum) << record.brand.toStdString();
        EXPECT_LE(value, ku.maximum) << record.brand.toStdString();
    }
}

TEST(StarterTable, SurvivesTheListsWriteReadRoundTripInBothDisplayModes) {
    const QByteArray bytes = StarterTable();
    // КУ display keeps the stored text; the V/2 display shows one decimal, and the values
    // are chosen so that a save made while it is shown writes every КУ back unchanged.
    for (int mode : {0, 1}) {
        const std::vector<ku_table::Record> records = ku_table::ReadRecords(bytes, mode);
        EXPECT_EQ(ku_table::WriteRecords(records, mode).toHex().toStdString(), bytes.toHex().toStdString())
            << "display mode " << mode;
    }
}

TEST(StarterTable, HasEveryCommonCableKindAtAPlausibleValue) {
    const std::vector<ku_table::Record> records = StarterRecords();

    // Telephone pairs, solid polyethylene, air core: NVP 0.64..0.72.
    for (const char* brand : {"ТПП", "ТППЭП"}) {
        EXPECT_GE(KU(records, brand), KUOfNVP(0.72)) << brand;
        EXPECT_LE(KU(records, brand), KUOfNVP(0.64)) << brand;
    }
    // Jelly-filled: the filling slows the pairs down, NVP 0.58..0.66.
    EXPECT_GE(KU(records, "ТППЭПЗ"), KUOfNVP(0.66));
    EXPECT_LE(KU(records, "ТППЭПЗ"), KUOfNVP(0.58));
    EXPECT_GT(KU(records, "ТППЭПЗ"), KU(records, "ТППЭП")) << "a filled core is slower than an air core";
    // Foam-skin insulation, filled: NVP 0.62..0.70.
    EXPECT_GE(KU(records, "ТП ПЛЕНКО-ПОРИСТ."), KUOfNVP(0.70));
    EXPECT_LE(KU(records, "ТП ПЛЕНКО-ПОРИСТ."), KUOfNVP(0.62));
    EXPECT_LT(KU(records, "ТП ПЛЕНКО-ПОРИСТ."), KU(records, "ТППЭПЗ")) << "foam-skin is faster than solid, filled";
    // Paper insulation: NVP 0.64..0.74.
    for (const char* brand : {"ТГ", "ТБ"}) {
        EXPECT_GE(KU(records, brand), KUOfNVP(0.74)) << brand;
        EXPECT_LE(KU(records, brand), KUOfNVP(0.64)) << brand;
    }
    // Coaxial lines: КУ = sqrt(εr); solid polyethylene εr 2.25..2.35, foamed 1.3..1.7.
    for (const char* brand : {"РК 50 СПЛОШН.ПЭ", "РК 75 СПЛОШН.ПЭ"}) {
        EXPECT_GE(KU(records, brand), KUOfPermittivity(2.25)) << brand;
        EXPECT_LE(KU(records, brand), KUOfPermittivity(2.35)) << brand;
    }
    for (const char* brand : {"РК 50 ВСПЕН.ПЭ", "РК 75 ВСПЕН.ПЭ"}) {
        EXPECT_GE(KU(records, brand), KUOfPermittivity(1.3)) << brand;
        EXPECT_LE(KU(records, brand), KUOfPermittivity(1.7)) << brand;
    }
    // Category 5e: at most the longest propagation delay the cabling standard allows at
    // 100 MHz, 534 + 36 / sqrt(100) ns per 100 m, and not faster than NVP 0.75.
    const double longestDelay = (534.0 + 36.0 / std::sqrt(100.0)) * 1e-9;
    EXPECT_LE(KU(records, "UTP CAT.5E"), kSpeedOfLight * longestDelay / 100.0);
    EXPECT_GE(KU(records, "UTP CAT.5E"), KUOfNVP(0.75));
}

TEST(StarterTable, BrandsAreUniqueAndAsTheKeypadEntryWritesThem) {
    const std::vector<ku_table::Record> records = StarterRecords();
    ASSERT_FALSE(records.empty());
    QSet<QString> seen;
    for (const ku_table::Record& record : records) {
        const QString& brand = record.brand;
        EXPECT_FALSE(brand.isEmpty());
        EXPECT_EQ(brand, brand.trimmed()) << "no blanks at the ends: " << brand.toStdString();
        EXPECT_NE(brand, ku_table::NoBrand()) << "the list's no-brand sentinel";
        // The entry writes upper case; an operator adding the same brand replaces this entry.
        EXPECT_EQ(brand, brand.toUpper()) << brand.toStdString();
        EXPECT_LT(brand.size(), ku_table::kTextBuffer) << "the list reads item texts through its buffer";
        EXPECT_FALSE(seen.contains(brand)) << "repeated brand " << brand.toStdString();
        seen.insert(brand);
    }
}

TEST(StarterTable, EveryBrandCanBeTypedOnTheKeypad) {
    const std::vector<ku_table::Record> records = StarterRecords();
    ASSERT_FALSE(records.empty());
    for (const ku_table::Record& record : records) {
        // The operator's entry: the soft keys for F1 (language), the editor in the library view.
        CTextEntrySetting setting;
        CBtnsHView horizontalKeys;
        CBtnsVView verticalKeys;
        QWidget view;
        view.resize(kWorkWidth, 415);
        auto* editor = new CEnterChar(EnterCharContext{&setting, &horizontalKeys, &verticalKeys});
        ASSERT_TRUE(editor->Create(QRect(5, 20, 330, 18), &view, 1, QString()));

        for (const QChar c : record.brand) {
            // The key and the number of taps for the character, switching the language once
            // when the current one lacks it.
            int key = -1;
            int taps = 0;
            for (int attempt = 0; attempt < 2 && key < 0; ++attempt) {
                for (int digit = 0; digit < enter_char::kKeys && key < 0; ++digit) {
                    const QString& group = editor->GetKeyGroup(digit);
                    for (int i = 0; i < enter_char::CandidateCount(group); ++i) {
                        if (enter_char::Candidate(group, i) == c) {
                            key = digit;
                            taps = i + 1;
                            break;
                        }
                    }
                }
                if (key < 0 && attempt == 0)
                    QTest::keyClick(editor, Qt::Key_F1);
            }
            ASSERT_GE(key, 0) << "no key gives '" << QString(c).toStdString() << "' of " << record.brand.toStdString();
            for (int tap = 0; tap < taps; ++tap)
                editor->OnChar(vk::k0 + key);
            editor->OnTimer(enter_char::kMultiTapTimer); // the 700 ms pass: the character stays
        }
        EXPECT_EQ(editor->text(), record.brand);
    }
}

TEST_F(StarterTableInAHome, TheListLoadsItAndSavesItUnchanged) {
    list_->InitColumns(doc_.get());
    const std::vector<ku_table::Record> records = StarterRecords();
    ASSERT_EQ(list_->GetRowCount(), static_cast<int>(records.size()));
    for (int row = 0; row < list_->GetRowCount(); ++row) {
        const ku_table::Record& record = records[static_cast<std::size_t>(row)];
        EXPECT_EQ(list_->GetItemText(row, CKUListCtrl::kBrandColumn), record.brand);
        EXPECT_EQ(list_->GetItemText(row, CKUListCtrl::kValueColumn), record.value);
    }
    EXPECT_EQ(list_->currentBrand, records.front().brand) << "the first cable is highlighted";
    ASSERT_TRUE(list_->SaveTable());
    EXPECT_EQ(TableBytes().toHex().toStdString(), StarterTable().toHex().toStdString());
}

TEST_F(StarterTableInAHome, InTheV2DisplayTheListShowsSpeedsAndSavesItUnchanged) {
    SetVelocityDisplayMode(1);
    list_->InitColumns(doc_.get());
    const tables::VelocityMode& v2 = tables::kVelocityModes[1];
    ASSERT_GT(list_->GetRowCount(), 0);
    for (int row = 0; row < list_->GetRowCount(); ++row) {
        const double shown = ku_table::ParseValue(list_->GetItemText(row, CKUListCtrl::kValueColumn));
        EXPECT_GE(shown, v2.minimum) << row;
        EXPECT_LE(shown, v2.maximum) << row;
    }
    // Deleting a row while V/2 is shown rewrites the table from the shown values.
    list_->DeleteItem(0);
    ASSERT_TRUE(list_->SaveTable());
    std::vector<ku_table::Record> rest = StarterRecords();
    rest.erase(rest.begin());
    EXPECT_EQ(TableBytes().toHex().toStdString(), ku_table::WriteRecords(rest, 0).toHex().toStdString());
}

TEST_F(StarterTableInAHome, EveryBrandFitsItsColumn) {
    list_->InitColumns(doc_.get());
    list_->LayoutColumns(kWorkWidth);
    QFont rowFont = list_->font();
    rowFont.setPixelSize(CKUListCtrl::kRowFontPixels);
    const QFontMetrics metrics(rowFont);
    const int room = list_->columnWidth(CKUListCtrl::kBrandColumn) - CKUListCtrl::kTextInset;
    ASSERT_GT(room, 0);
    for (int row = 0; row < list_->GetRowCount(); ++row) {
        const QString brand = list_->GetItemText(row, CKUListCtrl::kBrandColumn);
        EXPECT_LE(metrics.horizontalAdvance(brand), room) << brand.toStdString();
    }
}
