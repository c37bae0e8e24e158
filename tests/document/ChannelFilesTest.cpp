#include "document/PELParam.h"

#include "document/ReflectogramFile.h"
#include "platform/Files.h"
#include "support/FileSizeLimit.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <vector>

namespace {

// A home folder with a dot in its name, as an instrument's home may well have.
class ChannelFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp_.isValid());
        home_ = temp_.path() + QStringLiteral("/pel.v1/");
        ASSERT_TRUE(platform::CreateFolder(home_));
        storage_ = home_ + QStringLiteral("save/");
    }

    CChannel MeasuredChannel() const {
        CChannel channel;
        channel.filePath = storage_;
        EXPECT_TRUE(channel.scale.SetIndex(7));
        EXPECT_TRUE(channel.pulse.SetIndex(6));
        EXPECT_TRUE(channel.average.SetIndex(5));
        EXPECT_TRUE(channel.gain.SetIndex(200));
        EXPECT_TRUE(channel.matching.SetIndex(120));
        channel.scale.vfactor.SetKU(1.4999);
        for (std::size_t j = 0; j < channel.scale.samples.size(); ++j)
            channel.scale.samples[j] = static_cast<std::uint8_t>(j % 251);
        return channel;
    }

    static QByteArray Contents(const QString& path) {
        QByteArray bytes;
        EXPECT_TRUE(platform::ReadWholeFile(path, bytes)) << path.toStdString();
        return bytes;
    }

    QTemporaryDir temp_;
    QString home_;
    QString storage_;
};

void ExpectSameSlot(const CChannel& a, const CChannel& b) {
    EXPECT_EQ(a.filePath, b.filePath);
    EXPECT_EQ(a.scale.GetIndex(), b.scale.GetIndex());
    EXPECT_EQ(a.scale.GetZoom(), b.scale.GetZoom());
    EXPECT_EQ(a.pulse.GetIndex(), b.pulse.GetIndex());
    EXPECT_EQ(a.average.GetIndex(), b.average.GetIndex());
    EXPECT_EQ(a.gain.GetIndex(), b.gain.GetIndex());
    EXPECT_EQ(a.matching.GetIndex(), b.matching.GetIndex());
    EXPECT_DOUBLE_EQ(a.scale.vfactor.GetKU(), b.scale.vfactor.GetKU());
    EXPECT_EQ(a.scale.samples, b.scale.samples);
}

} // namespace

TEST_F(ChannelFiles, SaveAndLoadRoundTrip) {
    CChannel saved = MeasuredChannel();
    ASSERT_EQ(saved.SaveTrace(QStringLiteral("[save].pel")), 0); // the storage folder is made on the way
    EXPECT_EQ(saved.filePath, storage_ + QStringLiteral("[save].pel"));

    const QByteArray bytes = Contents(storage_ + QStringLiteral("[save].pel"));
    ASSERT_EQ(bytes.size(), 8512);
    for (int offset = 28; offset < 512; ++offset)
        ASSERT_EQ(bytes[offset], '\0') << offset;
    EXPECT_EQ(qFromLittleEndian<std::int32_t>(bytes.constData() + 8), 7);     // range index, not metres
    EXPECT_EQ(qFromLittleEndian<std::int32_t>(bytes.constData() + 24), 1499); // КУ 1.4999

    CChannel loaded;
    loaded.filePath = storage_;
    ASSERT_TRUE(loaded.scale.SetIndex(2));
    loaded.scale.samples.fill(0xEE);
    ASSERT_EQ(loaded.LoadTrace(QStringLiteral("[save].pel")), 0);
    EXPECT_DOUBLE_EQ(loaded.scale.vfactor.GetKU(), 1.499);
    EXPECT_EQ(loaded.scale.GetZoom(), 7); // the range shows whole
    saved.scale.vfactor.SetKU(1.499);
    ExpectSameSlot(loaded, saved);

    // Without a name the file last used is read again.
    loaded.scale.samples.fill(0);
    ASSERT_EQ(loaded.LoadTrace(), 0);
    EXPECT_EQ(loaded.scale.samples[250], 250);
}

