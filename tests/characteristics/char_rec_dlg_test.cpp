// The characteristic editor, its number prompt and point dialog, against the
// simulated meter.

#include <QCheckBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <cstring>
#include <ctime>
#include <vector>

#include "characteristics/char_dialog_fixture.h"
#include "characteristics/widgets/char_rec_dlg.h"
#include "characteristics/widgets/char_rec_select_dlg.h"
#include "characteristics/widgets/edit_char_table_dlg.h"
#include "records/record_files.h"

using testsupport::SampleRecord;
using testsupport::WaitUntil;
using testsupport::WhenShown;

namespace {

QStringList RowTexts(QTreeWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* it = list->topLevelItem(i);
        rows << it->text(0) + QLatin1Char('|') + it->text(1) + QLatin1Char('|') + it->text(2);
    }
    return rows;
}

}  // namespace

TEST_F(CharDialogTest, NumberPromptBoundsFollowTheMeterCount) {
    CCharRecSelectDlg dlg(session.get());
    dlg.NumberEdit()->setText(QStringLiteral("21"));
    dlg.OnOk();
    dlg.NumberEdit()->setText(QStringLiteral("abc"));
    dlg.OnOk();
    ASSERT_EQ(prompts->messages.size(), 2u);
    EXPECT_EQ(prompts->messages[0].text,
              QStringLiteral("Numer charakterystyki powinien zawierać się w przedziale <1, 20>"));
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    dlg.NumberEdit()->setText(QStringLiteral("20"));
    dlg.OnOk();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.Number(), 20);

    // No valid count: 1..150.
    MeterSession idle;
    CCharRecSelectDlg noCount(&idle);
    noCount.NumberEdit()->setText(QStringLiteral("151"));
    noCount.OnOk();
    ASSERT_EQ(prompts->messages.size(), 3u);
    EXPECT_EQ(prompts->messages[2].text,
              QStringLiteral("Numer charakterystyki powinien zawierać się w przedziale <1, 150>"));
    noCount.NumberEdit()->setText(QStringLiteral("150"));
    noCount.OnOk();
    EXPECT_EQ(noCount.result(), QDialog::Accepted);
}

TEST_F(CharDialogTest, OpeningByNumberReadsTheSlotAndFillsTheControls) {
    CCharRecDlg dlg(session.get(), 1);
    dlg.show();
    EXPECT_FALSE(dlg.OkButton()->isEnabled());  // locked while reading
    ASSERT_TRUE(WaitUntil([&] { return !dlg.IsBusy(); }));
    EXPECT_EQ(Received("CR00"), 1u);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Charakterystyka materiału nr 1"));
    EXPECT_TRUE(prompts->messages.empty());
    const CharRecData slot = sim().SlotRecord(0);
    EXPECT_EQ(dlg.CodeEdit()->text(), QStringLiteral("PSZ"));
    EXPECT_EQ(dlg.NameEdit()->text(), QStringLiteral("Pszenica"));  // without its padding
    EXPECT_TRUE(dlg.EnableBox()->isChecked());
    EXPECT_TRUE(dlg.CapacitiveRadio()->isChecked());
    EXPECT_EQ(dlg.CountEdit()->text(), QString::number(slot.ACTIVE));
    ASSERT_EQ(dlg.PointList()->topLevelItemCount(), slot.ACTIVE);
    EXPECT_EQ(dlg.PointList()->topLevelItem(1)->text(1), QString::asprintf("%.03f", slot.RH[1]));
    EXPECT_EQ(dlg.PointList()->topLevelItem(1)->text(2), QString::asprintf("%.05f", slot.VALUE[1]));
    EXPECT_EQ(dlg.CreateDateEdit()->dateTime().toSecsSinceEpoch(), slot.CREATE_TIME);
    EXPECT_EQ(dlg.CoefficientEdit(1)->text(), QStringLiteral("-0.0003000"));
    // Compensation on: coefficients editable; outside service mode no password box.
    EXPECT_TRUE(dlg.CoefficientEdit(0)->isEnabled());
    EXPECT_FALSE(dlg.PasswordBox()->isVisible());
    EXPECT_FALSE(dlg.Modified());

    // Enabling rules follow the two boxes at once.
    dlg.CompensationBox()->click();
    EXPECT_FALSE(dlg.CoefficientEdit(0)->isEnabled());
    dlg.EnableBox()->click();
    EXPECT_FALSE(dlg.NameEdit()->isEnabled());
    EXPECT_FALSE(dlg.PointList()->isEnabled());
    EXPECT_TRUE(dlg.EnableBox()->isEnabled());
    EXPECT_TRUE(dlg.Modified());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Charakterystyka materiału nr 1*"));
}

