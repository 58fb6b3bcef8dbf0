// Registration as a user can upset it: questions left without an answer (with
// the real Qt message box), a tick falling due while the question is open, a
// change of port that fails or reaches a silent meter. The file must never
// lose, misplace or invent a measurement. And the window writes exactly what
// kv60x-cli log writes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>

#include "app/widgets/kv60x_dlg.h"
#include "app/widgets/log_file_dlg.h"
#include "cli/cli.h"
#include "serial/widgets/com_dlg.h"
#include "support/scripted_prompts.h"
#include "support/sim_fixture.h"
#include "support/test_support.h"
#include "ui/color_static.h"

using testsupport::FastTiming;
using testsupport::FileLines;
using testsupport::ReadFileData;
using testsupport::SimulatedMeter;
using testsupport::WaitUntil;
using testsupport::WhenShown;
using testsupport::WriteFileData;

namespace {

const QByteArray kHeader = QString::fromUtf8("Data i Godzina;Temperatura °C").toLocal8Bit();

// The main window on a simulated meter at 21.5 °C.
struct Window {
    Window() {
        AppSettings s;
        s.portNr = meter.port();
        dlg.session().SetTiming(FastTiming());
        dlg.SetRegistrationStartDelay(60000);
        dlg.LoadSettings(s);
        dlg.Initialise();
        dlg.show();
    }
    bool WaitForReading() {
        return WaitUntil([&] { return dlg.connected() && dlg.lastSnapshot().temperature.valid; });
    }
    // "Rejestracja do pliku" with edit applied before OK (cancel when it returns false).
    void Settings(std::function<bool(CLogFileDlg*)> edit) {
        WhenShown<CLogFileDlg>([edit](CLogFileDlg* d) {
            if (edit(d)) {
                d->okButton()->click();
            } else {
                d->cancelButton()->click();
            }
        });
        dlg.action(Ckv60xDlg::kCmdLogFile)->trigger();
    }
    // Registration on to path: ";" and ",", every second, no comment.
    void StartRegistration(const QString& path) {
        Settings([&](CLogFileDlg* d) {
            if (!d->logCheck()->isChecked()) d->logCheck()->click();
            d->fileNameBox()->setText(path);
            d->separatorRadio(2)->click();
            d->decimalRadio(0)->click();
            d->intervalPicker()->setTime(QTime(0, 0, 1));
            return true;
        });
    }
    SimulatedMeter meter;
    Ckv60xDlg dlg;
};

// Ends whatever dialog is still open after a while and says so: a dialog the
// test's action did not end fails the test instead of hanging it.
struct Watchdog {
    explicit Watchdog(int ms = 8000) {
        QTimer::singleShot(ms, &guard, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* d = qobject_cast<QDialog*>(w);
                    d && d->isVisible() && !qobject_cast<Ckv60xDlg*>(d)) {
                    fired = true;
                    d->done(QDialog::Rejected);
                }
            }
        });
    }
    QObject guard;
    bool fired = false;
};

CWaitComDlg::Job Entries(QStringList entries) {
    return [entries](const std::atomic<bool>&) { return entries; };
}

QString PortEntry(int port) {
    return QStringLiteral("COM%1 (symulator)").arg(port);
}

}  // namespace

TEST(RegistrationQuestion, NoAnswerFromTheRealBoxLeavesTheFileAndBringsTheDialogBack) {
    // The program's own Qt prompts: Escape, then the box's close button, then
    // the window closed (termination) while the box is open.
    Prompts::install(nullptr);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("wazne.csv"));
    const QByteArray before = "dane z wczoraj\r\n";
    WriteFileData(path, before);
    const std::function<void(QMessageBox*)> dismissals[] = {
        [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); },
        [](QMessageBox* box) { box->close(); },
    };
    for (const auto& dismiss : dismissals) {
        Window w;
        Watchdog dog;
        int dialogs = 0;
        QString nameShownAgain;
        std::function<void(CLogFileDlg*)> answer = [&](CLogFileDlg* d) {
            if (++dialogs == 1) {
                d->logCheck()->click();
                d->fileNameBox()->setText(path);
                d->commentCheck()->click();
                d->commentBox()->setPlainText(QStringLiteral("komentarz"));
                WhenShown<QMessageBox>([&](QMessageBox* box) {
                    EXPECT_EQ(box->text(), Ckv60xDlg::kLogFileExists);
                    WhenShown<CLogFileDlg>(answer);
                    dismiss(box);
                });
                d->okButton()->click();
            } else {
                nameShownAgain = d->fileNameBox()->text();
                d->cancelButton()->click();
            }
        };
        WhenShown<CLogFileDlg>(answer);
        w.dlg.action(Ckv60xDlg::kCmdLogFile)->trigger();
        EXPECT_FALSE(dog.fired);
        EXPECT_EQ(dialogs, 2);  // the settings again, as after a file that cannot be opened
        EXPECT_EQ(nameShownAgain, path);
        EXPECT_EQ(ReadFileData(path), before);
        EXPECT_FALSE(w.dlg.registrationFileOpen());
        EXPECT_FALSE(w.dlg.isRegistrationRunning());
        EXPECT_EQ(w.dlg.Settings().fileLog, 0);  // cancelled with no file open
    }

    // The program ends while the box is open.
    {
        Window w;
        Watchdog dog;
        WhenShown<QMessageBox>([&](QMessageBox*) { w.dlg.CloseWindow(); });
        w.Settings([&](CLogFileDlg* d) {
            d->logCheck()->click();
            d->fileNameBox()->setText(path);
            return true;
        });
        EXPECT_FALSE(dog.fired);
        EXPECT_EQ(ReadFileData(path), before);
        EXPECT_FALSE(w.dlg.registrationFileOpen());
    }
}

