// What screen readers get from the appearance controls, and Qt's own dialogs
// in Polish (the translations are loaded by the test main as by the program).

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDate>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>

#include "grab_util.h"
#include "support/screen_reader.h"
#include "support/scripted_prompts.h"
#include "ui/color_dlg.h"
#include "ui/color_rect.h"
#include "ui/color_static.h"
#include "ui/font_dlg.h"
#include "ui/info_bmp.h"
#include "ui/qt_prompts.h"
#include "ui/qt_translations.h"

using testsupport::ScreenReader;
using testsupport::WaitUntil;
using testsupport::WhenShown;

namespace {

const QString kDegrees = QStringLiteral("21.37 \u00B0C");

QStringList VisibleButtonTexts(QWidget* dlg) {
    QStringList texts;
    for (QAbstractButton* b : dlg->findChildren<QAbstractButton*>()) {
        if (b->isVisible() && !b->text().isEmpty()) texts << QString(b->text()).remove('&');
    }
    return texts;
}

template <typename T>
int VisibleCount(QWidget* dlg) {
    int n = 0;
    for (T* w : dlg->findChildren<T*>()) n += w->isVisible() ? 1 : 0;
    return n;
}

}  // namespace

TEST(ScreenReaders, HearTheValueDisplayChangeButNotItsBlinking) {
    ScreenReader reader;
    CColorStatic display;
    display.SetKinds(3, 3, true);
    display.SetPrecision(true);
    display.SetCaption(QStringLiteral("Temperatura"));
    EXPECT_EQ(ScreenReader::Role(&display), QAccessible::StaticText);
    EXPECT_EQ(ScreenReader::Text(&display, QAccessible::Name), QStringLiteral("Temperatura"));
    EXPECT_EQ(ScreenReader::Text(&display, QAccessible::Value), QStringLiteral("???"));

    auto changes = [&] { return reader.EventsFor(&display, QAccessible::ValueChanged); };
    auto descriptions = [&] {
        return reader.EventsFor(&display, QAccessible::DescriptionChanged).size();
    };
    reader.Clear();
    display.SetValue(21.37);
    EXPECT_EQ(ScreenReader::Text(&display, QAccessible::Value), kDegrees);
    EXPECT_EQ(ScreenReader::Text(&display, QAccessible::Description), kDegrees);
    ASSERT_EQ(changes().size(), 1u);
    EXPECT_EQ(changes()[0].value, kDegrees);
    EXPECT_EQ(descriptions(), 1u);
    display.SetValue(21.37);   // unchanged: nothing to tell
    display.SetValue(21.371);  // a new number that reads the same: nothing either
    EXPECT_EQ(changes().size(), 1u);

    // Blinking hides the picture, not the value; it sends nothing.
    display.SetBlink(true);
    ASSERT_TRUE(WaitUntil([&] { return display.isHiddenPhase(); }, 2000));
    EXPECT_TRUE(display.ShownText().isEmpty());
    EXPECT_EQ(ScreenReader::Text(&display, QAccessible::Value), kDegrees);
    ASSERT_TRUE(WaitUntil([&] { return !display.isHiddenPhase(); }, 2000));
    EXPECT_EQ(changes().size(), 1u);
    EXPECT_EQ(descriptions(), 1u);

    display.SetNoValue();
    ASSERT_EQ(changes().size(), 2u);
    EXPECT_EQ(changes()[1].value, QStringLiteral("???"));
    display.SetBlink(false);
    display.SetValue(21.371);  // the old number is back after "???"
    ASSERT_EQ(changes().size(), 3u);
    EXPECT_EQ(changes()[2].value, kDegrees);

    // A fixed text is told as it is shown; the caption stays the name.
    display.SetFixedText(QStringLiteral("Kalibracja"));
    display.SetMode(0);
    EXPECT_EQ(changes().back().value, QStringLiteral("Kalibracja"));
    EXPECT_EQ(ScreenReader::Text(&display, QAccessible::Name), QStringLiteral("Temperatura"));
}