TEST_F(CharDialogTest, PointCountRebuildsTheListKeepsHiddenPointsAndMarksOnce) {
    SampleRecord rec(4);
    rec.ACTIVE = 10;
    for (int i = 0; i < 10; ++i) {
        rec.RH[i] = 5.0 + i;
        rec.VALUE[i] = 0.1 * (i + 1);
    }
    CCharRecDlg dlg(rec, false);
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Charakterystyka materiału nr 5"));
    const QStringList ten = RowTexts(dlg.PointList());
    ASSERT_EQ(ten.size(), 10);

    dlg.CountEdit()->setText(QStringLiteral("3"));
    EXPECT_EQ(dlg.PointList()->topLevelItemCount(), 3);
    dlg.CountEdit()->setText(QStringLiteral("10"));
    EXPECT_EQ(RowTexts(dlg.PointList()), ten);

    dlg.CountEdit()->setText(QStringLiteral("1"));
    EXPECT_EQ(dlg.PointList()->topLevelItemCount(), 2);
    dlg.OnOk();
    dlg.CountEdit()->setText(QStringLiteral("20"));
    EXPECT_EQ(dlg.PointList()->topLevelItemCount(), 15);
    dlg.OnOk();
    ASSERT_EQ(prompts->messages.size(), 2u);
    EXPECT_EQ(prompts->messages[0].text, charrecmsg::PointCount());
    EXPECT_EQ(prompts->messages[1].text, charrecmsg::PointCount());
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Charakterystyka materiału nr 5*"));

    // Opened with a record: OK validates and hands the block back.
    dlg.CountEdit()->setText(QStringLiteral("4"));
    dlg.NameEdit()->setText(QStringLiteral("AB"));
    dlg.OnOk();
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    const CharRecData out = dlg.Data();
    EXPECT_EQ(out.ACTIVE, 4);
    EXPECT_EQ(out.REC_NUMBER, 4);
    EXPECT_EQ(QByteArray(out.NAME), QByteArray("AB        "));
    EXPECT_EQ(out.RH[3], 8.0);
    EXPECT_EQ(out.RH[4], 0.0);  // beyond ACTIVE
    EXPECT_TRUE(dlg.Modified());
}

TEST_F(CharDialogTest, MeterCountAboveFifteenIsHeldToTheList) {
    SampleRecord rec(0);
    rec.ACTIVE = 200;
    CCharRecDlg dlg(rec, false);
    EXPECT_EQ(dlg.PointList()->topLevelItemCount(), 15);
    EXPECT_EQ(dlg.Data().ACTIVE, 15);
}

