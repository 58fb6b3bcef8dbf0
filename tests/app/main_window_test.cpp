#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <climits>
#include <csignal>

#include "app/ini_ex.h"
#include "app/widgets/kv60x_app.h"
#include "app/widgets/kv60x_dlg.h"
#include "characteristics/widgets/char_rec_select_dlg.h"
#include "characteristics/widgets/char_table_dlg.h"
#include "serial/port_names.h"
#include "serial/widgets/com_dlg.h"
#include "service/widgets/cal_dlg.h"
#include "service/widgets/electrode_dlg.h"
#include "service/widgets/panel_info_dlg.h"
#include "service/widgets/serial_number_dlg.h"
#include "support/scripted_prompts.h"
#include "support/sim_fixture.h"
#include "support/test_support.h"
#include "ui/color_static.h"
#include "ui/info_bmp.h"

using testsupport::FastTiming;
using testsupport::SimulatedMeter;
using testsupport::WaitUntil;
using testsupport::WhenShown;

namespace {

CWaitComDlg::Job Entries(QStringList entries) {
    return [entries](const std::atomic<bool>&) { return entries; };
}

QString SimEntry(int port) {
    return QStringLiteral("COM%1 (symulator)").arg(port);
}

AppSettings WithPort(int port) {
    AppSettings s;
    s.portNr = port;
    return s;
}

// A main window on a simulated meter with short time-outs, shown and initialised.
struct Window {
    explicit Window(int port, bool service = false, AppSettings s = AppSettings()) : dlg(service) {
        s.portNr = port;
        dlg.session().SetTiming(FastTiming());
        dlg.LoadSettings(s);
        dlg.show();
    }
    Ckv60xDlg dlg;
};

// The menus as read: "Widok: Kolory, Czcionki, ..." (mnemonic marks left out).
QStringList MenuLayout(QMenuBar* bar) {
    auto shown = [](QString text) { return text.remove(QLatin1Char('&')); };
    QStringList out;
    for (QAction* top : bar->actions()) {
        QStringList items;
        for (QAction* a : top->menu()->actions()) items << shown(a->text());
        out << shown(top->text()) + QStringLiteral(": ") + items.join(QStringLiteral(", "));
    }
    return out;
}

}  // namespace

TEST(MainWindowApp, FirstStartCreatesTheConfigurationAndAsksForAPortAfterShowing) {
    ScopedPrompts prompts;
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("kv60x.ini"));
    AppOptions options;
    options.configFile = ini;
    Ckv60xApp app(options, {QStringLiteral("kv60x")});
    app.SetWindowSetup([](Ckv60xDlg& w) { w.SetPortLister(Entries({})); });

    QElapsedTimer sinceShown;
    qint64 delay = -1;
    bool fileExisted = false;
    QRect frame;
    testsupport::WhenShown<Ckv60xDlg>([&](Ckv60xDlg* w) {
        sinceShown.start();
        fileExisted = QFile::exists(ini);
        testsupport::WhenShown<CComDlg>([&, w](CComDlg* d) {
            delay = sinceShown.elapsed();
            frame = w->frameGeometry();
            d->cancelButton()->click();
            QTimer::singleShot(0, w, [w] { w->action(Ckv60xDlg::kCmdClose)->trigger(); });
        });
    });
    EXPECT_EQ(app.Run(), 0);
    EXPECT_TRUE(fileExisted);
    EXPECT_GE(delay, 350);
    EXPECT_LT(delay, 3000);
    EXPECT_EQ(frame, QRect(80, 50, 640, 500));

    CIniEx check;
    ASSERT_EQ(check.Open(ini, false, false, true), CIniEx::OpenResult::Opened);
    EXPECT_EQ(check.GetSections(), (QStringList{QStringLiteral("INPUT_VALUE"),
                                                QStringLiteral("GENERAL"), QStringLiteral("LOG")}));
    EXPECT_EQ(check.GetKeys(QStringLiteral("GENERAL")),
              (QStringList{"PORT_NR", "WINDOW_TOP", "WINDOW_BOTTOM", "WINDOW_LEFT", "WINDOW_RIGHT",
                           "TOPMOST"}));
    EXPECT_EQ(check.GetValueInt("GENERAL", "PORT_NR", -1), 0);
    EXPECT_EQ(check.GetValueInt("GENERAL", "WINDOW_LEFT", -1), 80);
    EXPECT_EQ(check.GetValueInt("GENERAL", "WINDOW_BOTTOM", -1), 550);
    EXPECT_EQ(check.GetValueInt("INPUT_VALUE", "BACKGROUND_INPUT", -1), 13559807);
    EXPECT_EQ(check.GetValue("INPUT_VALUE", "FONT_NAME_INPUT"), QStringLiteral("Arial"));
    EXPECT_EQ(check.GetValueInt("LOG", "FILE_INTERVAL", -1), 60);
}

