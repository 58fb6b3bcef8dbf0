#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstring>

#include "records/record_files.h"
#include "support/sample_records.h"
#include "support/test_support.h"

namespace {

using testsupport::ReadFileBytes;
using testsupport::SampleRecord;
using testsupport::WriteFileBytes;

class RecordFileTest : public ::testing::Test {
protected:
    std::string Path(const char* name) const { return dir_.filePath(name).toStdString(); }
    QString QPath(const char* name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
};

TEST_F(RecordFileTest, SavedFileIsTheFixed363ByteLayout) {
    const CharRecData rec = SampleRecord(9).Password().Dates(1600000000, -2);
    ASSERT_TRUE(SaveCharRecFile(QPath("a.kvr"), rec));
    const std::string b = ReadFileBytes(Path("a.kvr"));
    ASSERT_EQ(b.size(), 363u);
    EXPECT_EQ(b.substr(0, 4), std::string("\x01\0\0\0", 4));
    EXPECT_EQ(b[362], '\x01');
    const std::string head{char(rec.REC_NUMBER), char(rec.ENABLE), char(rec.PASSWORD),
                           char(rec.COMPENSATION), char(rec.METHOD)};
    EXPECT_EQ(b.substr(4, 5), head);
    auto dbl = [&](size_t off) {
        const uint64_t bits = qFromLittleEndian<uint64_t>(b.data() + off);
        double v;
        std::memcpy(&v, &bits, 8);
        return v;
    };
    EXPECT_EQ(dbl(9), rec.RH[0]);
    EXPECT_EQ(dbl(9 + 8 * 14), rec.RH[14]);
    EXPECT_EQ(dbl(129), rec.VALUE[0]);
    EXPECT_EQ(dbl(249 + 24), rec.COMPENS[3]);
    EXPECT_EQ(b[281], rec.ACTIVE);
    EXPECT_EQ(b.substr(282, 16), std::string(rec.CERTIFICATE, 16));
    EXPECT_EQ(qFromLittleEndian<int32_t>(b.data() + 298), 1600000000);
    EXPECT_EQ(qFromLittleEndian<int32_t>(b.data() + 302), -2);
    EXPECT_EQ(b.substr(306, 41), std::string(rec.DESC, 41));
    EXPECT_EQ(b.substr(347, 4), std::string(rec.CODE, 4));
    EXPECT_EQ(b.substr(351, 11), std::string(rec.NAME, 11));
    EXPECT_EQ(QByteArray::fromStdString(b), CharRecToBytes(rec));
}

TEST_F(RecordFileTest, RoundTripKeepsEveryByteIncludingPolishTextsAndUnusedPoints) {
    SampleRecord rec(3);
    std::memcpy(rec.DESC + 30, "\0xyz", 4);  // bytes after the terminator
    ASSERT_TRUE(SaveCharRecFile(QPath("a.kvr"), rec));
    CharRecData back;
    ASSERT_TRUE(LoadCharRecFile(QPath("a.kvr"), &back));
    EXPECT_TRUE(back == rec);
    // Bytes after the record are ignored.
    WriteFileBytes(Path("b.kvr"), ReadFileBytes(Path("a.kvr")) + "trailing");
    CharRecData back2;
    ASSERT_TRUE(LoadCharRecFile(QPath("b.kvr"), &back2));
    EXPECT_TRUE(back2 == rec);
}

struct BadRecord {
    const char* what;
    std::string (*make)(std::string good);
};
void PrintTo(const BadRecord& c, std::ostream* os) {
    *os << c.what;
}

class RefusedRecordTest : public RecordFileTest, public ::testing::WithParamInterface<BadRecord> {};

TEST_P(RefusedRecordTest, IsRefusedAndLeavesTheCallersRecordAlone) {
    const std::string good = CharRecToBytes(SampleRecord(1)).toStdString();
    ASSERT_TRUE(WriteFileBytes(Path("bad.kvr"), GetParam().make(good)));
    CharRecData mine = SampleRecord(42);
    EXPECT_FALSE(LoadCharRecFile(QPath("bad.kvr"), &mine));
    EXPECT_TRUE(mine == SampleRecord(42));
}

INSTANTIATE_TEST_SUITE_P(
    Files, RefusedRecordTest,
    ::testing::Values(
        BadRecord{"version2", [](std::string b) { return b.replace(0, 1, "\x02"); }},
        BadRecord{"version256", [](std::string b) { return b.replace(1, 1, "\x01"); }},
        BadRecord{"storedNotValid",
                  [](std::string b) { return b.replace(362, 1, std::string(1, '\0')); }},
        BadRecord{"size362", [](std::string b) { return b.substr(0, 362); }},
        BadRecord{"size4", [](std::string b) { return b.substr(0, 4); }},
        BadRecord{"empty", [](std::string) { return std::string(); }}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(RecordFileTest, MissingFileIsRefused) {
    CharRecData mine = SampleRecord(5);
    EXPECT_FALSE(LoadCharRecFile(QPath("none.kvr"), &mine));
    EXPECT_TRUE(mine == SampleRecord(5));
}

TEST(CCharRecSerialize, OtherVersionReadsNothingMoreAndClearsOnlyValid) {
    QByteArray bytes = CharRecToBytes(SampleRecord(1));
    bytes[0] = 2;
    CCharRec rec;
    rec.SetData(SampleRecord(8));
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    BinaryArchive ar(&buf, BinaryArchive::Mode::Load);
    rec.Serialize(ar);
    EXPECT_TRUE(ar.Close());
    CharRecData expected = SampleRecord(8);
    expected.valid = 0;
    EXPECT_TRUE(rec.GetData() == expected);
}

TEST_F(RecordFileTest, SaveFailsWhenTheFileCannotBeCreated) {
    EXPECT_FALSE(SaveCharRecFile(dir_.filePath("no/such/dir/a.kvr"), SampleRecord(1)));
    // A folder standing where the file should go cannot be replaced.
    ASSERT_TRUE(QDir(dir_.path()).mkdir("taken.kvr"));
    EXPECT_FALSE(SaveCharRecFile(QPath("taken.kvr"), SampleRecord(1)));
}

// Accepts `room` bytes, then refuses every write.
class FullDevice : public QIODevice {
public:
    explicit FullDevice(qint64 room) : room_(room) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 len) override {
        if (room_ <= 0) return -1;
        const qint64 n = std::min(len, room_);
        room_ -= n;
        return n;
    }

private:
    qint64 room_ = 0;
};

TEST(BinaryArchive, WriteErrorsAreReportedAtClose) {
    for (qint64 room : {0, 100, 4096, 5000}) {
        FullDevice dev(room);
        BinaryArchive ar(&dev, BinaryArchive::Mode::Store);
        for (int i = 0; i < 1000; ++i) ar.WriteDouble(i);  // 8000 bytes
        EXPECT_FALSE(ar.Close()) << room;
    }
    FullDevice roomy(8000);
    BinaryArchive ok(&roomy, BinaryArchive::Mode::Store);
    for (int i = 0; i < 1000; ++i) ok.WriteDouble(i);
    EXPECT_TRUE(ok.Close());
}

TEST(BinaryArchive, FullDiskIsReportedThroughTheFilesOwnBuffer) {
    QFile full(QStringLiteral("/dev/full"));
    if (!full.open(QIODevice::WriteOnly)) GTEST_SKIP() << "/dev/full not available";
    BinaryArchive ar(&full, BinaryArchive::Mode::Store);
    CCharRec rec;
    rec.SetData(SampleRecord(1));
    rec.Serialize(ar);
    EXPECT_FALSE(ar.Close());
}

TEST(BinaryArchive, ValuesAreLittleEndianAndReadingPastTheEndFails) {
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    {
        BinaryArchive ar(&buf, BinaryArchive::Mode::Store);
        ar.WriteInt32(-2);
        ar.WriteDouble(1.0);
        ar.WriteUInt8(0xAB);
        ASSERT_TRUE(ar.Close());
    }
    EXPECT_EQ(buf.data(), QByteArray("\xFE\xFF\xFF\xFF\0\0\0\0\0\0\xF0\x3F\xAB", 13));
    buf.close();
    buf.open(QIODevice::ReadOnly);
    BinaryArchive in(&buf, BinaryArchive::Mode::Load);
    EXPECT_EQ(in.ReadInt32(), -2);
    EXPECT_EQ(in.ReadDouble(), 1.0);
    EXPECT_EQ(in.ReadUInt8(), 0xAB);
    EXPECT_TRUE(in.ok());
    EXPECT_EQ(in.ReadUInt8(), 0);
    EXPECT_FALSE(in.ok());
    EXPECT_FALSE(in.Close());
}

}  // namespace
