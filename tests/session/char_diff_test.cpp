// A slot against a reference file, field by field.

#include <gtest/gtest.h>

#include <cmath>

#include "meter/char_image.h"
#include "records/cp1250.h"
#include "session/char_diff.h"
#include "session/meter_write.h"
#include "support/sample_records.h"

using testsupport::SampleRecord;

TEST(CharDiff, NamesTheFieldsThatDifferAndReservedBytesApart) {
    const CharRecData file = SampleRecord(4).Name("Pszenica");
    const QByteArray same = ImageBytes(EncodeCharImage(file));
    EXPECT_TRUE(CompareSlot(same, file, 4, false).empty());
    EXPECT_EQ(DifferenceSummary({}), QStringLiteral("Miernik zgodny z plikiem"));

    // The meter holds another name and a point 3 value that differs only in
    // the last digit a float can hold: both named, with full precision.
    CharRecData meter = file;
    SetFixedField(meter.NAME, CharRecData::kNameLen, QStringLiteral("Owies"));
    meter.VALUE[2] = std::nextafter(static_cast<float>(file.VALUE[2]), 0.0f);
    auto d = CompareSlot(ImageBytes(EncodeCharImage(meter)), file, 4, false);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].field, QStringLiteral("Nazwa materiału"));
    EXPECT_EQ(d[0].meter, QStringLiteral("Owies"));
    EXPECT_EQ(d[0].file, QStringLiteral("Pszenica"));
    EXPECT_EQ(d[1].field, QStringLiteral("Punkt 3: wartość"));
    EXPECT_NE(d[1].meter, d[1].file);

    // Only bytes no field covers: one row, the bytes by number.
    CharImage reserved = EncodeCharImage(file);
    reserved[2] = 0x5A;
    reserved[230] = 0x01;
    reserved[255] = CharImageExpectedChecksum(reserved);
    d = CompareSlot(ImageBytes(reserved), file, 4, false);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].field, QStringLiteral("bajty zastrzeżone"));
    EXPECT_EQ(d[0].meter, QStringLiteral("2: 5A, 230: 01"));
    EXPECT_EQ(d[0].file, QStringLiteral("2: 00, 230: 00"));
    EXPECT_EQ(DifferenceSummary({{1, d}, {4, d}}),
              QStringLiteral("Różnice: charakterystyki nr 2, 5"));
}