TEST(RegistrationQuestion, NoTickWritesWhileTheQuestionIsOpen) {
    // Registration runs every second to one file; the user picks another,
    // existing one and takes a second and a half to answer, long enough for a
    // tick to fall due. Both answers.
    struct SlowPrompts : ScriptedPrompts {
        Answer question(QWidget* parent, const QString& text) override {
            testsupport::ProcessEventsFor(1500);
            return ScriptedPrompts::question(parent, text);
        }
    };
    for (const bool tak : {false, true}) {
        SlowPrompts prompts;
        Prompts::install(&prompts);
        QTemporaryDir dir;
        const QString first = dir.filePath(QStringLiteral("pierwszy.csv"));
        const QString second = dir.filePath(QStringLiteral("drugi.csv"));
        WriteFileData(second, "stare\r\n");
        {
            Window w;
            ASSERT_TRUE(w.WaitForReading());
            w.StartRegistration(first);
            ASSERT_TRUE(w.dlg.isRegistrationRunning());
            prompts.questionAnswers = {tak};
            w.Settings([&](CLogFileDlg* d) {
                d->fileNameBox()->setText(second);
                if (!d->commentCheck()->isChecked()) d->commentCheck()->click();
                d->commentBox()->setPlainText(QStringLiteral("Partia B"));
                return true;
            });
            ASSERT_EQ(prompts.questions.size(), 1u);
            testsupport::ProcessEventsFor(1500);  // ticks go on after the answer
        }
        Prompts::install(nullptr);
        const QList<QByteArray> lines = FileLines(second);
        QList<QByteArray> expectedStart;
        if (tak)
            expectedStart << "stare"
                          << "";
        expectedStart << "Partia B" << kHeader;
        ASSERT_GE(lines.size(), expectedStart.size() + 2) << ReadFileData(second).toStdString();
        EXPECT_EQ(lines.mid(0, expectedStart.size()), expectedStart)
            << ReadFileData(second).toStdString();
        for (qsizetype i = expectedStart.size(); i < lines.size(); ++i) {
            EXPECT_TRUE(lines[i].endsWith(";21,5")) << lines[i].toStdString();
        }
    }
}

TEST(RegistrationQuestion, StartAfterLaunchWaitsWhileTheSettingsCommandOpensAFile) {
    // The start after launch falls due while the settings command is showing
    // "niedostępny" for the file just chosen: it must not try that file on its
    // own and say so a second time.
    struct SlowPrompts : ScriptedPrompts {
        void message(QWidget* parent, const QString& text, Icon icon) override {
            ScriptedPrompts::message(parent, text, icon);
            testsupport::ProcessEventsFor(700);
        }
    } prompts;
    Prompts::install(&prompts);
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("brak/pomiary.csv"));
    {
        Window w;
        w.dlg.SetRegistrationStartDelay(300);
        int dialogs = 0;
        std::function<void(CLogFileDlg*)> answer = [&](CLogFileDlg* d) {
            if (++dialogs == 1) {
                d->logCheck()->click();
                d->fileNameBox()->setText(missing);
                WhenShown<CLogFileDlg>(answer);
                d->okButton()->click();
            } else {
                d->cancelButton()->click();
            }
        };
        // The start timer restarts with the shorter delay; the command starts at once.
        QMetaObject::invokeMethod(
            &w.dlg, [&] { w.dlg.OnLogFileSettings(); }, Qt::QueuedConnection);
        WhenShown<CLogFileDlg>(answer);
        testsupport::ProcessEventsFor(1500);
        EXPECT_EQ(dialogs, 2);
        EXPECT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(w.dlg.Settings().fileLog, 0);
    }
    Prompts::install(nullptr);
}