TEST_F(CharDialogTest, PointDialogTakesCommaAndSinglePrecision) {
    const CharRecData rec = SampleRecord(0);
    CCharRecDlg dlg(rec, false);
    dlg.show();
    dlg.PointList()->setCurrentItem(dlg.PointList()->topLevelItem(1));
    WhenShown<CEditCharTableDlg>([&rec](CEditCharTableDlg* p) {
        EXPECT_EQ(p->HumidityEdit()->text(), QString::asprintf("%.3f", rec.RH[1]));
        EXPECT_EQ(p->ValueEdit()->text(), QString::asprintf("%.5f", rec.VALUE[1]));
        p->HumidityEdit()->setText(QStringLiteral("12,5"));
        p->ValueEdit()->setText(QStringLiteral("0,123456789"));
        p->OnOk();
    });
    dlg.EditPoint(1);
    EXPECT_EQ(dlg.Data().RH[1], 12.5);
    EXPECT_EQ(dlg.Data().VALUE[1], static_cast<double>(0.123456789f));
    EXPECT_EQ(dlg.PointList()->topLevelItem(1)->text(1), QStringLiteral("12.500"));
    EXPECT_EQ(dlg.PointList()->topLevelItem(1)->text(2), QStringLiteral("0.12346"));
    EXPECT_TRUE(dlg.Modified());
}

TEST_F(CharDialogTest, OkWritesTheValidatedRecordIntoTheSlot) {
    CCharRecDlg dlg(session.get(), 3);
    dlg.show();
    ASSERT_TRUE(WaitUntil([&] { return !dlg.IsBusy(); }));
    dlg.NameEdit()->setText(QStringLiteral("Żyto"));
    dlg.CodeEdit()->setText(QStringLiteral("ZYTO"));
    dlg.OnOk();
    ASSERT_TRUE(WaitUntil([&] { return !dlg.isVisible(); }));
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_TRUE(prompts->messages.empty());
    EXPECT_EQ(ReceivedPrefix("CW02"), 1u);

    const CharRecData written = dlg.Data();
    EXPECT_EQ(QByteArray(written.NAME), QByteArray("\xAFyto      "));
    EXPECT_EQ(QByteArray(written.CODE), QByteArray("ZYT"));
    const CharRecData slot = sim().SlotRecord(2);
    // The meter keeps single-precision numbers; everything else exactly.
    CharRecData expected = written;
    for (int i = 0; i < CharRecData::kPoints; ++i) {
        EXPECT_FLOAT_EQ(static_cast<float>(slot.RH[i]), static_cast<float>(written.RH[i]));
        EXPECT_FLOAT_EQ(static_cast<float>(slot.VALUE[i]), static_cast<float>(written.VALUE[i]));
        expected.RH[i] = slot.RH[i];
        expected.VALUE[i] = slot.VALUE[i];
    }
    for (int k = 0; k < CharRecData::kCoefficients; ++k) {
        EXPECT_FLOAT_EQ(static_cast<float>(slot.COMPENS[k]),
                        static_cast<float>(written.COMPENS[k]));
        expected.COMPENS[k] = slot.COMPENS[k];
    }
    EXPECT_TRUE(slot == expected);
}