TEST(MainWindowApp, WindowOffTheScreenIsPulledBackAtExit) {
    ScopedPrompts prompts;
    SimulatedMeter meter;
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("kv60x.ini"));
    {
        // Partly on the screen (a window on no screen at all starts at the
        // defaults), its right edge far beyond it.
        const int width = QGuiApplication::primaryScreen()->geometry().width();
        CIniEx seed;
        ASSERT_EQ(seed.Open(ini, true, true, true), CIniEx::OpenResult::Opened);
        seed.SetValueInt("GENERAL", "PORT_NR", meter.port());
        seed.SetValueInt("GENERAL", "WINDOW_LEFT", width - 100);
        seed.SetValueInt("GENERAL", "WINDOW_RIGHT", width + 540);
        seed.SetValueInt("GENERAL", "WINDOW_TOP", 100);
        seed.SetValueInt("GENERAL", "WINDOW_BOTTOM", 400);
    }
    AppOptions options;
    options.configFile = ini;
    Ckv60xApp app(options, {QStringLiteral("kv60x")});
    int screenWidth = 0;
    testsupport::WhenShown<Ckv60xDlg>([&](Ckv60xDlg* w) {
        QTimer::singleShot(50, w, [&, w] {
            screenWidth = w->screen()->geometry().width();
            w->close();
        });
    });
    app.Run();
    ASSERT_GT(screenWidth, 0);
    CIniEx check;
    ASSERT_EQ(check.Open(ini, false, false, true), CIniEx::OpenResult::Opened);
    EXPECT_EQ(check.GetValueInt("GENERAL", "WINDOW_RIGHT", -1), screenWidth);
    EXPECT_EQ(check.GetValueInt("GENERAL", "WINDOW_LEFT", -1), screenWidth - 640);
    EXPECT_EQ(check.GetValueInt("GENERAL", "PORT_NR", -1), meter.port());
}

TEST(MainWindowApp, AReadOnlyOrOversizedConfigurationIsNeverOverwritten) {
    ScopedPrompts prompts;
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("kv60x.ini"));
    const std::string stored =
        "[GENERAL]\r\nPORT_NR=7\r\nWINDOW_LEFT=210\r\n[LOG]\r\n"
        "FILE_NAME=/dane/a;b.csv;\r\nFILE_INTERVAL=0\r\n";
    ASSERT_TRUE(testsupport::WriteFileBytes(ini.toStdString(), stored));
    ASSERT_TRUE(QFile::setPermissions(ini, QFileDevice::ReadOwner));
    {
        // Read and used; at exit the user hears that it could not be saved.
        AppOptions options;
        options.configFile = ini;
        Ckv60xApp app(options, {QStringLiteral("kv60x")});
        ASSERT_TRUE(app.Start());
        EXPECT_TRUE(app.configOpened());
        const AppSettings s = app.window()->Settings();
        EXPECT_EQ(s.portNr, 7);
        EXPECT_EQ(s.windowLeft, 210);
        EXPECT_EQ(s.fileName, QStringLiteral("/dane/a;b.csv"));
        EXPECT_EQ(s.fileInterval, 1) << "what the timer keeps";
        app.Finish();
        ASSERT_EQ(prompts->messages.size(), 1u);
        EXPECT_TRUE(prompts->messages[0].text.startsWith("Nie można zapisać ustawień"));
    }
    EXPECT_EQ(testsupport::ReadFileBytes(ini.toStdString()), stored);

    // Over the size limit: said at start, defaults used, the file untouched.
    QFile::setPermissions(ini, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QFile big(ini);
    ASSERT_TRUE(big.open(QIODevice::Append));
    ASSERT_TRUE(big.resize(CIniEx::kMaxFileBytes + 1));
    big.close();
    prompts->messages.clear();
    {
        AppOptions options;
        options.configFile = ini;
        Ckv60xApp app(options, {QStringLiteral("kv60x")});
        ASSERT_TRUE(app.Start());
        EXPECT_FALSE(app.configOpened());
        ASSERT_EQ(prompts->messages.size(), 1u);
        EXPECT_TRUE(prompts->messages[0].text.contains(QStringLiteral("jest większy niż")));
        app.Finish();
    }
    EXPECT_EQ(QFileInfo(ini).size(), CIniEx::kMaxFileBytes + 1);
}