TEST(RegistrationQuestion, ADismissedQuestionLeavesTheSettingsAndTheStartAlone) {
    // Right after start the user opens the settings, switches registration on
    // to a file that exists and dismisses the question. The start after
    // launch falls due while the dialog is back: it must not write to that
    // file, now or after the dialog is cancelled.
    ScopedPrompts prompts;
    QTemporaryDir dir;
    const QString other = dir.filePath(QStringLiteral("inny.csv"));
    WriteFileData(other, "cudze\r\n");
    Window w;
    w.dlg.SetRegistrationStartDelay(300);
    int dialogs = 0;
    std::function<void(CLogFileDlg*)> answer = [&](CLogFileDlg* d) {
        if (++dialogs == 1) {
            d->logCheck()->click();
            d->fileNameBox()->setText(other);
            emit d->fileNameBox()->editingFinished();
            WhenShown<CLogFileDlg>(answer);
            d->okButton()->click();  // the question gets no answer
        } else {
            testsupport::ProcessEventsFor(700);  // the start falls due here
            d->cancelButton()->click();
        }
    };
    QMetaObject::invokeMethod(
        &w.dlg, [&] { w.dlg.OnLogFileSettings(); }, Qt::QueuedConnection);
    WhenShown<CLogFileDlg>(answer);
    testsupport::ProcessEventsFor(1500);
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(prompts->questions.size(), 1u);
    EXPECT_EQ(ReadFileData(other), QByteArray("cudze\r\n"));
    EXPECT_EQ(w.dlg.Settings().fileLog, 0);
    EXPECT_TRUE(w.dlg.Settings().fileName.isEmpty());
    EXPECT_FALSE(w.dlg.isRegistrationRunning());
}

TEST(RegistrationLink, FailedPortChangeThenCancelShowsAndLogsNoLink) {
    ScopedPrompts prompts;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pomiary.csv"));
    Window w;
    w.dlg.SetPortLister(Entries({PortEntry(199), PortEntry(w.meter.port())}));
    ASSERT_TRUE(w.WaitForReading());
    w.StartRegistration(path);

    // COM199 cannot be opened: the message, the selection again, cancelled.
    int shown = 0;
    std::function<void(CComDlg*)> answer = [&](CComDlg* d) {
        if (++shown == 1) {
            d->portList()->setCurrentIndex(d->portList()->findText(PortEntry(199)));
            WhenShown<CComDlg>(answer);
            d->okButton()->click();
        } else {
            d->cancelButton()->click();
        }
    };
    WhenShown<CComDlg>(answer);
    w.dlg.action(Ckv60xDlg::kCmdPort)->trigger();
    ASSERT_EQ(shown, 2);
    ASSERT_EQ(prompts->messages.size(), 1u);
    const qsizetype linesBefore = FileLines(path).size();

    testsupport::ProcessEventsFor(2200);
    EXPECT_FALSE(w.dlg.session().Snapshot().linkUp());
    EXPECT_TRUE(
        w.dlg.lastStatusText().startsWith(QStringLiteral("Brak komunikacji z urządzeniem. ")))
        << w.dlg.lastStatusText().toStdString();
    EXPECT_TRUE(w.dlg.valueDisplay()->hasNoValue());
    const QList<QByteArray> lines = FileLines(path);
    ASSERT_GE(lines.size(), linesBefore + 2);
    for (qsizetype i = linesBefore; i < lines.size(); ++i) {
        EXPECT_TRUE(lines[i].endsWith(";???")) << lines[i].toStdString();
    }
}