TEST_F(ChannelFiles, TwoNamesGiveTwoFilesInOneFolder) {
    CChannel channel = MeasuredChannel();
    ASSERT_EQ(channel.SaveTrace(QStringLiteral("ПЕРВЫЙ.pel")), 0);
    channel.scale.samples[0] = 99;
    ASSERT_EQ(channel.SaveTrace(QStringLiteral("ВТОРОЙ.pel")), 0);
    EXPECT_EQ(Contents(storage_ + QStringLiteral("ПЕРВЫЙ.pel"))[512], '\0');
    EXPECT_EQ(Contents(storage_ + QStringLiteral("ВТОРОЙ.pel"))[512], char(99));
    EXPECT_EQ(platform::FindFiles(storage_ + QStringLiteral("*")).size(), 2u) << "no temporary file is left";
}

TEST_F(ChannelFiles, NoNameNoFile) {
    CChannel channel = MeasuredChannel(); // path is the storage folder
    EXPECT_EQ(channel.SaveTrace(), 1);
    EXPECT_EQ(channel.LoadTrace(), 1);
    channel.filePath.clear();
    EXPECT_EQ(channel.SaveTrace(QStringLiteral("x.pel")), 1);
    EXPECT_FALSE(platform::FolderExists(storage_));
}

TEST_F(ChannelFiles, MissingOrDamagedFilesLeaveTheSlotAsItWas) {
    CChannel source = MeasuredChannel();
    ASSERT_EQ(source.SaveTrace(QStringLiteral("good.pel")), 0);
    QByteArray good = Contents(storage_ + QStringLiteral("good.pel"));

    auto writeFile = [&](const char* name, const QByteArray& bytes) {
        ASSERT_TRUE(platform::WriteFileAtomically(storage_ + QString::fromLatin1(name), bytes));
    };
    QByteArray badRange = good;
    qToLittleEndian<std::int32_t>(11, badRange.data() + 8);
    writeFile("range.pel", badRange);
    writeFile("short.pel", good.left(4000));
    writeFile("tiny.pel", good.left(100));

    CChannel slot;
    slot.filePath = storage_;
    ASSERT_TRUE(slot.scale.SetIndex(3));
    ASSERT_TRUE(slot.pulse.SetIndex(1));
    slot.scale.samples.fill(5);
    const CChannel before = slot;

    EXPECT_EQ(slot.LoadTrace(QStringLiteral("missing.pel")), 2);
    EXPECT_EQ(platform::LastError(), ENOENT);
    ExpectSameSlot(slot, before);
    for (const char* name : {"range.pel", "short.pel", "tiny.pel"}) {
        EXPECT_EQ(slot.LoadTrace(QString::fromLatin1(name)), 3) << name;
        ExpectSameSlot(slot, before);
    }
}

TEST_F(ChannelFiles, AShorterTraceLeavesNoOldSamples) {
    reflectogram::Header header;
    header.sampleCount = 500;
    header.storedKU = 1500;
    const std::vector<std::uint8_t> samples(500, 7);
    ASSERT_TRUE(platform::CreateFolder(storage_));
    ASSERT_TRUE(platform::WriteFileAtomically(storage_ + QStringLiteral("short.pel"),
                                              reflectogram::Encode(header, samples.data())));
    CChannel slot;
    slot.filePath = storage_;
    slot.scale.samples.fill(0xEE);
    ASSERT_EQ(slot.LoadTrace(QStringLiteral("short.pel")), 0);
    EXPECT_EQ(slot.scale.samples[499], 7);
    EXPECT_EQ(slot.scale.samples[500], 0);
    EXPECT_EQ(slot.scale.samples[7999], 0);

    // A longer one fills the buffer; what lies beyond it is not stored.
    header.sampleCount = 9000;
    const std::vector<std::uint8_t> longer(9000, 9);
    ASSERT_TRUE(platform::WriteFileAtomically(storage_ + QStringLiteral("long.pel"),
                                              reflectogram::Encode(header, longer.data()) + "extra"));
    ASSERT_EQ(slot.LoadTrace(QStringLiteral("long.pel")), 0);
    EXPECT_EQ(slot.scale.samples[0], 9);
    EXPECT_EQ(slot.scale.samples[7999], 9);
}

