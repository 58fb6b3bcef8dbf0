// The main window, the registration dialog and the trend window as a screen
// reader and a keyboard user meet them.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>

#include "app/widgets/kv60x_dlg.h"
#include "app/widgets/log_file_dlg.h"
#include "app/widgets/trend_window.h"
#include "support/screen_reader.h"
#include "support/scripted_prompts.h"
#include "support/sim_fixture.h"
#include "support/test_support.h"
#include "ui/color_dlg.h"
#include "ui/color_static.h"
#include "ui/info_bmp.h"

using testsupport::FastTiming;
using testsupport::FileLines;
using testsupport::ScreenReader;
using testsupport::SimulatedMeter;
using testsupport::WaitUntil;
using testsupport::WhenShown;

namespace {

// The main window on a simulated meter at 21.5 °C.
struct Window {
    explicit Window(bool service = false) : dlg(service) {
        AppSettings s;
        s.portNr = meter.port();
        dlg.session().SetTiming(FastTiming());
        dlg.SetRegistrationStartDelay(60000);
        dlg.LoadSettings(s);
        dlg.Initialise();
        dlg.show();
    }
    bool WaitForReading() {
        return WaitUntil([&] { return dlg.connected() && dlg.lastStatusText().startsWith("KV"); });
    }
    SimulatedMeter meter;
    Ckv60xDlg dlg;
};

}  // namespace

TEST(LogFileDialog, ScreenReaderAndCodeHaveTheEffectOfClicks) {
    ScopedPrompts prompts;
    ScreenReader reader;
    LogFileSettings in;  // off, locale separator and decimal sign, no comment
    in.fileName = QStringLiteral("/tmp/pomiary.csv");
    // Turns registration on, chooses tab and dot, asks for the comment.
    auto drive = [&](const std::function<void(QAbstractButton*)>& act) {
        CLogFileDlg d(in);
        d.show();
        for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
                 d.logCheck(), d.separatorRadio(0), d.decimalRadio(1), d.commentCheck()}) {
            act(b);
            EXPECT_TRUE(b->isChecked()) << b->accessibleName().toStdString();
        }
        for (QWidget* w : std::initializer_list<QWidget*>{d.intervalPicker(), d.fileNameBox(),
                                                          d.browseButton(), d.separatorRadio(3),
                                                          d.decimalRadio(2), d.commentBox()}) {
            EXPECT_TRUE(w->isEnabled()) << w->accessibleName().toStdString();
        }
        d.okButton()->click();
        return d.settings();
    };
    const LogFileSettings clicked = drive([](QAbstractButton* b) { b->click(); });
    const LogFileSettings byCode = drive([](QAbstractButton* b) { b->setChecked(true); });
    const LogFileSettings spoken =
        drive([](QAbstractButton* b) { EXPECT_TRUE(ScreenReader::Toggle(b)); });
    for (const LogFileSettings& s : {clicked, byCode, spoken}) {
        EXPECT_EQ(s.fileLog, 1);
        EXPECT_EQ(s.fileSepFormat, 1);
        EXPECT_EQ(s.fileDecSeparator, 2);
        EXPECT_EQ(s.fileCheckComment, 1);
    }

    // Switched off by code: the dependent controls follow.
    CLogFileDlg d(in);
    d.logCheck()->setChecked(true);
    d.commentCheck()->setChecked(true);
    d.logCheck()->setChecked(false);
    EXPECT_FALSE(d.intervalPicker()->isEnabled());
    EXPECT_FALSE(d.commentBox()->isEnabled());
    EXPECT_EQ(d.settings().fileLog, 0);

    // End to end: chosen through the screen reader, the file gets tab and dot.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("czytnik.txt"));
    Window w;
    ASSERT_TRUE(w.WaitForReading());
    WhenShown<CLogFileDlg>([&](CLogFileDlg* d) {
        EXPECT_TRUE(ScreenReader::Toggle(d->logCheck()));
        d->fileNameBox()->setText(path);
        EXPECT_TRUE(ScreenReader::Toggle(d->separatorRadio(0)));
        EXPECT_TRUE(ScreenReader::Toggle(d->decimalRadio(1)));
        d->okButton()->click();
    });
    w.dlg.action(Ckv60xDlg::kCmdLogFile)->trigger();
    const QList<QByteArray> lines = FileLines(path);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QString::fromUtf8("Data i Godzina\tTemperatura °C").toLocal8Bit());
    EXPECT_TRUE(lines[1].endsWith("\t21.5")) << lines[1].toStdString();
    EXPECT_EQ(w.dlg.Settings().fileSepFormat, 1);
}

