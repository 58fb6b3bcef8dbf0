#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>

#include "grab_util.h"
#include "support/scripted_prompts.h"
#include "ui/about_dlg.h"
#include "ui/color_dlg.h"
#include "ui/color_rect.h"
#include "ui/color_static.h"
#include "ui/font_dlg.h"
#include "ui/help_window.h"
#include "ui/info_bmp.h"

using testsupport::Grab;
using testsupport::WhenShown;

namespace {

const QColor kOldBackground(255, 231, 206);
const QColor kOldText(66, 21, 0);

class AppearanceDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        display.setBackgroundColor(kOldBackground);
        display.setTextColor(kOldText);
    }
    CColorStatic display;
    ScopedPrompts prompts;
};

void Click(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

TEST_F(AppearanceDialogs, ColoursCancelRestoresBoth) {
    prompts->colorAnswers = {QColor(1, 2, 3), QColor(4, 5, 6)};
    QColor swatchBg, swatchText;
    WhenShown<CColorDlg>([&](CColorDlg* dlg) {
        Click(dlg->backgroundSwatch());
        Click(dlg->textSwatch());
        swatchBg = dlg->backgroundSwatch()->color();
        swatchText = dlg->textSwatch()->color();
        // Applied to the display while the dialog is open.
        EXPECT_EQ(display.backgroundColor(), QColor(1, 2, 3));
        EXPECT_EQ(display.textColor(), QColor(4, 5, 6));
        dlg->reject();
    });
    EXPECT_EQ(RunColorsCommand(nullptr, &display), QDialog::Rejected);
    EXPECT_EQ(swatchBg, QColor(1, 2, 3));
    EXPECT_EQ(swatchText, QColor(4, 5, 6));
    EXPECT_EQ(display.backgroundColor(), kOldBackground);
    EXPECT_EQ(display.textColor(), kOldText);
    ASSERT_EQ(prompts->colorRequests.size(), 2u);
    EXPECT_EQ(prompts->colorRequests[0].initial, kOldBackground);
    EXPECT_EQ(prompts->colorRequests[1].initial, kOldText);
}

TEST_F(AppearanceDialogs, ColoursOkKeepsTheNewBackground) {
    prompts->colorAnswers = {QColor(9, 9, 9)};
    WhenShown<CColorDlg>([&](CColorDlg* dlg) {
        EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Kolory"));
        EXPECT_EQ(dlg->backgroundSwatch()->color(), kOldBackground);
        EXPECT_EQ(dlg->textSwatch()->color(), kOldText);
        Grab(dlg, QStringLiteral("color_dlg"));
        Click(dlg->backgroundSwatch());
        dlg->accept();
    });
    EXPECT_EQ(RunColorsCommand(nullptr, &display), QDialog::Accepted);
    EXPECT_EQ(display.backgroundColor(), QColor(9, 9, 9));
    EXPECT_EQ(display.textColor(), kOldText);
}

TEST_F(AppearanceDialogs, CancelledPickerLeavesSwatchAndDisplay) {
    QColor swatch;
    int pickerCalls = 0;
    WhenShown<CColorDlg>([&](CColorDlg* dlg) {
        Click(dlg->textSwatch());  // queue empty: picker cancelled
        pickerCalls = int(prompts->colorRequests.size());
        swatch = dlg->textSwatch()->color();
        dlg->accept();
    });
    RunColorsCommand(nullptr, &display);
    EXPECT_EQ(pickerCalls, 1);
    EXPECT_EQ(swatch, kOldText);
    EXPECT_EQ(display.textColor(), kOldText);
}

TEST_F(AppearanceDialogs, FontsCancelRestoresTheDescription) {
    FontDesc start;
    start.height = -64;
    start.faceName = QStringLiteral("DejaVu Sans");
    display.SetFontDesc(start);
    QFont chosen(QStringLiteral("DejaVu Serif"));
    chosen.setPixelSize(30);
    chosen.setItalic(true);
    prompts->fontAnswers = {chosen};
    QFont sampleAfter;
    WhenShown<CFontDlg>([&](CFontDlg* dlg) {
        EXPECT_EQ(dlg->sample()->text(), QStringLiteral("0123456789."));
        EXPECT_EQ(dlg->sample()->font().pixelSize(), 64);
        Grab(dlg, QStringLiteral("font_dlg"));
        Click(dlg->sample());
        sampleAfter = dlg->sample()->font();
        EXPECT_EQ(display.fontDesc().height, -30);
        dlg->reject();
    });
    EXPECT_EQ(RunFontsCommand(nullptr, &display), QDialog::Rejected);
    EXPECT_EQ(sampleAfter.pixelSize(), 30);
    EXPECT_TRUE(sampleAfter.italic());
    EXPECT_EQ(display.fontDesc(), start);
    EXPECT_EQ(display.valueFont().pixelSize(), 64);
    EXPECT_FALSE(display.valueFont().italic());
}

TEST_F(AppearanceDialogs, FontsOkKeepsTheChosenFont) {
    QFont chosen(QStringLiteral("DejaVu Sans"));
    chosen.setPixelSize(33);
    prompts->fontAnswers = {chosen};
    WhenShown<CFontDlg>([&](CFontDlg* dlg) {
        QTest::keyClick(dlg->sample(), Qt::Key_Space);  // keyboard works as a click
        dlg->accept();
    });
    EXPECT_EQ(RunFontsCommand(nullptr, &display), QDialog::Accepted);
    EXPECT_EQ(display.fontDesc().height, -33);
}

TEST(InfoBmp, PictureHandedOverOnlyOnChange) {
    CInfoBmp icon;
    EXPECT_EQ(icon.state(), 0);
    icon.ShowError();
    icon.ShowError();
    EXPECT_EQ(icon.state(), CInfoBmp::Error);
    EXPECT_EQ(icon.pictureChanges(), 1);
    icon.ShowInformation();
    icon.ShowInformation();
    icon.ShowWarning();
    EXPECT_EQ(icon.pictureChanges(), 3);
    ASSERT_FALSE(icon.pixmap().isNull());
    EXPECT_EQ(icon.pixmap().size(), QSize(24, 24));
}

TEST(InfoBmp, ThreeDistinctPicturesOnTheGreyGround) {
    CInfoBmp icon;
    QImage pics[3];
    int i = 0;
    for (auto show : {&CInfoBmp::ShowInformation, &CInfoBmp::ShowWarning, &CInfoBmp::ShowError}) {
        (icon.*show)();
        pics[i] = icon.pixmap().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(pics[i].pixelColor(0, 0), QColor(200, 200, 200)) << i;
        ++i;
    }
    EXPECT_NE(pics[0], pics[1]);
    EXPECT_NE(pics[1], pics[2]);
    // The error picture is mostly red in its middle, the warning one yellow.
    EXPECT_GT(pics[2].pixelColor(4, 12).red(), 180);
    EXPECT_LT(pics[2].pixelColor(4, 12).green(), 60);
    EXPECT_GT(pics[1].pixelColor(12, 19).green(), 150);
}

TEST(AboutBox, ShowsProgramLineAndOpensTwiceAlike) {
    QStringList first, second;
    auto collect = [](QStringList& out) {
        return [&out](CAboutDlg* dlg) {
            for (QLabel* l : dlg->findChildren<QLabel*>())
                if (!l->text().isEmpty()) out << l->text();
            Grab(dlg, QStringLiteral("about_dlg"));
            dlg->findChild<QPushButton*>()->click();
        };
    };
    WhenShown<CAboutDlg>(collect(first));
    ShowAboutBox(nullptr);
    WhenShown<CAboutDlg>(collect(second));
    ShowAboutBox(nullptr);
    EXPECT_TRUE(first.contains(QStringLiteral("kv60x Wersja " KV60X_VERSION)));
    EXPECT_GE(first.size(), 8);  // program, author, five contact lines, e-mail
    EXPECT_EQ(first, second);
}

TEST(HelpWindow, LoadsTheBundledHelpAndIsReused) {
    QWidget parent;
    HelpWindow* w = HelpWindow::ShowHelp(&parent);
    const QString text = w->browser()->toPlainText();
    for (const char* item :
         {"Zamknij", "Kolory", "Czcionki", "Zawsze na wierzchu", "Port szeregowy",
          "Rejestracja do pliku", "Informacje", "Charakterystyki wszystkich materiałów",
          "Charakterystyka wybranego materiału", "Zapis daty uruchamiania",
          "Zapis numeru seryjnego", "Odczyt pamięci uruchamiania", "Wyświetlaj dane serwisowe",
          "Współczynnik kształtu elektrod", "O programie"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(item))) << item;
    Grab(w, QStringLiteral("help_window"));
    EXPECT_EQ(HelpWindow::ShowHelp(&parent), w);
    w->close();
}

TEST(Accessibility, ControlsCarryTheirLabels) {
    CColorStatic display;
    CColorDlg colors(&display);
    EXPECT_EQ(colors.backgroundSwatch()->accessibleName(), QStringLiteral("Tło"));
    EXPECT_EQ(colors.textSwatch()->accessibleName(), QStringLiteral("Tekst"));
    CFontDlg fonts(&display);
    EXPECT_EQ(fonts.sample()->accessibleName(), QStringLiteral("Wilgotność"));
    display.SetCaption(QStringLiteral("Temperatura"));
    EXPECT_EQ(display.accessibleName(), QStringLiteral("Temperatura"));
}

}  // namespace