TEST_F(CharDialogTest, FailedWriteKeepsTheEditorOpenWithItsInputs) {
    CCharRecDlg dlg(session.get(), 2);
    dlg.show();
    ASSERT_TRUE(WaitUntil([&] { return !dlg.IsBusy(); }));
    const CharRecData before = sim().SlotRecord(1);
    SimFaults f;
    f.refuseCharHeader = true;
    sim().SetFaults(f);
    dlg.NameEdit()->setText(QStringLiteral("Nowa"));
    dlg.OnOk();
    ASSERT_TRUE(WaitUntil([&] { return !dlg.IsBusy(); }));
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, QStringLiteral("Nie można zapisać ustawień"));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.NameEdit()->text(), QStringLiteral("Nowa"));
    EXPECT_TRUE(dlg.NameEdit()->isEnabled());
    EXPECT_TRUE(dlg.OkButton()->isEnabled());
    EXPECT_TRUE(sim().SlotRecord(1) == before);

    // The meter takes it again: the next OK writes and closes.
    sim().ClearFaults();
    dlg.OnOk();
    ASSERT_TRUE(WaitUntil([&] { return !dlg.isVisible(); }));
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST_F(CharDialogTest, ImportTakesTheEditorsSlotAndTodaysSaveDate) {
    const QString path = TempPath(QStringLiteral("slot7.kvr"));
    const CharRecData imported = SampleRecord(6).Name("Próbka").Dates(1300000000, 1300003600);
    ASSERT_TRUE(SaveCharRecFile(path, imported));
    const QString bad = TempPath(QStringLiteral("short.kvr"));
    ASSERT_TRUE(testsupport::WriteFileBytes(bad.toStdString(), std::string(100, '\1')));

    CCharRecDlg dlg(SampleRecord(2).Name("Inna"), false);
    dlg.show();
    prompts->answerFile(bad);
    dlg.OnImport();
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, QStringLiteral("Błąd w trakcie odczytu charakterystyki"));
    EXPECT_EQ(dlg.NameEdit()->text(), QStringLiteral("Inna"));
    EXPECT_FALSE(dlg.Modified());
    ASSERT_EQ(prompts->fileRequests.size(), 1u);
    EXPECT_EQ(prompts->fileRequests[0].request.filters,
              QStringList{QStringLiteral("Rekord (*.kvr)")});

    prompts->answerFile(path);
    const int32_t before = static_cast<int32_t>(std::time(nullptr));
    dlg.OnImport();
    EXPECT_EQ(dlg.NameEdit()->text(), QStringLiteral("Próbka"));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Charakterystyka materiału nr 3*"));
    EXPECT_EQ(dlg.SaveDateEdit()->date(), QDate::currentDate());
    dlg.OnOk();
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.Data().REC_NUMBER, 2);
    EXPECT_GE(dlg.Data().SAVE_TIME, before);
    EXPECT_LE(dlg.Data().SAVE_TIME, static_cast<int32_t>(std::time(nullptr)));
    EXPECT_EQ(dlg.Data().CREATE_TIME, imported.CREATE_TIME);
}

TEST_F(CharDialogTest, ExportWritesTheValidatedRecord) {
    const CharRecData rec = SampleRecord(5);
    CCharRecDlg dlg(rec, false);
    const QString path = TempPath(QStringLiteral("out.kvr"));
    dlg.NameEdit()->setText(QStringLiteral("X"));
    prompts->answerFile(path);
    dlg.OnExport();
    EXPECT_TRUE(prompts->messages.empty());
    CharRecData loaded;
    ASSERT_TRUE(LoadCharRecFile(path, &loaded));
    EXPECT_EQ(QByteArray(loaded.NAME), QByteArray("X         "));
    EXPECT_EQ(loaded.REC_NUMBER, 5);
    EXPECT_EQ(loaded.ACTIVE, rec.ACTIVE);

    prompts->answerFile(TempPath(QStringLiteral("no/such/dir/x.kvr")));
    dlg.OnExport();
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, QStringLiteral("Błąd w trakcie zapisu charakterystyki"));
}

TEST_F(CharDialogTest, GraphValidatesWarnsForInactiveAndAlwaysOpens) {
    const CharRecData rec = SampleRecord(0);
    CCharRecDlg dlg(rec, false);
    std::vector<CharRecData> shown;
    dlg.graphHook = [&](QWidget*, const CharRecData& r) { shown.push_back(r); };
    dlg.OnGraph();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(prompts->messages.empty());
    EXPECT_EQ(shown[0].ACTIVE, rec.ACTIVE);
    EXPECT_EQ(shown[0].RH[2], rec.RH[2]);

    dlg.EnableBox()->setChecked(false);
    dlg.OnGraph();
    ASSERT_EQ(shown.size(), 2u);
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, QStringLiteral("Brak danych do wyświetlenia wykresu"));
    EXPECT_EQ(shown[1].ENABLE, 0);

    // A failed validation opens nothing.
    dlg.PointList()->topLevelItem(1)->setText(1, QStringLiteral("10.000"));
    dlg.OnGraph();
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_EQ(prompts->messages.back().text, charrecmsg::ArgumentsOrder());
}

