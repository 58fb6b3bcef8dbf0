// The editor's record in core: after an OK whose write failed, the form and
// the record OK sends are the same thing, and rights hold for imports.

#include <gtest/gtest.h>

#include "session/char_rec_edit.h"
#include "support/sample_records.h"

using testsupport::SampleRecord;

TEST(CharRecEditModel, AFailedWriteLeavesTheRecordAsReadForTheNextOk) {
    for (const bool rising : {true, false}) {
        // Seven points with more digits than the list shows, more beyond them.
        const CharRecData base = SampleRecord(4).Curve(7, rising);
        CharRecEdit edit;
        edit.LoadRead(base, EncodeCharImage(base), 4, 1700000000);

        // Count set to 6 and OK: the attempt drops point 7 (its write fails,
        // so nothing is taken over).
        CharRecForm form = edit.Shown();
        form.count = QStringLiteral("6");
        const CharRecValidation attempt = edit.Validate(form);
        ASSERT_TRUE(attempt.ok) << attempt.message.toStdString();
        EXPECT_EQ(attempt.data.ACTIVE, 6);
        EXPECT_EQ(edit.WriteOf(attempt.data).before, ImageBytes(EncodeCharImage(base)));

        // Count back to 7, the list showing the seven points as before: OK
        // sends the record as read, every point exact.
        form.count = QStringLiteral("7");
        const CharRecValidation again = edit.Validate(form);
        ASSERT_TRUE(again.ok) << again.message.toStdString();
        EXPECT_EQ(again.data, base) << (rising ? "rising" : "falling");
    }
}

TEST(CharRecEditModel, OutsideServiceModeAProtectedRecordIsNotImported) {
    const CharRecData locked = SampleRecord(6).Password();  // from another slot
    CharRecEdit edit(false);
    edit.Load(SampleRecord(4), 4, 1700000000);
    QString refusal;
    EXPECT_FALSE(edit.Import(locked, 1700000000, &refusal));
    EXPECT_EQ(refusal, charrecmsg::AccessDenied());
    EXPECT_EQ(edit.Base(), SampleRecord(4));

    CharRecEdit service(true);
    service.Load(SampleRecord(4), 4, 1700000000);
    EXPECT_TRUE(service.Import(locked, 1700000001, &refusal));
    EXPECT_EQ(service.Base().PASSWORD, 1);
    EXPECT_EQ(service.Base().SAVE_TIME, 1700000001);
    EXPECT_EQ(service.Base().REC_NUMBER, 4);
}