TEST(MainWindowApp, StoredNumbersThatMeanNothingGiveWayToTheDefaults) {
    ScopedPrompts prompts;
    SimulatedMeter meter;
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("kv60x.ini"));
    {
        // A window on a monitor that has gone, a font height Qt cannot take.
        CIniEx seed;
        ASSERT_EQ(seed.Open(ini, true, true, true), CIniEx::OpenResult::Opened);
        seed.SetValueInt("GENERAL", "PORT_NR", meter.port());
        seed.SetValueInt("GENERAL", "WINDOW_LEFT", 30000);
        seed.SetValueInt("GENERAL", "WINDOW_RIGHT", 30640);
        seed.SetValueInt("GENERAL", "WINDOW_TOP", 100);
        seed.SetValueInt("GENERAL", "WINDOW_BOTTOM", 400);
        seed.SetValueInt("INPUT_VALUE", "FONT_HEIGHT_INPUT", INT_MIN);
    }
    AppOptions options;
    options.configFile = ini;
    Ckv60xApp app(options, {QStringLiteral("kv60x")});
    int pixelSize = 0;
    testsupport::WhenShown<Ckv60xDlg>([&](Ckv60xDlg* w) {
        QTimer::singleShot(50, w, [&, w] {
            pixelSize = w->valueDisplay()->font().pixelSize();
            w->close();
        });
    });
    app.Run();
    EXPECT_EQ(pixelSize, AppSettings::kFontHeightMax);
    CIniEx check;
    ASSERT_EQ(check.Open(ini, false, false, true), CIniEx::OpenResult::Opened);
    EXPECT_EQ(check.GetValueInt("GENERAL", "WINDOW_LEFT", -1), 80);
    EXPECT_EQ(check.GetValueInt("GENERAL", "WINDOW_TOP", -1), 50);
    EXPECT_EQ(check.GetValueInt("GENERAL", "WINDOW_RIGHT", -1), 720);
    EXPECT_EQ(check.GetValueInt("GENERAL", "WINDOW_BOTTOM", -1), 550);
    EXPECT_EQ(check.GetValueInt("INPUT_VALUE", "FONT_HEIGHT_INPUT", 0),
              -AppSettings::kFontHeightMax);
}

TEST(MainWindowApp, SettingsThatCannotBeSavedAtExitAreReportedAndTheOldFileKept) {
    ScopedPrompts prompts;
    SimulatedMeter meter;
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("kv60x.ini"));
    std::string original = "[GENERAL]\r\nPORT_NR=" + std::to_string(meter.port()) + "\r\n";
    for (int i = 0; i < 100; ++i) original += "[MOJE_" + std::to_string(i) + "]\r\nA=b\r\n";
    ASSERT_TRUE(testsupport::WriteFileBytes(ini.toStdString(), original));
    AppOptions options;
    options.configFile = ini;
    Ckv60xApp app(options, {QStringLiteral("kv60x")});
    testsupport::WhenShown<Ckv60xDlg>(
        [&](Ckv60xDlg* w) { QTimer::singleShot(50, w, [w] { w->close(); }); });
    ASSERT_TRUE(app.Start());
    app.window()->exec();
    {
        testsupport::FileSizeLimit full(512);
        app.Finish();
    }
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_TRUE(
        prompts->messages[0].text.startsWith(QStringLiteral("Nie można zapisać ustawień\n")))
        << prompts->messages[0].text.toStdString();
    EXPECT_TRUE(prompts->messages[0].text.endsWith(
        QStringLiteral("(przekroczony dopuszczalny rozmiar pliku)")));
    EXPECT_EQ(testsupport::ReadFileBytes(ini.toStdString()), original);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kv60x.ini"});
}