TEST(ScreenReaders, StatusIconSwatchesAndFontSampleAreNamedAndPressable) {
    ScopedPrompts prompts;
    ScreenReader reader;

    CInfoBmp icon;
    reader.Clear();
    const std::pair<void (CInfoBmp::*)(), QString> states[] = {
        {&CInfoBmp::ShowInformation, QStringLiteral("Informacja")},
        {&CInfoBmp::ShowWarning, QStringLiteral("Ostrzeżenie")},
        {&CInfoBmp::ShowError, QStringLiteral("Błąd")}};
    for (const auto& [show, name] : states) {
        (icon.*show)();
        EXPECT_EQ(ScreenReader::Text(&icon, QAccessible::Name), name);
    }
    EXPECT_EQ(reader.EventsFor(&icon, QAccessible::NameChanged).size(), 3u);

    CColorStatic display;
    display.setBackgroundColor(QColor(255, 231, 206));
    display.setTextColor(QColor(66, 21, 0));
    CColorDlg colors(&display);
    colors.show();
    CColorRect* background = colors.backgroundSwatch();
    CColorRect* text = colors.textSwatch();
    EXPECT_EQ(ScreenReader::Role(background), QAccessible::Button);
    EXPECT_EQ(ScreenReader::Text(background, QAccessible::Name), QStringLiteral("Tło"));
    EXPECT_EQ(ScreenReader::Text(text, QAccessible::Name), QStringLiteral("Tekst"));
    EXPECT_EQ(ScreenReader::Text(background, QAccessible::Description),
              QStringLiteral("czerwony 255, zielony 231, niebieski 206"));
    EXPECT_EQ(ScreenReader::Text(text, QAccessible::Description),
              QStringLiteral("czerwony 66, zielony 21, niebieski 0"));

    // Pressed by the screen reader: the picker runs, the display and the
    // swatch's description take the new colour.
    prompts->colorAnswers = {QColor(10, 20, 30)};
    ASSERT_TRUE(ScreenReader::Press(background));
    ASSERT_TRUE(WaitUntil([&] { return prompts->colorRequests.size() == 1; }, 2000));
    EXPECT_EQ(display.backgroundColor(), QColor(10, 20, 30));
    EXPECT_EQ(ScreenReader::Text(background, QAccessible::Description),
              QStringLiteral("czerwony 10, zielony 20, niebieski 30"));
    EXPECT_FALSE(reader.EventsFor(background, QAccessible::DescriptionChanged).empty());

    QFont chosen(QStringLiteral("DejaVu Sans"));
    chosen.setPixelSize(41);
    prompts->fontAnswers = {chosen};
    CFontDlg fonts(&display);
    fonts.show();
    EXPECT_EQ(ScreenReader::Role(fonts.sample()), QAccessible::Button);
    EXPECT_EQ(ScreenReader::Text(fonts.sample(), QAccessible::Name), QStringLiteral("Wilgotność"));
    ASSERT_TRUE(ScreenReader::Press(fonts.sample()));
    ASSERT_TRUE(WaitUntil([&] { return prompts->fontRequests.size() == 1; }, 2000));
    EXPECT_EQ(display.fontDesc().height, -41);
    EXPECT_EQ(ScreenReader::Text(fonts.sample(), QAccessible::Description),
              QStringLiteral("Wzór czcionki: DejaVu Sans, 41 pikseli"));
}