TEST_F(CharDialogTest, ProtectedRecordIsRefusedOutsideServiceMode) {
    const CharRecData rec = SampleRecord(0).Password();
    CCharRecDlg refused(rec, false);
    EXPECT_EQ(refused.exec(), QDialog::Accepted);
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, charrecmsg::AccessDenied());
    EXPECT_FALSE(refused.Modified());

    CCharRecDlg service(rec, true);
    service.show();
    EXPECT_TRUE(service.PasswordBox()->isVisible());
    EXPECT_TRUE(service.PasswordBox()->isChecked());
    service.OnOk();
    EXPECT_EQ(service.Data().PASSWORD, 1);
    EXPECT_EQ(prompts->messages.size(), 1u);
}

TEST_F(CharDialogTest, EveryControlCarriesItsLabelAsAccessibleName) {
    CCharRecDlg dlg(SampleRecord(0), true);
    for (QWidget* w : dlg.findChildren<QWidget*>()) {
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractButton*>(w) ||
            qobject_cast<QDateTimeEdit*>(w) || qobject_cast<QTreeWidget*>(w)) {
            if (qobject_cast<QLineEdit*>(w) && qobject_cast<QDateTimeEdit*>(w->parentWidget()))
                continue;  // the date editor's own inner field
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className();
        }
    }
    EXPECT_EQ(dlg.CoefficientEdit(2)->accessibleName(), QStringLiteral("C:"));
    EXPECT_EQ(dlg.CountEdit()->accessibleName(),
              QStringLiteral("Liczba aktywnych punktów charakterystyki"));
}

TEST_F(CharDialogTest, FailedReadLeavesAnEmptyRecordForTheSlot) {
    SimFaults f;
    f.silentLines = {"CR04"};
    sim().SetFaults(f);
    CCharRecDlg dlg(session.get(), 5);
    dlg.show();
    ASSERT_TRUE(WaitUntil([&] { return !dlg.IsBusy(); }));
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, QStringLiteral("Nie można odczytać ustawień"));
    EXPECT_EQ(dlg.Data().valid, 0);
    EXPECT_EQ(dlg.Data().REC_NUMBER, 4);
    EXPECT_FALSE(dlg.EnableBox()->isChecked());
    EXPECT_TRUE(dlg.EnableBox()->isEnabled());
    EXPECT_TRUE(dlg.OkButton()->isEnabled());
    EXPECT_TRUE(dlg.NameEdit()->text().isEmpty());
    EXPECT_FALSE(dlg.Modified());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Charakterystyka materiału nr 5"));
}

TEST_F(CharDialogTest, UntouchedFieldsKeepTheMetersValuesThroughOkGraphExportAndWrite) {
    const CharRecData fine = SampleRecord(6).Name("Pszenica");
    sim().SetSlotRecord(6, fine);
    const MeterSimulator::Image image = sim().SlotImage(6);

    // Opened by number 7 and OK without a touch: the very same bytes go back.
    {
        CCharRecDlg dlg(session.get(), 7);
        dlg.show();
        ASSERT_TRUE(WaitUntil([&] { return !dlg.IsBusy(); }));
        EXPECT_EQ(dlg.CoefficientEdit(3)->text(), QString::asprintf("%.7f", fine.COMPENS[3]));
        ASSERT_TRUE(dlg.Edit().SlotRead());
        EXPECT_TRUE(dlg.Edit().Image() == image);
        EXPECT_EQ(dlg.NameEdit()->text(), QStringLiteral("Pszenica"));
        std::vector<CharRecData> graphed;
        dlg.graphHook = [&](QWidget*, const CharRecData& r) { graphed.push_back(r); };
        dlg.OnGraph();
        ASSERT_EQ(graphed.size(), 1u);
        EXPECT_TRUE(graphed[0] == fine);
        const QString path = TempPath(QStringLiteral("fine.kvr"));
        prompts->answerFile(path);
        dlg.OnExport();
        CharRecData exported;
        ASSERT_TRUE(LoadCharRecFile(path, &exported));
        EXPECT_TRUE(exported == fine);
        dlg.OnOk();
        ASSERT_TRUE(WaitUntil([&] { return !dlg.isVisible(); }));
        EXPECT_TRUE(prompts->messages.empty());
        EXPECT_EQ(Received("CW06"), 1u);
        EXPECT_TRUE(sim().SlotImage(6) == image);

        // The exported file imported into another editor comes back whole.
        CCharRecDlg other(MakeEmptySlot(6), false);
        prompts->answerFile(path);
        other.OnImport();
        other.OnOk();
        ASSERT_EQ(other.result(), QDialog::Accepted);
        CharRecData expected = fine;
        expected.SAVE_TIME = other.Data().SAVE_TIME;  // an import is dated now
        EXPECT_TRUE(other.Data() == expected);
    }

    // Renaming changes the name and nothing else.
    CCharRecDlg dlg(session.get(), 7);
    dlg.show();
    ASSERT_TRUE(WaitUntil([&] { return !dlg.IsBusy(); }));
    dlg.NameEdit()->setText(QStringLiteral("Żyto"));
    dlg.OnOk();
    ASSERT_TRUE(WaitUntil([&] { return !dlg.isVisible(); }));
    CharRecData renamed = fine;
    std::memcpy(renamed.NAME, "\xAFyto      ", 10);
    EXPECT_TRUE(sim().SlotRecord(6) == renamed);
}