TEST(MainWindowApp, TerminationSignalClosesTheWindowAndSavesEvenWithADialogOpen) {
    ScopedPrompts prompts;
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("kv60x.ini"));
    AppOptions options;
    options.configFile = ini;
    options.service = true;
    Ckv60xApp app(options, {QStringLiteral("kv60x")});
    app.SetWindowSetup([](Ckv60xDlg& w) { w.SetPortLister(Entries({})); });
    bool dialogWasOpen = false;
    testsupport::WhenShown<CComDlg>([&](CComDlg*) {
        dialogWasOpen = true;
        std::raise(SIGTERM);  // handled through the self-pipe
    });
    EXPECT_EQ(app.Run(), 0);
    EXPECT_TRUE(dialogWasOpen);
    CIniEx check;
    ASSERT_EQ(check.Open(ini, false, false, true), CIniEx::OpenResult::Opened);
    EXPECT_EQ(check.GetKeys(QStringLiteral("LOG")).size(), 6);
}

TEST(MainWindow, MenusTitlesAndTopmostInBothModes) {
    ScopedPrompts prompts;
    SimulatedMeter meter;
    AppSettings s;
    s.topmost = 1;
    {
        Window w(meter.port(), false, s);
        EXPECT_EQ(w.dlg.windowTitle(), QStringLiteral("KV60X"));
        EXPECT_EQ(MenuLayout(w.dlg.menu()),
                  (QStringList{"Program: Zamknij",
                               "Widok: Kolory, Czcionki, Zawsze na wierzchu, Wykres temperatury",
                               "Ustawienia: Port szeregowy, Rejestracja do pliku",
                               "Panel: Informacje, Charakterystyki wszystkich materiałów, "
                               "Charakterystyka wybranego materiału, Historia zmian..., "
                               "Raport miernika...",
                               "Pomoc: Pomoc, O programie"}));
        EXPECT_TRUE(w.dlg.isTopmost());
        EXPECT_TRUE(w.dlg.windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_TRUE(w.dlg.action(Ckv60xDlg::kCmdTopmost)->isChecked());
        EXPECT_EQ(w.dlg.action(Ckv60xDlg::kCmdServiceData), nullptr);
        w.dlg.action(Ckv60xDlg::kCmdTopmost)->trigger();
        EXPECT_FALSE(w.dlg.isTopmost());
        EXPECT_FALSE(w.dlg.action(Ckv60xDlg::kCmdTopmost)->isChecked());
        EXPECT_TRUE(w.dlg.isVisible());
        EXPECT_EQ(w.dlg.Settings().topmost, 0);
    }
    Window w(meter.port(), true, s);
    EXPECT_EQ(w.dlg.windowTitle(), QStringLiteral("KV60X TRYB SERWISOWY"));
    EXPECT_TRUE(MenuLayout(w.dlg.menu())
                    .contains("Serwis: Zapis daty uruchamiania, Zapis numeru seryjnego, Odczyt "
                              "pamięci uruchamiania, Wyświetlaj dane serwisowe, Współczynnik "
                              "kształtu elektrod"));
    EXPECT_TRUE(w.dlg.action(Ckv60xDlg::kCmdTopmost)->isChecked());
    EXPECT_FALSE(w.dlg.action(Ckv60xDlg::kCmdServiceData)->isChecked());
    EXPECT_FALSE(w.dlg.serviceLabel()->isVisible());
}

TEST(MainWindow, EnterAndEscapeDoNotCloseTheWindow) {
    ScopedPrompts prompts;
    SimulatedMeter meter;
    Window w(meter.port());
    QTest::keyClick(&w.dlg, Qt::Key_Escape);
    QTest::keyClick(w.dlg.statusTextBox(), Qt::Key_Return);
    QTest::keyClick(w.dlg.valueDisplay(), Qt::Key_Escape);
    QTest::keyClick(&w.dlg, Qt::Key_Enter);
    EXPECT_TRUE(w.dlg.isVisible());
    EXPECT_EQ(w.dlg.result(), 0);
}

TEST(MainWindowApp, TerminationWhileTheStartupPortAlertIsOpenEndsWithTheSettingsWritten) {
    // The real message box: the alert runs before the window's own run.
    Prompts::install(nullptr);
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("kv60x.ini"));
    {
        CIniEx seed;
        ASSERT_EQ(seed.Open(ini, true, true, true), CIniEx::OpenResult::Opened);
        seed.SetValueInt("GENERAL", "PORT_NR", 199);  // nothing behind COM199
        seed.SetValueInt("LOG", "FILE_INTERVAL", 77);
    }
    AppOptions options;
    options.configFile = ini;
    Ckv60xApp app(options, {QStringLiteral("kv60x")});
    app.SetWindowSetup([](Ckv60xDlg& w) {
        w.session().SetTiming(FastTiming());
        w.SetPortLister(Entries({}));
    });
    QString alert;
    int raised = 0;
    testsupport::WhenShown<QMessageBox>([&](QMessageBox* box) {
        alert = box->text();
        ++raised;
        std::raise(SIGTERM);
    });
    // Should the program not end, this ends it and the test fails.
    bool forced = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        forced = true;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) d->done(0);
        }
    });
    guard.start(8000);
    EXPECT_EQ(app.Run(), 0);
    EXPECT_FALSE(forced);
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(alert, QStringLiteral("Nie można otworzyć portu COM199"));
    CIniEx check;
    ASSERT_EQ(check.Open(ini, false, false, true), CIniEx::OpenResult::Opened);
    EXPECT_EQ(check.GetKeys(QStringLiteral("GENERAL")).size(), 6);
    EXPECT_EQ(check.GetKeys(QStringLiteral("LOG")).size(), 6);
    EXPECT_EQ(check.GetValueInt("GENERAL", "PORT_NR", -1), 199);
    EXPECT_EQ(check.GetValueInt("LOG", "FILE_INTERVAL", -1), 77);
}