TEST(QtDialogs, SpeakPolishAndTheFontPickerOffersOnlyFaceStyleAndSize) {
    ASSERT_FALSE(PolishQtTranslationsFile().isEmpty())
        << "Qt's Polish translations (qt6-translations-l10n) were not loaded";
    QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Save |
                         QDialogButtonBox::Cancel | QDialogButtonBox::Close);
    auto shown = [&](QDialogButtonBox::StandardButton b) {
        return box.button(b)->text().remove(QLatin1Char('&'));
    };
    EXPECT_EQ(shown(QDialogButtonBox::Yes), QStringLiteral("Tak"));
    EXPECT_EQ(shown(QDialogButtonBox::No), QStringLiteral("Nie"));
    EXPECT_EQ(shown(QDialogButtonBox::Save), QStringLiteral("Zapisz"));
    EXPECT_EQ(shown(QDialogButtonBox::Cancel), QStringLiteral("Anuluj"));
    EXPECT_EQ(shown(QDialogButtonBox::Close), QStringLiteral("Zamknij"));
    // Dates in Qt's dialogs and the program's own titles: Polish too.
    EXPECT_TRUE(QLocale().toString(QDate(2025, 12, 8), QLocale::LongFormat).contains("grudnia"));

    QtPrompts qt;
    QFont initial(QStringLiteral("DejaVu Sans"));
    initial.setPixelSize(30);
    initial.setUnderline(true);  // whatever came in, nothing hidden is handed back
    int checkBoxes = -1, combos = -1, lists = -1;
    bool sampleUnderlined = true, sampleFits = false;
    QStringList buttons;
    QString title;
    WhenShown<QFontDialog>([&](QFontDialog* d) {
        checkBoxes = VisibleCount<QCheckBox>(d);
        combos = VisibleCount<QComboBox>(d);
        lists = VisibleCount<QListView>(d);
        buttons = VisibleButtonTexts(d);
        title = d->windowTitle();
        for (QLineEdit* e : d->findChildren<QLineEdit*>()) {
            if (!qobject_cast<QGroupBox*>(e->parentWidget())) continue;  // the sample
            sampleUnderlined = e->font().underline();
            sampleFits = e->height() >= QFontMetrics(e->font()).height();
        }
        testsupport::Grab(d, QStringLiteral("qt_font_dialog"));
        d->accept();
    });
    const std::optional<QFont> font = qt.font(nullptr, initial);
    EXPECT_EQ(checkBoxes, 0) << "underline / strike-out shown";
    EXPECT_EQ(combos, 0) << "writing system shown";
    EXPECT_EQ(lists, 3);  // face, style, size
    EXPECT_FALSE(sampleUnderlined);
    EXPECT_TRUE(sampleFits);
    EXPECT_EQ(buttons, (QStringList{"OK", "Anuluj"}));
    EXPECT_EQ(title, QStringLiteral("Wybierz czcionkę"));
    ASSERT_TRUE(font.has_value());
    EXPECT_EQ(font->family(), QStringLiteral("DejaVu Sans"));
    EXPECT_FALSE(font->underline());
    EXPECT_FALSE(font->strikeOut());

    WhenShown<QColorDialog>([&](QColorDialog* d) {
        title = d->windowTitle();
        buttons = VisibleButtonTexts(d);
        testsupport::Grab(d, QStringLiteral("qt_color_dialog"));
        d->reject();
    });
    EXPECT_FALSE(qt.color(nullptr, QColor(1, 2, 3)).has_value());
    EXPECT_EQ(title, QStringLiteral("Wybierz kolor"));
    EXPECT_TRUE(buttons.contains(QStringLiteral("Anuluj")));
    EXPECT_TRUE(buttons.contains(QStringLiteral("Dodaj do własnych kolorów")))
        << buttons.join('|').toStdString();

    QTemporaryDir dir;
    Prompts::FileRequest req;
    req.title = QStringLiteral("Eksportuj");
    req.filters = {QStringLiteral("Rekord (*.kvr)")};
    req.defaultSuffix = QStringLiteral("kvr");
    req.initialName = dir.filePath(QStringLiteral("a.kvr"));
    WhenShown<QFileDialog>([&](QFileDialog* d) {
        buttons = VisibleButtonTexts(d);
        testsupport::Grab(d, QStringLiteral("qt_file_dialog"));
        d->reject();
    });
    EXPECT_FALSE(qt.saveFile(nullptr, req).has_value());
    EXPECT_TRUE(buttons.contains(QStringLiteral("Zapisz"))) << buttons.join('|').toStdString();
    EXPECT_TRUE(buttons.contains(QStringLiteral("Anuluj"))) << buttons.join('|').toStdString();
}
