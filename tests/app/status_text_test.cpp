#include <gtest/gtest.h>

#include <cstring>

#include "app/status_text.h"

namespace {

StatusInputs Healthy() {
    StatusInputs in;
    in.connected = true;
    std::strcpy(in.identity.model, "KV-607");
    in.identity.versionLetter = 'A';
    in.identity.valid = true;
    in.serialNumber = {17, true};
    in.condition.valid = true;
    in.temperature = {21.25, false, true};
    return in;
}

}  // namespace

TEST(StatusText, HealthyMeterShowsItsIdentityOnly) {
    const StatusLine s = ComposeStatusLine(Healthy());
    EXPECT_EQ(s.text, QStringLiteral("KV-607A nr 17. "));
    EXPECT_EQ(s.icon, StatusIcon::Information);
    EXPECT_TRUE(s.serviceText.isEmpty());
}

TEST(StatusText, MissingIdentityIsFollowedDirectlyByFaults) {
    StatusInputs in = Healthy();
    in.serialNumber.valid = false;
    in.condition.startupDataError = true;
    in.condition.startupMemoryError = true;
    EXPECT_EQ(ComposeStatusLine(in).text,
              QStringLiteral("Brak danych o urządzeniu Błąd danych uruchamiania. Błąd pamięci "
                             "uruchamiania."));
    EXPECT_EQ(ComposeStatusLine(in).icon, StatusIcon::Warning);

    in = Healthy();
    in.identity.valid = false;
    EXPECT_EQ(ComposeStatusLine(in).text, QStringLiteral("Brak danych o urządzeniu"));
    EXPECT_EQ(ComposeStatusLine(in).icon, StatusIcon::Information);
}

TEST(StatusText, PiecesJoinWithDoubleSpaces) {
    StatusInputs in = Healthy();
    std::strcpy(in.identity.model, "KV-606");
    in.identity.versionLetter = 'B';
    in.serialNumber.serialNumber = 1234;
    in.condition.lowSupplyVoltage = true;
    in.registrationRunning = true;
    in.fileInterval = 60;
    EXPECT_EQ(ComposeStatusLine(in).text,
              QStringLiteral("KV-606B nr 1234.  Niskie napięcie zasilania. Rejestracja do pliku "
                             "co 00:01:00. "));
}

TEST(StatusText, FaultFlagsCountOnlyInValidRecords) {
    StatusInputs in = Healthy();
    in.condition = {true, true, true, false};  // flags set, record not valid
    in.temperature.temperatureError = true;
    in.temperature.valid = false;
    const StatusLine s = ComposeStatusLine(in);
    EXPECT_EQ(s.text, QStringLiteral("KV-607A nr 17. "));
    EXPECT_EQ(s.icon, StatusIcon::Information);

    in.temperature.valid = true;
    EXPECT_EQ(ComposeStatusLine(in).text,
              QStringLiteral("KV-607A nr 17.  Błąd pomiaru temperatury."));
    EXPECT_EQ(ComposeStatusLine(in).icon, StatusIcon::Warning);
}

TEST(StatusText, LinkLostWhileRegistering) {
    StatusInputs in = Healthy();
    in.connected = false;
    in.registrationRunning = true;
    in.fileInterval = 3661;
    std::strcpy(in.serviceData.text, "S1234567");
    in.serviceData.valid = true;
    const StatusLine s = ComposeStatusLine(in);
    EXPECT_EQ(s.text, QStringLiteral(
                          "Brak komunikacji z urządzeniem.  Rejestracja do pliku co 01:01:01. "));
    EXPECT_EQ(s.icon, StatusIcon::Error);
    EXPECT_TRUE(s.serviceText.isEmpty());  // the box is emptied without a link
}

TEST(StatusText, ServiceDataWhenValid) {
    StatusInputs in = Healthy();
    std::memcpy(in.serviceData.text, "S0001234", 9);
    in.serviceData.valid = true;
    EXPECT_EQ(ComposeStatusLine(in).serviceText, QStringLiteral("S0001234"));
}

TEST(StatusText, MissingVersionLetterIsLeftOut) {
    StatusInputs in = Healthy();
    in.identity.versionLetter = 0;
    EXPECT_EQ(ComposeStatusLine(in).text, QStringLiteral("KV-607 nr 17. "));
}

TEST(DisplayState, BlinkRules) {
    MeterCondition cond{false, false, false, true};
    TemperatureReading t{20.5, false, true};
    DisplayState d = ComposeDisplayState(true, cond, t);
    EXPECT_TRUE(d.hasValue);
    EXPECT_DOUBLE_EQ(d.value, 20.5);
    EXPECT_FALSE(d.blink);

    // Low supply with a good temperature blinks.
    cond.lowSupplyVoltage = true;
    EXPECT_TRUE(ComposeDisplayState(true, cond, t).blink);
    // ... but not when the condition record is not valid.
    cond.valid = false;
    EXPECT_FALSE(ComposeDisplayState(true, cond, t).blink);
    // A temperature error blinks either way.
    t.temperatureError = true;
    EXPECT_TRUE(ComposeDisplayState(true, cond, t).blink);

    // No link, or no valid reading: "???" blinking.
    t = {20.5, false, true};
    d = ComposeDisplayState(false, cond, t);
    EXPECT_FALSE(d.hasValue);
    EXPECT_TRUE(d.blink);
    t.valid = false;
    EXPECT_FALSE(ComposeDisplayState(true, cond, t).hasValue);
}