TEST(MainWindow, AfterTerminationEveryNewDialogIsCancelledAtOnce) {
    // A command whose dialog was cancelled by the closing may go on to show
    // another one (a message, the next question); the program must not wait
    // for a user who is gone. The real Qt boxes, so nothing answers them.
    Prompts::install(nullptr);
    SimulatedMeter meter;
    Window w(meter.port());
    w.dlg.CloseWindow();
    bool forced = false;  // a box left open: ended here so that the test fails, not hangs
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible()) {
                forced = true;
                box->done(0);
            }
        }
    });
    guard.start(2000);
    Prompts::instance().message(&w.dlg, QStringLiteral("Nie można zapisać ustawień"),
                                Prompts::Icon::Warning);
    EXPECT_EQ(Prompts::instance().question(&w.dlg, QStringLiteral("Na pewno?")),
              Prompts::Answer::Dismissed);
    EXPECT_FALSE(forced);
    EXPECT_FALSE(w.dlg.isVisible());
}

TEST(MainWindow, ConnectFailureAtStartSaysSoAndAsksAgain) {
    ScopedPrompts prompts;
    Ckv60xDlg dlg;
    dlg.session().SetTiming(FastTiming());
    dlg.LoadSettings(WithPort(199));  // nothing behind COM199
    dlg.SetPortLister(Entries({}));
    bool asked = false;
    testsupport::WhenShown<CComDlg>([&](CComDlg* d) {
        asked = d->currentPortLabel()->text() == QStringLiteral("Aktualnie używany port: COM199");
        d->cancelButton()->click();
    });
    dlg.show();
    ASSERT_TRUE(WaitUntil([&] { return asked; }, 3000));
    ASSERT_GE(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, QStringLiteral("Nie można otworzyć portu COM199"));
    EXPECT_EQ(dlg.portNumber(), 199);  // kept after a failure at start
}

