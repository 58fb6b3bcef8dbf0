// The demo meter the programs start with --demo, and its sample memory.

#include "sim/demo_meter.h"

#include <gtest/gtest.h>

#include <QString>

#include "meter/char_image.h"
#include "meter/kv60x_driver.h"
#include "records/char_rec_validation.h"
#include "records/cp1250.h"
#include "serial/port_names.h"
#include "sim/demo_data.h"
#include "support/sim_fixture.h"

namespace {

// The editor's form for a record, every number in its exact text.
CharRecForm FormOf(const CharRecData& r) {
    CharRecForm f;
    f.enableChecked = r.ENABLE != 0;
    f.compensationChecked = r.COMPENSATION != 0;
    f.resistiveChecked = r.METHOD == 0;
    f.capacitiveChecked = r.METHOD == 1;
    f.code = FixedFieldToUnicode(r.CODE, CharRecData::kCodeLen);
    f.name = FixedFieldToUnicode(r.NAME, CharRecData::kNameLen);
    f.desc = FixedFieldToUnicode(r.DESC, CharRecData::kDescLen);
    f.certificate = FixedFieldToUnicode(r.CERTIFICATE, CharRecData::kCertificateLen);
    f.count = QString::number(r.ACTIVE);
    for (int i = 0; i < r.ACTIVE; ++i) {
        f.humidity[i] = QString::number(r.RH[i], 'g', 17);
        f.value[i] = QString::number(r.VALUE[i], 'g', 17);
    }
    for (int k = 0; k < CharRecData::kCoefficients; ++k) {
        f.coefficient[k] = QString::number(r.COMPENS[k], 'g', 17);
    }
    f.serviceMode = true;
    return f;
}

}  // namespace

TEST(DemoMeter, StartsAsComTwoHundredFiftyWithItsSamplesAndGoesAway) {
    std::unique_ptr<MeterSimulator> demo = StartDemoMeter();
    ASSERT_TRUE(demo);
    EXPECT_EQ(DeviceForPort(kDemoPort), QString::fromStdString(demo->LinkPath()));
    const SimMeterState st = demo->State();
    EXPECT_DOUBLE_EQ(st.temperature, 21.5);
    EXPECT_DOUBLE_EQ(st.driftAmplitude, 1.5);
    EXPECT_DOUBLE_EQ(st.driftPeriodS, 180);
    EXPECT_EQ(st.slotCount, kDemoSlots);
    for (int i = 0; i < kDemoSlots; ++i) EXPECT_EQ(demo->SlotRecord(i).valid, 1) << i;
    EXPECT_EQ(demo->SlotRecord(kDemoSlots).valid, 0);

    // The program reaches it by its COM number.
    {
        Ckv60xDriver driver;
        driver.SetTiming(testsupport::FastTiming());
        ASSERT_TRUE(driver.Connect(kDemoPort)) << driver.LastOpenError().toStdString();
        CharacteristicCount count;
        ASSERT_TRUE(testsupport::WaitFor(
            [&] {
                driver.GetCharacteristicCount(count);
                return count.valid;
            },
            5000));
        EXPECT_EQ(count.count, kDemoSlots);
        TemperatureReading t;
        driver.GetTemperature(t);
        EXPECT_TRUE(t.valid);
        EXPECT_GE(t.temperature, 20.0 - 1e-9);
        EXPECT_LE(t.temperature, 23.0 + 1e-9);
        driver.Disconnect();
    }

    StopDemoMeter(demo);
    EXPECT_FALSE(demo);
    EXPECT_TRUE(DeviceForPort(kDemoPort).isEmpty());
    StopDemoMeter(demo);  // twice is harmless
}

TEST(DemoMeter, SamplesAreValidRecordsThatSurviveTheWire) {
    const int32_t now = 1700000000;
    for (int slot = 0; slot < 2 * kDemoSlots; ++slot) {
        const CharRecData r = DemoCharacteristic(slot, 2 * kDemoSlots, now);
        EXPECT_EQ(r.REC_NUMBER, slot);
        EXPECT_LT(r.SAVE_TIME, now);
        // The editor would let the user write it back unchanged.
        const CharRecValidation v = ValidateCharRec(FormOf(r), r);
        EXPECT_TRUE(v.ok) << slot << ": " << v.message.toStdString();
        // Its texts fill their fields and come back whole from the meter.
        CharRecData back;
        DecodeCharImage(EncodeCharImage(r), back);
        EXPECT_EQ(QByteArray(back.NAME), QByteArray(r.NAME)) << slot;
        EXPECT_EQ(QByteArray(back.DESC), QByteArray(r.DESC)) << slot;
        EXPECT_EQ(qstrlen(r.NAME), CharRecData::kNameLen) << slot;
        EXPECT_EQ(qstrlen(r.DESC), CharRecData::kDescLen) << slot;
        EXPECT_EQ(qstrlen(r.CERTIFICATE), CharRecData::kCertificateLen) << slot;
    }
    // Polish letters are code page 1250 bytes.
    EXPECT_EQ(FixedFieldToUnicode(DemoCharacteristic(1, 20, now).NAME, CharRecData::kNameLen),
              QStringLiteral("Żyto      "));
    EXPECT_EQ(FixedFieldToUnicode(DemoCharacteristic(3, 20, now).NAME, CharRecData::kNameLen),
              QStringLiteral("Jęczmień  "));
}