TEST(MainWindow, ScreenReadersHearTheTemperatureTheStatusAndTheWindows) {
    ScopedPrompts prompts;
    ScreenReader reader;
    Window w;
    ASSERT_TRUE(w.WaitForReading());
    CColorStatic* display = w.dlg.valueDisplay();
    const QString reading = QStringLiteral("21.50 \u00B0C");
    ASSERT_TRUE(
        WaitUntil([&] { return ScreenReader::Text(display, QAccessible::Value) == reading; }));
    EXPECT_EQ(ScreenReader::Role(display), QAccessible::StaticText);
    EXPECT_EQ(ScreenReader::Text(display, QAccessible::Name), QStringLiteral("Temperatura"));
    EXPECT_EQ(ScreenReader::Text(w.dlg.statusIcon(), QAccessible::Name),
              QStringLiteral("Informacja"));
    // The status line is text a reader can reach with Tab and read whole.
    EXPECT_EQ(ScreenReader::Text(w.dlg.statusTextBox(), QAccessible::Name),
              QStringLiteral("Stan urządzenia"));
    EXPECT_EQ(ScreenReader::Text(w.dlg.statusTextBox(), QAccessible::Value),
              w.dlg.lastStatusText());
    EXPECT_TRUE(w.dlg.statusTextBox()->focusPolicy() & Qt::TabFocus);

    // A steady reading is told once, not ten times a second.
    reader.Clear();
    testsupport::ProcessEventsFor(500);
    EXPECT_TRUE(reader.EventsFor(display, QAccessible::ValueChanged).empty());

    // The link goes: "???" and the error picture are told.
    SimFaults silent;
    silent.silent = true;
    w.meter.sim().SetFaults(silent);
    ASSERT_TRUE(WaitUntil([&] { return !w.dlg.connected(); }, 10000));
    testsupport::ProcessEventsFor(300);
    const auto told = reader.EventsFor(display, QAccessible::ValueChanged);
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.back().value, QStringLiteral("???"));
    EXPECT_EQ(ScreenReader::Text(w.dlg.statusIcon(), QAccessible::Name), QStringLiteral("Błąd"));
    EXPECT_FALSE(reader.EventsFor(w.dlg.statusIcon(), QAccessible::NameChanged).empty());

    // The trend window is a window with its title, its chart a chart.
    w.dlg.action(Ckv60xDlg::kCmdTrend)->trigger();
    TrendWindow* trend = w.dlg.trendWindow();
    ASSERT_NE(trend, nullptr);
    EXPECT_EQ(ScreenReader::Role(trend), QAccessible::Window);
    EXPECT_EQ(ScreenReader::Text(trend, QAccessible::Name), QStringLiteral("Wykres temperatury"));
    EXPECT_EQ(ScreenReader::Role(trend->chart()), QAccessible::Chart);
    trend->close();
}

TEST(MainWindow, EveryMenuCommandIsReachableByTheKeyboard) {
    ScopedPrompts prompts;
    // Each menu and each command carries one mnemonic, not shared within its
    // menu; screen readers get the names without the mark.
    for (bool service : {false, true}) {
        Window w(service);
        auto mnemonic = [](const QString& text) {
            const qsizetype at = text.indexOf(QLatin1Char('&'));
            return at < 0 || at + 1 >= text.size() ? QChar() : text.at(at + 1).toLower();
        };
        QList<QChar> titles;
        for (QAction* top : w.dlg.menu()->actions()) {
            const QChar m = mnemonic(top->text());
            EXPECT_FALSE(m.isNull()) << top->text().toStdString();
            EXPECT_FALSE(titles.contains(m)) << top->text().toStdString();
            titles << m;
            EXPECT_FALSE(top->menu()->accessibleName().contains(QLatin1Char('&')));
            QList<QChar> items;
            for (QAction* a : top->menu()->actions()) {
                const QChar c = mnemonic(a->text());
                EXPECT_FALSE(c.isNull()) << a->text().toStdString();
                EXPECT_FALSE(items.contains(c)) << a->text().toStdString();
                items << c;
            }
        }
    }

    // Alt+W, then K: "Widok", "Kolory".
    Window w;
    w.dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.dlg));
    bool opened = false;
    WhenShown<CColorDlg>([&](CColorDlg* d) {
        opened = true;
        d->reject();
    });
    QTest::keyClick(&w.dlg, Qt::Key_W, Qt::AltModifier);
    ASSERT_TRUE(WaitUntil([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_K);
    EXPECT_TRUE(WaitUntil([&] { return opened; }));
}
