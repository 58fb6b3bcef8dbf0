#include <gtest/gtest.h>

#include <QBuffer>
#include <QTemporaryDir>
#include <QtEndian>

#include <memory>

#include "records/record_files.h"
#include "support/sample_records.h"
#include "support/test_support.h"

namespace {

using testsupport::ReadFileBytes;
using testsupport::SampleRecord;
using testsupport::WriteFileBytes;

std::unique_ptr<CTableCharRec> SampleSet(int n) {
    auto set = std::make_unique<CTableCharRec>();
    for (int i = 0; i < n; ++i) set->Put(SampleRecord(i), i);
    return set;
}

std::string Int32Le(int32_t v) {
    char b[4];
    qToLittleEndian(v, b);
    return std::string(b, 4);
}

class RecordSetFileTest : public ::testing::Test {
protected:
    QString QPath(const char* name) const { return dir_.filePath(name); }
    std::string Path(const char* name) const { return QPath(name).toStdString(); }
    // Header with the given version and count, then `blocks` sample blocks.
    std::string Make(int32_t version, int32_t count, int blocks) const {
        std::string b = Int32Le(version) + Int32Le(count);
        for (int i = 0; i < blocks; ++i) b += CharRecToBytes(SampleRecord(i)).mid(4).toStdString();
        return b;
    }
    QTemporaryDir dir_;
};

TEST_F(RecordSetFileTest, SizeIsEightPlus359PerSlotWithTheCountAtByteFour) {
    for (int n : {0, 1, 3, 150}) {
        ASSERT_TRUE(SaveCharRecSetFile(QPath("s.kvz"), *SampleSet(n)));
        const std::string b = ReadFileBytes(Path("s.kvz"));
        ASSERT_EQ(b.size(), 8u + 359u * n);
        EXPECT_EQ(b.substr(0, 4), Int32Le(1));
        EXPECT_EQ(b.substr(4, 4), Int32Le(n));
        if (n > 0) {
            // Each block is the record file's bytes without the version.
            EXPECT_EQ(b.substr(8 + 359 * (n - 1), 359),
                      CharRecToBytes(SampleRecord(n - 1)).mid(4).toStdString());
        }
    }
    ASSERT_TRUE(SaveCharRecSetFile(QPath("e.kvz"), CTableCharRec{}));
    EXPECT_EQ(ReadFileBytes(Path("e.kvz")), std::string("\x01\0\0\0\0\0\0\0", 8));
}

TEST_F(RecordSetFileTest, RoundTripKeepsEveryRecord) {
    ASSERT_TRUE(SaveCharRecSetFile(QPath("s.kvz"), *SampleSet(20)));
    auto back = std::make_unique<CTableCharRec>();
    ASSERT_TRUE(LoadCharRecSetFile(QPath("s.kvz"), back.get()));
    ASSERT_EQ(back->Count(), 20);
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(back->Get(i) == SampleRecord(i)) << i;
}

struct CountCase {
    int32_t announced;
    int blocks;
    int expected;
};
void PrintTo(const CountCase& c, std::ostream* os) {
    *os << c.announced << "/" << c.blocks;
}

class AnnouncedCountTest : public RecordSetFileTest,
                           public ::testing::WithParamInterface<CountCase> {};

TEST_P(AnnouncedCountTest, CountIsClampedToWhatCanBeRead) {
    const auto p = GetParam();
    ASSERT_TRUE(WriteFileBytes(Path("c.kvz"), Make(1, p.announced, p.blocks)));
    auto set = std::make_unique<CTableCharRec>();
    ASSERT_TRUE(LoadCharRecSetFile(QPath("c.kvz"), set.get()));
    EXPECT_EQ(set->Count(), p.expected);
    if (p.expected > 0) {
        EXPECT_TRUE(set->Get(p.expected - 1) == SampleRecord(p.expected - 1));
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, AnnouncedCountTest,
                         ::testing::Values(CountCase{151, 150, 150}, CountCase{1000, 151, 150},
                                           CountCase{-1, 3, 0}, CountCase{INT32_MIN, 0, 0},
                                           CountCase{2, 5, 2}),
                         [](const auto& info) { return std::to_string(info.index); });

TEST_F(RecordSetFileTest, RefusedFilesLeaveTheCallersSetUnchanged) {
    const std::string good = Make(1, 3, 3);
    const std::string bad[] = {
        Make(2, 3, 3),                    // version 2
        good.substr(0, 8 + 359 + 100),    // cut inside the second record
        good.substr(0, 8 + 359 * 3 - 1),  // last byte missing
        good.substr(0, 6),                // count cut
        std::string(),
    };
    for (const std::string& bytes : bad) {
        ASSERT_TRUE(WriteFileBytes(Path("bad.kvz"), bytes));
        auto mine = SampleSet(5);
        EXPECT_FALSE(LoadCharRecSetFile(QPath("bad.kvz"), mine.get())) << bytes.size();
        EXPECT_EQ(mine->Count(), 5);
        for (int i = 0; i < 5; ++i) EXPECT_TRUE(mine->Get(i) == SampleRecord(i));
    }
    auto mine = SampleSet(5);
    EXPECT_FALSE(LoadCharRecSetFile(QPath("missing.kvz"), mine.get()));
    EXPECT_EQ(mine->Count(), 5);
}

TEST(CTableCharRec, LoadClearsEnableAndValidOfEverySlotFirst) {
    auto set = SampleSet(4);
    const QByteArray emptyFile("\x01\0\0\0\0\0\0\0", 8);
    QBuffer buf;
    buf.setData(emptyFile);
    buf.open(QIODevice::ReadOnly);
    BinaryArchive ar(&buf, BinaryArchive::Mode::Load);
    set->Serialize(ar);
    EXPECT_TRUE(ar.Close());
    EXPECT_EQ(set->Count(), 0);
    EXPECT_FALSE(set->Error());
    CharRecData expected = SampleRecord(2);
    expected.ENABLE = 0;
    expected.valid = 0;
    EXPECT_TRUE(set->Get(2) == expected);

    // A version other than 1 raises the error flag.
    QBuffer v2;
    v2.setData(QByteArray("\x02\0\0\0\0\0\0\0", 8));
    v2.open(QIODevice::ReadOnly);
    BinaryArchive ar2(&v2, BinaryArchive::Mode::Load);
    set->Serialize(ar2);
    EXPECT_TRUE(set->Error());
}

TEST(CTableCharRec, PutAndGetIgnoreIndicesOutsideTheTable) {
    CTableCharRec set;
    set.Put(SampleRecord(0), 0);
    set.Put(SampleRecord(9), 9);
    EXPECT_EQ(set.Count(), 10);
    set.Put(SampleRecord(3), 3);
    EXPECT_EQ(set.Count(), 10);
    set.Put(SampleRecord(1), 150);
    set.Put(SampleRecord(1), -1);
    EXPECT_EQ(set.Count(), 10);
    EXPECT_TRUE(set.Get(9) == SampleRecord(9));
    EXPECT_TRUE(set.Get(150) == SampleRecord(0));
    EXPECT_TRUE(set.Get(-7) == SampleRecord(0));
    set.Put(SampleRecord(149), 149);
    EXPECT_EQ(set.Count(), 150);
}

}  // namespace