TEST_F(CharDialogTest, PointDialogKeepsWhatIsNotEdited) {
    const CharRecData fine = SampleRecord(0);
    CCharRecDlg dlg(fine, false);
    dlg.show();
    WhenShown<CEditCharTableDlg>([](CEditCharTableDlg* p) { p->OnOk(); });
    dlg.EditPoint(0);
    EXPECT_EQ(dlg.Data().RH[0], fine.RH[0]);
    EXPECT_EQ(dlg.Data().VALUE[0], fine.VALUE[0]);
    WhenShown<CEditCharTableDlg>([](CEditCharTableDlg* p) {
        p->ValueEdit()->setText(QStringLiteral("100,1"));
        p->OnOk();
    });
    dlg.EditPoint(0);
    dlg.OnOk();
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.Data().RH[0], fine.RH[0]);
    EXPECT_EQ(dlg.Data().VALUE[0], static_cast<double>(100.1f));
    EXPECT_EQ(dlg.PointList()->topLevelItem(0)->text(2), QStringLiteral("100.10000"));
    EXPECT_EQ(dlg.Data().RH[1], fine.RH[1]);
}

TEST_F(CharDialogTest, PaddedNameTakesTypingUpToItsLength) {
    const CharRecData rec = SampleRecord(0).Name("Pszenica").Code("PS");
    CCharRecDlg dlg(rec, false);
    dlg.show();
    QLineEdit* name = dlg.NameEdit();
    name->setFocus();
    name->end(false);
    QTest::keyClicks(name, QStringLiteral("XYZ"));
    EXPECT_EQ(name->text(), QStringLiteral("PszenicaXY"));  // ten characters: the field
    dlg.CodeEdit()->end(false);
    QTest::keyClicks(dlg.CodeEdit(), QStringLiteral("QR"));
    dlg.OnOk();
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(std::string(dlg.Data().NAME), "PszenicaXY");
    EXPECT_EQ(std::string(dlg.Data().CODE, 4), std::string("PSQ\0", 4));
    EXPECT_EQ(std::string(dlg.Data().CERTIFICATE), rec.CERTIFICATE);  // untouched
}