TEST(MainWindow, PortSelectionCancelledSamePortAndFailingPort) {
    ScopedPrompts prompts;
    SimulatedMeter meter;
    SimulatedMeter other;
    Window w(meter.port());
    // The default idle time: once the first cycle is complete, no command goes
    // out for seconds unless the driver reconnects.
    w.dlg.session().SetTiming(DriverTiming{150, 4, 50, 5500, 20, 50});
    w.dlg.SetPortLister(Entries({SimEntry(199), SimEntry(meter.port()), SimEntry(other.port())}));
    ASSERT_TRUE(WaitUntil([&] { return w.dlg.connected(); }, 5000));
    const int connects = w.dlg.connectCount();

    // Cancelled: nothing changes.
    testsupport::WhenShown<CComDlg>([](CComDlg* d) { d->cancelButton()->click(); });
    w.dlg.action(Ckv60xDlg::kCmdPort)->trigger();
    EXPECT_EQ(w.dlg.portNumber(), meter.port());

    // The port in use chosen again: no reconnect.
    meter.sim().ClearReceived();
    QString preselected;
    testsupport::WhenShown<CComDlg>([&](CComDlg* d) {
        preselected = d->portList()->currentText();
        d->okButton()->click();
    });
    w.dlg.action(Ckv60xDlg::kCmdPort)->trigger();
    testsupport::ProcessEventsFor(300);
    EXPECT_EQ(preselected, SimEntry(meter.port()));
    EXPECT_EQ(w.dlg.connectCount(), connects);
    EXPECT_EQ(meter.sim().CountReceived("VR"), 0u);
    EXPECT_TRUE(w.dlg.connected());

    // A port that cannot be opened: the message, then the selection again, where
    // another meter is chosen.
    int shown = 0;
    std::function<void(CComDlg*)> answer = [&](CComDlg* d) {
        ++shown;
        const QString wanted = shown == 1 ? SimEntry(199) : SimEntry(other.port());
        d->portList()->setCurrentIndex(d->portList()->findText(wanted));
        d->okButton()->click();
        if (shown == 1) testsupport::WhenShown<CComDlg>(answer);
    };
    testsupport::WhenShown<CComDlg>(answer);
    w.dlg.action(Ckv60xDlg::kCmdPort)->trigger();
    EXPECT_EQ(shown, 2);
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, QStringLiteral("Nie można otworzyć portu COM199"));
    EXPECT_EQ(w.dlg.portNumber(), other.port());
    EXPECT_EQ(w.dlg.Settings().portNr, other.port());
    EXPECT_TRUE(WaitUntil([&] { return other.sim().CountReceived("VR") > 0; }, 3000));

    // A port that cannot be opened, then "Anuluj": no port is kept for the
    // next start, which asks for one.
    shown = 0;
    testsupport::WhenShown<CComDlg>([&](CComDlg* d) {
        d->portList()->setCurrentIndex(d->portList()->findText(SimEntry(199)));
        d->okButton()->click();
        testsupport::WhenShown<CComDlg>([](CComDlg* again) { again->cancelButton()->click(); });
    });
    w.dlg.action(Ckv60xDlg::kCmdPort)->trigger();
    EXPECT_EQ(prompts->messages.size(), 2u);
    EXPECT_EQ(w.dlg.Settings().portNr, 0);
    EXPECT_FALSE(w.dlg.session().IsConnected());
}

TEST(MainWindow, PortInUseChosenAgainWithoutALinkConnects) {
    // COM199 cannot be opened at start; the adapter is plugged in afterwards
    // and the user confirms the preselected COM199.
    ScopedPrompts prompts;
    SimulatedMeter meter;
    Ckv60xDlg dlg;
    dlg.session().SetTiming(FastTiming());
    dlg.LoadSettings(WithPort(199));
    dlg.SetPortLister(Entries({SimEntry(199)}));
    bool asked = false;
    testsupport::WhenShown<CComDlg>([&](CComDlg* d) {
        asked = true;
        d->cancelButton()->click();
    });
    dlg.show();
    ASSERT_TRUE(WaitUntil([&] { return asked; }, 3000));
    EXPECT_FALSE(dlg.session().IsConnected());
    const int connects = dlg.connectCount();

    RegisterPortDevice(199, QString::fromStdString(meter.sim().LinkPath()));
    QString preselected;
    testsupport::WhenShown<CComDlg>([&](CComDlg* d) {
        preselected = d->portList()->currentText();
        d->okButton()->click();
    });
    dlg.action(Ckv60xDlg::kCmdPort)->trigger();
    EXPECT_EQ(preselected, SimEntry(199));
    EXPECT_EQ(dlg.connectCount(), connects + 1);
    EXPECT_TRUE(WaitUntil([&] { return dlg.connected(); }, 5000));
    EXPECT_EQ(dlg.portNumber(), 199);
    EXPECT_EQ(prompts->messages.size(), 1u);  // only the one at start
    RegisterPortDevice(199, QString());
}