TEST(RegistrationLink, SwitchingToASilentMeterShowsAndLogsNoOldValue) {
    ScopedPrompts prompts;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pomiary.csv"));
    SimMeterState otherState;
    otherState.temperature = 30.0;
    SimulatedMeter other(otherState);
    SimFaults quiet;
    quiet.silent = true;
    other.sim().SetFaults(quiet);
    Window w;
    w.dlg.SetPortLister(Entries({PortEntry(w.meter.port()), PortEntry(other.port())}));
    ASSERT_TRUE(w.WaitForReading());
    w.StartRegistration(path);

    WhenShown<CComDlg>([&](CComDlg* d) {
        d->portList()->setCurrentIndex(d->portList()->findText(PortEntry(other.port())));
        d->okButton()->click();
    });
    w.dlg.action(Ckv60xDlg::kCmdPort)->trigger();
    ASSERT_EQ(w.dlg.portNumber(), other.port());
    const qsizetype linesBefore = FileLines(path).size();

    // For as long as the new meter says nothing: "???" shown, "???" logged.
    bool valueShown = false;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 2200) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (!w.dlg.valueDisplay()->hasNoValue()) valueShown = true;
    }
    EXPECT_FALSE(valueShown);
    QList<QByteArray> lines = FileLines(path);
    ASSERT_GE(lines.size(), linesBefore + 2);
    for (qsizetype i = linesBefore; i < lines.size(); ++i) {
        EXPECT_TRUE(lines[i].endsWith(";???")) << lines[i].toStdString();
    }

    // Once it answers, its own value.
    other.sim().ClearFaults();
    ASSERT_TRUE(WaitUntil([&] { return FileLines(path).last().endsWith(";30,0"); }, 5000));
    EXPECT_EQ(w.dlg.valueDisplay()->ShownText(), QStringLiteral("30.00 °C"));
}

TEST(RegistrationLikeTheCli, WindowAndCliWriteTheSameBytes) {
    // The same meter, the same clock, the same choices: a file started with a
    // comment and three good readings, then appended to with a comment while
    // the meter flags a temperature error.
    ScopedPrompts prompts;
    QTemporaryDir dir;
    const QString byWindow = dir.filePath(QStringLiteral("okno.csv"));
    const QString byCli = dir.filePath(QStringLiteral("cli.csv"));
    const std::time_t fixed = 1704456000;
    {
        Window w;
        w.dlg.SetRegistrationClock([fixed] { return fixed; });
        ASSERT_TRUE(w.WaitForReading());
        w.Settings([&](CLogFileDlg* d) {
            d->logCheck()->click();
            d->fileNameBox()->setText(byWindow);
            d->separatorRadio(2)->click();  // ";"
            d->decimalRadio(0)->click();    // ","
            d->intervalPicker()->setTime(QTime(1, 0, 0));
            d->commentCheck()->click();
            d->commentBox()->setPlainText(QStringLiteral("Seria 1\nsuszarnia"));
            return true;
        });
        w.Settings([](CLogFileDlg*) { return true; });  // a line at once, each
        w.Settings([](CLogFileDlg*) { return true; });
        w.meter.sim().ModifyState([](SimMeterState& s) { s.temperatureError = true; });
        ASSERT_TRUE(
            WaitUntil([&] { return w.dlg.lastSnapshot().temperature.temperatureError; }, 5000));
        w.Settings([](CLogFileDlg* d) {
            d->logCheck()->click();  // off
            return true;
        });
        prompts->questionAnswers = {true};  // Tak: append
        w.Settings([](CLogFileDlg* d) {
            d->logCheck()->click();
            d->commentBox()->setPlainText(QStringLiteral("dalej"));
            return true;
        });
        w.Settings([](CLogFileDlg*) { return true; });
    }

    SimulatedMeter meter;
    auto runCli = [&](QStringList args) {
        CliEnv env;
        QString err;
        env.err = [&err](const QByteArray& b) { err += QString::fromUtf8(b); };
        env.timing = FastTiming();
        env.firstCycleTimeoutMs = 3000;
        env.clock = [fixed] { return fixed; };
        args << QStringLiteral("--port") << QStringLiteral("COM%1").arg(meter.port())
             << QStringLiteral("--out") << byCli << QStringLiteral("--interval")
             << QStringLiteral("0.1") << QStringLiteral("--sep") << QStringLiteral("semicolon")
             << QStringLiteral("--decimal") << QStringLiteral("comma");
        EXPECT_EQ(RunCli(QStringList{QStringLiteral("log")} + args, env), 0) << err.toStdString();
    };
    runCli({QStringLiteral("--count"), QStringLiteral("3"), QStringLiteral("--comment"),
            QStringLiteral("Seria 1\nsuszarnia")});
    meter.sim().ModifyState([](SimMeterState& s) { s.temperatureError = true; });
    runCli({QStringLiteral("--count"), QStringLiteral("2"), QStringLiteral("--append"),
            QStringLiteral("--comment"), QStringLiteral("dalej")});

    const QByteArray window = ReadFileData(byWindow);
    EXPECT_EQ(window, ReadFileData(byCli));
    EXPECT_EQ(FileLines(byWindow).size(), 11);  // 2 comment, title, 3 readings, "", 1, title, 2
    EXPECT_TRUE(window.endsWith(";???\r\n")) << window.toStdString();
}