TEST_F(ChannelFiles, AFailedWriteKeepsTheOldFileWhole) {
    CChannel channel = MeasuredChannel();
    ASSERT_EQ(channel.SaveTrace(QStringLiteral("kept.pel")), 0);
    const QByteArray old = Contents(storage_ + QStringLiteral("kept.pel"));

    // A file-size limit makes the write of the new file fail half-way, as a full disk would.
    channel.scale.samples.fill(0x55);
    std::int32_t result = 0;
    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.Active());
        result = channel.SaveTrace(QStringLiteral("kept.pel"));
    }

    EXPECT_EQ(result, 2);
    EXPECT_EQ(Contents(storage_ + QStringLiteral("kept.pel")), old);
    EXPECT_EQ(platform::FindFiles(storage_ + QStringLiteral("*")).size(), 1u) << "the temporary file is removed";
}

TEST_F(ChannelFiles, AFolderThatCannotBeMadeFailsTheSave) {
    ASSERT_TRUE(platform::WriteFileAtomically(home_ + QStringLiteral("blocker"), QByteArray("x")));
    CChannel channel = MeasuredChannel();
    channel.filePath = home_ + QStringLiteral("blocker/save/");
    EXPECT_EQ(channel.SaveTrace(QStringLiteral("a.pel")), 2);
    EXPECT_EQ(channel.filePath, home_ + QStringLiteral("blocker/save/"));
}

TEST_F(ChannelFiles, DeleteFilesByPattern) {
    CChannel channel = MeasuredChannel();
    ASSERT_EQ(channel.SaveTrace(QStringLiteral("a.pel")), 0);
    ASSERT_EQ(channel.SaveTrace(QStringLiteral("b.PEL")), 0);
    ASSERT_TRUE(platform::WriteFileAtomically(storage_ + QStringLiteral("SCREEN 1.png"), QByteArray("png")));
    ASSERT_TRUE(platform::CreateFolder(storage_ + QStringLiteral("sub.pel")));

    EXPECT_EQ(channel.DeleteFiles(QStringLiteral("*.png")), 0);
    EXPECT_FALSE(platform::FileExists(storage_ + QStringLiteral("SCREEN 1.png")));
    EXPECT_TRUE(platform::FileExists(storage_ + QStringLiteral("a.pel")));

    EXPECT_EQ(channel.DeleteFiles(QStringLiteral("*.pel")), 0);
    EXPECT_FALSE(platform::FileExists(storage_ + QStringLiteral("a.pel")));
    EXPECT_FALSE(platform::FileExists(storage_ + QStringLiteral("b.PEL")));
    EXPECT_TRUE(platform::FolderExists(storage_ + QStringLiteral("sub.pel")));

    // Without a pattern a folder path deletes nothing, a file path deletes that file.
    ASSERT_EQ(channel.SaveTrace(QStringLiteral("c.pel")), 0);
    CChannel folderOnly;
    folderOnly.filePath = storage_;
    EXPECT_EQ(folderOnly.DeleteFiles(), 0);
    EXPECT_TRUE(platform::FileExists(storage_ + QStringLiteral("c.pel")));
    EXPECT_EQ(channel.DeleteFiles(), 0);
    EXPECT_FALSE(platform::FileExists(storage_ + QStringLiteral("c.pel")));
}