TEST(MainWindow, ShowsTheMeterAndFollowsTheLinkEndToEnd) {
    ScopedPrompts prompts;
    SimMeterState state;
    state.temperature = 23.456;
    SimulatedMeter meter(state);
    Window w(meter.port());
    CColorStatic* display = w.dlg.valueDisplay();
    EXPECT_EQ(display->ShownText(), QStringLiteral("???"));

    ASSERT_TRUE(WaitUntil([&] { return w.dlg.lastStatusText() == "KV-607A nr 17. "; }, 5000));
    EXPECT_EQ(w.dlg.statusTextBox()->text(), QStringLiteral("KV-607A nr 17. "));
    EXPECT_EQ(w.dlg.statusIcon()->state(), CInfoBmp::Information);
    ASSERT_TRUE(WaitUntil([&] { return !display->hasNoValue(); }, 2000));
    EXPECT_EQ(display->ShownText(), QStringLiteral("23.46 °C"));
    EXPECT_FALSE(display->isBlinking());

    // Temperature error: warning picture, the value blinks.
    meter.sim().ModifyState([](SimMeterState& s) { s.temperatureError = true; });
    ASSERT_TRUE(WaitUntil(
        [&] { return w.dlg.lastStatusText() == "KV-607A nr 17.  Błąd pomiaru temperatury."; },
        5000));
    EXPECT_EQ(w.dlg.statusIcon()->state(), CInfoBmp::Warning);
    EXPECT_TRUE(display->isBlinking());

    // Low supply with a good temperature still blinks.
    meter.sim().ModifyState([](SimMeterState& s) {
        s.temperatureError = false;
        s.lowSupplyVoltage = true;
    });
    ASSERT_TRUE(WaitUntil(
        [&] { return w.dlg.lastStatusText() == "KV-607A nr 17.  Niskie napięcie zasilania."; },
        5000));
    EXPECT_TRUE(display->isBlinking());

    // Cable pulled: no link, "???" blinking, error picture.
    meter.sim().Unplug();
    ASSERT_TRUE(WaitUntil(
        [&] {
            return w.dlg.lastStatusText() == QStringLiteral("Brak komunikacji z urządzeniem. ");
        },
        5000));
    EXPECT_EQ(w.dlg.statusIcon()->state(), CInfoBmp::Error);
    EXPECT_TRUE(display->hasNoValue());
    EXPECT_TRUE(display->isBlinking());

    // Back: the display recovers by itself.
    meter.sim().ModifyState([](SimMeterState& s) { s.lowSupplyVoltage = false; });
    ASSERT_TRUE(meter.sim().Replug());
    ASSERT_TRUE(WaitUntil([&] { return w.dlg.lastStatusText() == "KV-607A nr 17. "; }, 8000));
    ASSERT_TRUE(WaitUntil([&] { return !display->isBlinking(); }, 2000));
    EXPECT_EQ(display->ShownText(), QStringLiteral("23.46 °C"));
}

