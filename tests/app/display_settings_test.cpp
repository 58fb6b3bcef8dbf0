// "Kolory" and "Czcionki" on the main window's value display, and every
// display and registration setting on its way into kv60x.ini at exit.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>

#include "app/ini_ex.h"
#include "app/widgets/kv60x_app.h"
#include "app/widgets/kv60x_dlg.h"
#include "app/widgets/log_file_dlg.h"
#include "support/scripted_prompts.h"
#include "support/sim_fixture.h"
#include "ui/color_dlg.h"
#include "ui/color_rect.h"
#include "ui/color_static.h"
#include "ui/font_dlg.h"

using testsupport::FastTiming;
using testsupport::SimulatedMeter;
using testsupport::WhenShown;

namespace {

void Click(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

QFont Font(const QString& family, int pixels, bool bold, bool italic) {
    QFont f(family);
    f.setPixelSize(pixels);
    f.setWeight(bold ? QFont::Bold : QFont::Normal);
    f.setItalic(italic);
    return f;
}

}  // namespace

TEST(DisplaySettings, CancelRestoresAfterSeveralChangesOkKeepsAndAllReachTheIniAtExit) {
    ScopedPrompts prompts;
    SimulatedMeter meter;
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("kv60x.ini"));
    const QString log = dir.filePath(QStringLiteral("pomiary.txt"));
    {
        CIniEx seed;
        ASSERT_EQ(seed.Open(ini, true, true, true), CIniEx::OpenResult::Opened);
        seed.SetValueInt("GENERAL", "PORT_NR", meter.port());
        seed.SetValueUInt("INPUT_VALUE", "TEXT_INPUT", 0x00332211);
        seed.SetValueInt("INPUT_VALUE", "FONT_HEIGHT_INPUT", -50);
        seed.SetValue("INPUT_VALUE", "FONT_NAME_INPUT", "DejaVu Sans");
    }
    AppOptions options;
    options.configFile = ini;
    Ckv60xApp app(options, {QStringLiteral("kv60x")});
    app.SetWindowSetup([](Ckv60xDlg& w) { w.session().SetTiming(FastTiming()); });

    bool ran = false;
    WhenShown<Ckv60xDlg>([&](Ckv60xDlg* w) {
        QTimer::singleShot(0, w, [&, w] {
            CColorStatic* d = w->valueDisplay();
            const QColor bg0 = d->backgroundColor();
            const QColor text0 = d->textColor();
            const FontDesc font0 = d->fontDesc();
            EXPECT_EQ(text0, QColor(0x11, 0x22, 0x33));
            EXPECT_EQ(font0.height, -50);

            // Kolory: background, text, background again, each live; Anuluj.
            prompts->colorAnswers = {QColor(10, 20, 30), QColor(40, 50, 60), QColor(70, 80, 90)};
            QColor liveBg, liveText;
            WhenShown<CColorDlg>([&](CColorDlg* c) {
                Click(c->backgroundSwatch());
                Click(c->textSwatch());
                Click(c->backgroundSwatch());
                liveBg = d->backgroundColor();
                liveText = d->textColor();
                c->reject();
            });
            w->action(Ckv60xDlg::kCmdColors)->trigger();
            EXPECT_EQ(liveBg, QColor(70, 80, 90));
            EXPECT_EQ(liveText, QColor(40, 50, 60));
            EXPECT_EQ(d->backgroundColor(), bg0);
            EXPECT_EQ(d->textColor(), text0);

            // Czcionki: two fonts, each live; Anuluj.
            prompts->fontAnswers = {Font("DejaVu Serif", 30, true, false),
                                    Font("DejaVu Sans Mono", 70, false, true)};
            FontDesc liveFont;
            QString sample;
            WhenShown<CFontDlg>([&](CFontDlg* f) {
                Click(f->sample());
                Click(f->sample());
                liveFont = d->fontDesc();
                sample = f->sample()->text();
                f->reject();
            });
            w->action(Ckv60xDlg::kCmdFonts)->trigger();
            EXPECT_EQ(liveFont.faceName, QStringLiteral("DejaVu Sans Mono"));
            EXPECT_EQ(liveFont.height, -70);
            EXPECT_EQ(sample, QStringLiteral("0123456789."));
            EXPECT_TRUE(d->fontDesc() == font0);
            EXPECT_EQ(d->valueFont().pixelSize(), 50);

            // OK keeps the new background (the text colour unchanged) and a new font.
            prompts->colorAnswers = {QColor(1, 2, 3)};
            WhenShown<CColorDlg>([&](CColorDlg* c) {
                Click(c->backgroundSwatch());
                c->accept();
            });
            w->action(Ckv60xDlg::kCmdColors)->trigger();
            EXPECT_EQ(d->backgroundColor(), QColor(1, 2, 3));
            EXPECT_EQ(d->textColor(), text0);
            prompts->fontAnswers = {Font("DejaVu Serif", 40, true, true)};
            WhenShown<CFontDlg>([&](CFontDlg* f) {
                Click(f->sample());
                f->accept();
            });
            w->action(Ckv60xDlg::kCmdFonts)->trigger();
            EXPECT_EQ(d->fontDesc().faceName, QStringLiteral("DejaVu Serif"));

            // Registration settings chosen in the dialog.
            WhenShown<CLogFileDlg>([&](CLogFileDlg* l) {
                l->logCheck()->click();
                l->fileNameBox()->setText(log);
                l->intervalPicker()->setTime(QTime(0, 5, 30));
                l->separatorRadio(0)->click();
                l->decimalRadio(1)->click();
                l->commentCheck()->click();
                l->okButton()->click();
            });
            w->action(Ckv60xDlg::kCmdLogFile)->trigger();
            EXPECT_TRUE(w->isRegistrationRunning());
            ran = true;
            w->action(Ckv60xDlg::kCmdClose)->trigger();
        });
    });
    EXPECT_EQ(app.Run(), 0);
    ASSERT_TRUE(ran);

    CIniEx check;
    ASSERT_EQ(check.Open(ini, false, false, true), CIniEx::OpenResult::Opened);
    EXPECT_EQ(check.GetValueUInt("INPUT_VALUE", "BACKGROUND_INPUT", 0), 0x00030201u);
    EXPECT_EQ(check.GetValueUInt("INPUT_VALUE", "TEXT_INPUT", 0), 0x00332211u);
    EXPECT_EQ(check.GetValueInt("INPUT_VALUE", "FONT_HEIGHT_INPUT", 0), -40);
    EXPECT_EQ(check.GetValueInt("INPUT_VALUE", "FONT_WEIGHT_INPUT", 0), 700);
    EXPECT_EQ(check.GetValueInt("INPUT_VALUE", "FONT_ITALIC_INPUT", 0), 1);
    EXPECT_EQ(check.GetValue("INPUT_VALUE", "FONT_NAME_INPUT"), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(check.GetValue("LOG", "FILE_NAME"), log);
    EXPECT_EQ(check.GetValueInt("LOG", "FILE_LOG", 0), 1);
    EXPECT_EQ(check.GetValueInt("LOG", "FILE_INTERVAL", 0), 330);
    EXPECT_EQ(check.GetValueInt("LOG", "FILE_SEP_FORMAT", 0), 1);
    EXPECT_EQ(check.GetValueInt("LOG", "FILE_DEC_SEPARATOR", 0), 2);
    EXPECT_EQ(check.GetValueInt("LOG", "FILE_CHECK_COMMENT", 0), 1);
}