TEST_F(CharDialogTest, BadChecksumIsAskedAgainThenRefusedByName) {
    const CharRecData fine = SampleRecord(4);
    sim().SetSlotRecord(4, fine);
    SimFaults f;
    f.badChecksumSlots = {4};
    f.badChecksumLimit = 2;  // two spoiled answers, then a good one
    sim().SetFaults(f);
    {
        CCharRecDlg dlg(session.get(), 5);
        dlg.show();
        ASSERT_TRUE(WaitUntil([&] { return !dlg.IsBusy(); }));
        EXPECT_TRUE(prompts->messages.empty());
        EXPECT_TRUE(dlg.Data() == fine);
        EXPECT_EQ(Received("CR04"), 3u);
        dlg.reject();
    }
    f.badChecksumLimit = -1;
    sim().SetFaults(f);
    const MeterSimulator::Image image = sim().SlotImage(4);
    CCharRecDlg dlg(session.get(), 5);
    dlg.show();
    ASSERT_TRUE(WaitUntil([&] { return !dlg.IsBusy(); }));
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text,
              QString::asprintf("Nie można odczytać charakterystyki nr 5 - błędna suma kontrolna "
                                "(odebrana %02X, obliczona %02X)",
                                static_cast<uint8_t>(image[255] + 0x55), image[255]));
    EXPECT_EQ(dlg.Data().valid, 0);  // no blank record passed on as the meter's
    EXPECT_FALSE(dlg.Edit().SlotRead());
    EXPECT_TRUE(dlg.NameEdit()->text().isEmpty());
}

TEST_F(CharDialogTest, AfterAFailedWriteOkSendsWhatTheEditorShows) {
    for (const bool rising : {true, false}) {
        SCOPED_TRACE(rising ? "rising" : "falling");
        // Seven points with more digits than the list shows, more beyond them.
        sim().SetSlotRecord(3, SampleRecord(3).Curve(7, rising));
        const MeterSimulator::Image read = sim().SlotImage(3);
        prompts->messages.clear();

        CCharRecDlg dlg(session.get(), 4);
        dlg.show();
        ASSERT_TRUE(WaitUntil([&] { return !dlg.IsBusy(); }));
        // Count 6 while the meter does not answer writes: OK fails.
        dlg.CountEdit()->setText(QStringLiteral("6"));
        SimFaults silent;
        silent.silentCommands = {"CW"};
        sim().SetFaults(silent);
        dlg.OnOk();
        ASSERT_TRUE(WaitUntil([&] { return !dlg.IsBusy(); }, 10000));
        ASSERT_EQ(prompts->messages.size(), 1u);
        EXPECT_EQ(prompts->messages[0].text, QStringLiteral("Nie można zapisać ustawień"));

        // The meter answers again; count back to 7: the record as read goes
        // back, every point exact, the hidden one kept.
        sim().ClearFaults();
        sim().ClearReceived();
        dlg.CountEdit()->setText(QStringLiteral("7"));
        ASSERT_EQ(dlg.PointList()->topLevelItemCount(), 7);
        dlg.OnOk();
        ASSERT_TRUE(WaitUntil([&] { return !dlg.isVisible(); }, 10000))
            << prompts->log.join('|').toStdString();
        EXPECT_EQ(prompts->messages.size(), 1u) << prompts->log.join('|').toStdString();
        EXPECT_EQ(Received("CW03"), 1u);
        EXPECT_TRUE(sim().SlotImage(3) == read);
    }
}

TEST_F(CharDialogTest, OutsideServiceModeAProtectedFileIsNotImported) {
    const CharRecData locked = SampleRecord(6).Name("Tajna").Password();
    const QString path = TempPath(QStringLiteral("locked.kvr"));
    ASSERT_TRUE(SaveCharRecFile(path, locked));

    const CharRecData mine = SampleRecord(2).Name("Próbka");
    CCharRecDlg dlg(mine, false);
    dlg.show();
    prompts->answerFile(path);
    dlg.OnImport();
    QTest::qWait(20);
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text,
              QStringLiteral("Brak dostępu do charakterystyki - ochrona hasłem"));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(dlg.Modified());
    EXPECT_EQ(dlg.NameEdit()->text(), QStringLiteral("Próbka"));
    dlg.OnOk();
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_TRUE(dlg.Data() == mine);
}