TEST(MainWindow, ServiceDataLineTogglesAndLaysTheWindowOut) {
    ScopedPrompts prompts;
    SimMeterState state;
    state.serviceText = "S1234567";
    SimulatedMeter meter(state);
    Window w(meter.port(), true);
    ASSERT_TRUE(WaitUntil([&] { return w.dlg.connected(); }, 5000));
    const int topBefore = w.dlg.valueDisplay()->geometry().top();
    EXPECT_TRUE(w.dlg.serviceTextBox()->text().isEmpty());  // not polled while hidden

    w.dlg.action(Ckv60xDlg::kCmdServiceData)->trigger();
    EXPECT_TRUE(w.dlg.action(Ckv60xDlg::kCmdServiceData)->isChecked());
    EXPECT_TRUE(w.dlg.serviceLabel()->isVisible());
    EXPECT_EQ(w.dlg.serviceLabel()->text(), QStringLiteral("Dane serwisowe:"));
    EXPECT_GT(w.dlg.valueDisplay()->geometry().top(), w.dlg.serviceLabel()->geometry().bottom());
    EXPECT_GT(w.dlg.valueDisplay()->geometry().top(), topBefore);
    ASSERT_TRUE(WaitUntil([&] { return w.dlg.serviceTextBox()->text() == "S1234567"; }, 5000));
    EXPECT_EQ(w.dlg.serviceTextBox()->font().pointSizeF(), w.dlg.font().pointSizeF() * 3);

    w.dlg.action(Ckv60xDlg::kCmdServiceData)->trigger();
    EXPECT_FALSE(w.dlg.serviceLabel()->isVisible());
    EXPECT_EQ(w.dlg.valueDisplay()->geometry().top(), topBefore);
}

TEST(MainWindow, StartupMemoryIsSwitchedOff) {
    ScopedPrompts prompts;
    SimulatedMeter meter;
    Window w(meter.port(), true);
    w.dlg.action(Ckv60xDlg::kCmdStartupMemory)->trigger();
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages.back().text, QStringLiteral("Chwilowo wyłączone"));
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top != &w.dlg) {
            EXPECT_FALSE(top->isVisible()) << top->metaObject()->className();
        }
    }
}

TEST(MainWindow, ServiceAndPanelCommandsOpenTheirDialogs) {
    ScopedPrompts prompts;
    SimulatedMeter meter;
    Window w(meter.port(), true);
    ASSERT_TRUE(WaitUntil([&] { return w.dlg.connected(); }, 5000));
    QStringList titles;
    auto closeIt = [&titles](QDialog* d) {
        titles << d->windowTitle();
        d->reject();
    };
    WhenShown<CPanelInfoDlg>(closeIt);
    w.dlg.action(Ckv60xDlg::kCmdPanelInfo)->trigger();
    WhenShown<CCalDlg>(closeIt);
    w.dlg.action(Ckv60xDlg::kCmdStartupDate)->trigger();
    WhenShown<CSerialNumberDlg>(closeIt);
    w.dlg.action(Ckv60xDlg::kCmdSerialNumber)->trigger();
    WhenShown<CElectrodeDlg>(closeIt);
    w.dlg.action(Ckv60xDlg::kCmdElectrode)->trigger();
    WhenShown<CCharTableDlg>(closeIt);
    w.dlg.action(Ckv60xDlg::kCmdCharTable)->trigger();
    WhenShown<CCharRecSelectDlg>(closeIt);
    w.dlg.action(Ckv60xDlg::kCmdCharRecord)->trigger();
    EXPECT_EQ(titles,
              (QStringList{"Informacje o panelu", "Data uruchamiania", "Numer seryjny",
                           QString::fromUtf8("Współczynnik kształtu elektrod"),
                           QString::fromUtf8("Charakterystyki materiałów"),
                           QString::fromUtf8("Odczyt charakterystyki wybranego materiału")}));
    EXPECT_TRUE(prompts->messages.empty());
}

TEST(MainWindow, ControlsCarryTheirLabelsAsAccessibleNames) {
    ScopedPrompts prompts;
    SimulatedMeter meter;
    Window w(meter.port());
    EXPECT_EQ(w.dlg.valueDisplay()->accessibleName(), QStringLiteral("Temperatura"));
    EXPECT_EQ(w.dlg.serviceTextBox()->accessibleName(), QStringLiteral("Dane serwisowe:"));
    for (QWidget* child : w.dlg.clientArea()->findChildren<QWidget*>()) {
        EXPECT_FALSE(child->accessibleName().isEmpty()) << child->metaObject()->className();
    }
}
