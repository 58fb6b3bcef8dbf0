// Registration to file as the user drives it: the settings dialog, the main
// window's opening, questions, comment, header and lines, the start after
// launch, failures of the file, and the CSV a spreadsheet reads back.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>

#include "app/widgets/kv60x_dlg.h"
#include "app/widgets/log_file_dlg.h"
#include "support/scripted_prompts.h"
#include "support/sim_fixture.h"
#include "support/test_support.h"
#include "ui/grab_util.h"

using testsupport::FastTiming;
using testsupport::FileLines;
using testsupport::ReadFileData;
using testsupport::SimulatedMeter;
using testsupport::WaitUntil;
using testsupport::WhenShown;
using testsupport::WriteFileData;

namespace {

const QByteArray kHeaderComma = QString::fromUtf8("Data i Godzina,Temperatura °C").toLocal8Bit();
const QByteArray kHeaderSemicolon =
    QString::fromUtf8("Data i Godzina;Temperatura °C").toLocal8Bit();

// The main window on a simulated meter at 21.5 °C, showing a reading.
struct Window {
    explicit Window(AppSettings s = AppSettings(), int startDelayMs = 60000) {
        s.portNr = meter.port();
        dlg.session().SetTiming(FastTiming());
        dlg.SetRegistrationStartDelay(startDelayMs);
        dlg.LoadSettings(s);
        dlg.Initialise();  // as exec() does, before the window shows
        dlg.show();
    }
    bool WaitForReading() {
        return WaitUntil([&] { return dlg.connected() && dlg.lastStatusText().startsWith("KV"); });
    }
    // Runs "Rejestracja do pliku", letting edit change the dialog before OK
    // (or cancel, when edit returns false).
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
    SimulatedMeter meter;
    Ckv60xDlg dlg;
};

void SetName(CLogFileDlg* d, const QString& path) {
    d->fileNameBox()->setText(path);
    emit d->fileNameBox()->editingFinished();
}

void TurnOn(CLogFileDlg* d) {
    if (!d->logCheck()->isChecked()) d->logCheck()->click();
}

}  // namespace

TEST(LogFileDialog, ControlsFollowTheSettingsAndTheirRules) {
    ScopedPrompts prompts;
    LogFileSettings in;
    in.fileName = QStringLiteral("/tmp/pomiary.csv");
    in.fileInterval = 3661;
    in.fileSepFormat = 3;
    in.fileDecSeparator = 7;  // not 1 or 2: the locale's
    in.fileCheckComment = 0;
    in.comment = QStringLiteral("Partia 12");
    CLogFileDlg d(in);
    d.show();
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Rejestracja do pliku"));
    EXPECT_EQ(d.intervalPicker()->time(), QTime(1, 1, 1));
    EXPECT_EQ(d.fileNameBox()->text(), in.fileName);
    EXPECT_TRUE(d.separatorRadio(2)->isChecked());
    EXPECT_TRUE(d.decimalRadio(2)->isChecked());
    EXPECT_EQ(d.commentBox()->toPlainText(), in.comment);

    // Off: everything but the check box, the interval label and the buttons is disabled.
    for (QWidget* w : std::initializer_list<QWidget*>{
             d.intervalPicker(), d.fileNameBox(), d.browseButton(), d.fileLabel(),
             d.separatorLabel(), d.decimalLabel(), d.commentCheck(), d.commentBox(),
             d.separatorRadio(0), d.separatorRadio(3), d.decimalRadio(0), d.decimalRadio(2)}) {
        EXPECT_FALSE(w->isEnabled()) << w->accessibleName().toStdString();
    }
    d.logCheck()->click();
    EXPECT_TRUE(d.intervalPicker()->isEnabled());
    EXPECT_TRUE(d.separatorLabel()->isEnabled());
    EXPECT_TRUE(d.commentCheck()->isEnabled());
    EXPECT_FALSE(d.commentBox()->isEnabled());  // follows the comment check box
    d.commentCheck()->click();
    EXPECT_TRUE(d.commentBox()->isEnabled());
    d.logCheck()->click();
    EXPECT_FALSE(d.commentBox()->isEnabled());
    d.logCheck()->click();
    EXPECT_TRUE(d.commentBox()->isEnabled());

    // Radios: 1, 2, 3, 0 and 1, 2, 0.
    const int sepValues[] = {1, 2, 3, 0};
    for (int i = 0; i < 4; ++i) {
        d.separatorRadio(i)->click();
        EXPECT_EQ(d.settings().fileSepFormat, sepValues[i]);
    }
    const int decValues[] = {1, 2, 0};
    for (int i = 0; i < 3; ++i) {
        d.decimalRadio(i)->click();
        EXPECT_EQ(d.settings().fileDecSeparator, decValues[i]);
    }

    // Interval: 00:00:00 becomes 00:00:01 when left; 23:59:59 is 86399 s.
    d.intervalPicker()->setTime(QTime(0, 0, 0));
    emit d.intervalPicker()->editingFinished();
    EXPECT_EQ(d.intervalPicker()->time(), QTime(0, 0, 1));
    EXPECT_EQ(d.settings().fileInterval, 1);
    d.intervalPicker()->setTime(QTime(23, 59, 59));
    emit d.intervalPicker()->editingFinished();
    EXPECT_EQ(d.settings().fileInterval, 86399);

    // "...": the chooser, and the extension of the chosen type for a bare name.
    prompts->answerFile(QStringLiteral("/tmp/raport"), 0);
    d.browseButton()->click();
    EXPECT_EQ(d.fileNameBox()->text(), QStringLiteral("/tmp/raport.txt"));
    prompts->answerFile(QStringLiteral("/tmp/raport"), 1);
    d.browseButton()->click();
    EXPECT_EQ(d.settings().fileName, QStringLiteral("/tmp/raport.csv"));
    prompts->answerFile(QStringLiteral("/tmp/dane.log"), 1);
    d.browseButton()->click();
    EXPECT_EQ(d.settings().fileName, QStringLiteral("/tmp/dane.log"));
    d.browseButton()->click();  // chooser cancelled: name kept
    EXPECT_EQ(d.settings().fileName, QStringLiteral("/tmp/dane.log"));
    ASSERT_EQ(prompts->fileRequests.size(), 4u);
    const Prompts::FileRequest& req = prompts->fileRequests[0].request;
    EXPECT_EQ(prompts->fileRequests[0].kind, ScriptedPrompts::FileKind::Save);
    EXPECT_EQ(req.title, QStringLiteral("Wybierz plik raportu"));
    EXPECT_EQ(req.filters, (QStringList{QStringLiteral("Plik tekstowy (*.txt)"),
                                        QStringLiteral("Lista CSV (*.csv)")}));
    EXPECT_EQ(req.defaultSuffix, QStringLiteral("csv"));
    // An existing file is a normal answer (the window asks its own question),
    // and the chooser opens on the first type.
    EXPECT_FALSE(req.confirmOverwrite);
    EXPECT_EQ(req.initialFilter, 0);

    // Accessible names come from the visible labels.
    EXPECT_EQ(d.intervalPicker()->accessibleName(), QStringLiteral("Interwał rejestracji"));
    EXPECT_EQ(d.fileNameBox()->accessibleName(), QStringLiteral("W pliku"));
    EXPECT_EQ(d.separatorRadio(1)->accessibleName(), QStringLiteral("Przecinek"));
    EXPECT_EQ(d.separatorRadio(1)->accessibleDescription(), QStringLiteral("Separator kolumn:"));
    EXPECT_EQ(d.decimalRadio(0)->accessibleDescription(), QStringLiteral("Znak dziesiętny:"));
    EXPECT_FALSE(d.browseButton()->accessibleName().isEmpty());
    EXPECT_FALSE(d.commentBox()->accessibleName().isEmpty());
    testsupport::Grab(&d, QStringLiteral("log_file_dlg"));

    // OK takes the picker, the name box and the comment as they stand, also
    // without their losing the focus first.
    d.intervalPicker()->setTime(QTime(0, 2, 0));
    d.fileNameBox()->setText(QStringLiteral("/tmp/inny.txt"));
    d.commentBox()->setPlainText(QStringLiteral("Linia 1\nLinia 2"));
    d.okButton()->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    const LogFileSettings out = d.settings();
    EXPECT_EQ(out.fileLog, 1);
    EXPECT_EQ(out.fileCheckComment, 1);
    EXPECT_EQ(out.fileInterval, 120);
    EXPECT_EQ(out.fileName, QStringLiteral("/tmp/inny.txt"));
    EXPECT_EQ(out.comment, QStringLiteral("Linia 1\nLinia 2"));
}

TEST(Registration, ExistingFileTakAppendsNieEmptiesAndOkAgainOnlyAddsALine) {
    ScopedPrompts prompts;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pomiary.csv"));
    WriteFileData(path, "stara linia\r\n");
    Window w;
    ASSERT_TRUE(w.WaitForReading());

    // Tak, with the comment: empty line, comment, header, first line at the end.
    prompts->questionAnswers = {true};
    w.Settings([&](CLogFileDlg* d) {
        TurnOn(d);
        SetName(d, path);
        d->separatorRadio(1)->click();  // ","
        d->decimalRadio(1)->click();    // "."
        d->commentCheck()->click();
        d->commentBox()->setPlainText(QStringLiteral("Partia A\nsuszarnia 2"));
        d->intervalPicker()->setTime(QTime(0, 1, 0));
        return true;
    });
    ASSERT_EQ(prompts->questions.size(), 1u);
    EXPECT_EQ(prompts->questions[0].text, Ckv60xDlg::kLogFileExists);
    EXPECT_TRUE(prompts->questions[0].text.contains("\r\nKontynuować rejestrację?\r\n"));
    QList<QByteArray> lines = FileLines(path);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], "stara linia");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "Partia A");
    EXPECT_EQ(lines[3], "suszarnia 2");
    EXPECT_EQ(lines[4], kHeaderComma);
    EXPECT_TRUE(lines[5].endsWith(",21.5")) << lines[5].toStdString();
    EXPECT_TRUE(ReadFileData(path).contains("Partia A\r\nsuszarnia 2\r\n"));
    EXPECT_TRUE(w.dlg.isRegistrationRunning());
    EXPECT_EQ(w.dlg.registrationTimerInterval(), 60000);
    EXPECT_TRUE(w.dlg.lastStatusText().endsWith(" Rejestracja do pliku co 00:01:00. "));

    // OK again without changes: no question, no header, one line at once, the
    // interval counted from now.
    testsupport::ProcessEventsFor(1000);
    const int leftBefore = w.dlg.registrationTimeLeftMs();
    w.Settings([](CLogFileDlg*) { return true; });
    EXPECT_EQ(prompts->questions.size(), 1u);
    lines = FileLines(path);
    ASSERT_EQ(lines.size(), 7);
    EXPECT_TRUE(lines[6].endsWith(",21.5"));
    EXPECT_GT(w.dlg.registrationTimeLeftMs(), leftBefore);

    // Switched off: the file is released, the status line no longer reports it.
    w.Settings([](CLogFileDlg* d) {
        d->logCheck()->click();
        return true;
    });
    EXPECT_FALSE(w.dlg.isRegistrationRunning());
    EXPECT_FALSE(w.dlg.registrationFileOpen());
    EXPECT_FALSE(w.dlg.lastStatusText().contains("Rejestracja"));

    // On again with Nie: comment, header, first line only; ";" and ",".
    prompts->questionAnswers = {false};
    w.Settings([&](CLogFileDlg* d) {
        TurnOn(d);
        EXPECT_EQ(d->commentBox()->toPlainText(), QStringLiteral("Partia A\nsuszarnia 2"));
        d->separatorRadio(2)->click();
        d->decimalRadio(0)->click();
        return true;
    });
    ASSERT_EQ(prompts->questions.size(), 2u);
    lines = FileLines(path);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "Partia A");
    EXPECT_EQ(lines[2], kHeaderSemicolon);
    EXPECT_TRUE(lines[3].endsWith(";21,5"));

    // Cancelled while a file is open: registration keeps running.
    w.Settings([](CLogFileDlg* d) {
        d->logCheck()->click();
        return false;
    });
    EXPECT_TRUE(w.dlg.isRegistrationRunning());
    EXPECT_EQ(w.dlg.LogSettings().fileLog, 1);
}

TEST(Registration, LongestIntervalAndCommaWithDecimalComma) {
    ScopedPrompts prompts;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nowy.csv"));
    Window w;
    ASSERT_TRUE(w.WaitForReading());
    w.Settings([&](CLogFileDlg* d) {
        TurnOn(d);
        SetName(d, path);
        d->separatorRadio(1)->click();  // FILE_SEP_FORMAT 2
        d->decimalRadio(0)->click();    // FILE_DEC_SEPARATOR 1
        d->intervalPicker()->setTime(QTime(23, 59, 59));
        return true;
    });
    EXPECT_TRUE(prompts->questions.empty());  // a new file: nothing to ask
    EXPECT_EQ(w.dlg.LogSettings().fileInterval, 86399);
    EXPECT_EQ(w.dlg.registrationTimerInterval(), 86399 * 1000);
    EXPECT_TRUE(w.dlg.lastStatusText().endsWith(" Rejestracja do pliku co 23:59:59. "));
    const QList<QByteArray> lines = FileLines(path);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], kHeaderComma);
    EXPECT_TRUE(lines[1].endsWith(",21,5")) << lines[1].toStdString();  // not prevented
}

TEST(Registration, StoredOnStartsAfterLaunchAppendingWithoutAQuestion) {
    ScopedPrompts prompts;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("stale.csv"));
    WriteFileData(path, "poprzednia sesja\r\n");
    AppSettings s;
    s.fileLog = 1;
    s.fileName = path;
    s.fileInterval = 1;
    s.fileSepFormat = 3;
    s.fileDecSeparator = 2;
    s.fileCheckComment = 1;  // the comment belongs to starts from the dialog only
    Window w(s, 300);
    EXPECT_FALSE(w.dlg.isRegistrationRunning());
    ASSERT_TRUE(WaitUntil([&] { return FileLines(path).size() >= 4; }, 5000));
    EXPECT_TRUE(prompts->questions.empty());
    EXPECT_TRUE(prompts->messages.empty());
    const QList<QByteArray> lines = FileLines(path);
    EXPECT_EQ(lines[0], "poprzednia sesja");
    EXPECT_EQ(lines[1], kHeaderSemicolon);
    EXPECT_EQ(lines.count(kHeaderSemicolon), 1);
    // Until the meter has answered the value is "???", then the reading.
    for (int i = 2; i < lines.size(); ++i) {
        EXPECT_TRUE(lines[i].endsWith(";21.5") || lines[i].endsWith(";???"))
            << lines[i].toStdString();
    }
    EXPECT_TRUE(lines.last().endsWith(";21.5"));
    EXPECT_TRUE(w.dlg.lastStatusText().endsWith(" Rejestracja do pliku co 00:00:01. "));
}

TEST(Registration, UnavailableFileAsksAgainAndCancelSwitchesOff) {
    ScopedPrompts prompts;
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("brak/pomiary.csv"));

    // From the dialog: the message, then the dialog again with the same settings.
    {
        Window w;
        int shown = 0;
        QString secondName;
        std::function<void(CLogFileDlg*)> answer = [&](CLogFileDlg* d) {
            ++shown;
            if (shown == 1) {
                TurnOn(d);
                SetName(d, missing);
                WhenShown<CLogFileDlg>(answer);
                d->okButton()->click();
            } else {
                secondName = d->fileNameBox()->text();
                EXPECT_TRUE(d->logCheck()->isChecked());
                d->cancelButton()->click();
            }
        };
        WhenShown<CLogFileDlg>(answer);
        w.dlg.action(Ckv60xDlg::kCmdLogFile)->trigger();
        EXPECT_EQ(shown, 2);
        EXPECT_EQ(secondName, missing);
        ASSERT_EQ(prompts->messages.size(), 1u);
        EXPECT_EQ(prompts->messages[0].text,
                  QStringLiteral("Wybrany plik rejestracji wyników pomiaru jest niedostępny."));
        EXPECT_EQ(prompts->messages[0].icon, Prompts::Icon::Warning);
        EXPECT_EQ(w.dlg.Settings().fileLog, 0);
        EXPECT_FALSE(w.dlg.isRegistrationRunning());
    }

    // At start: the message and the settings command.
    AppSettings s;
    s.fileLog = 1;
    s.fileName = missing;
    bool dialogShown = false;
    WhenShown<CLogFileDlg>([&](CLogFileDlg* d) {
        dialogShown = true;
        d->cancelButton()->click();
    });
    Window w(s, 100);
    ASSERT_TRUE(WaitUntil([&] { return dialogShown; }, 5000));
    EXPECT_EQ(prompts->messages.size(), 2u);
    EXPECT_EQ(w.dlg.Settings().fileLog, 0);
}

TEST(Registration, FileOrFolderGoneWhileRegisteringIsReportedOnceAndWritingResumes) {
    ScopedPrompts prompts;
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("logi"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/pomiary.txt");
    AppSettings s;
    s.fileLog = 1;
    s.fileName = path;
    s.fileInterval = 1;
    s.fileSepFormat = 1;
    Window w(s, 10);
    ASSERT_TRUE(WaitUntil([&] { return FileLines(path).size() >= 2; }, 5000));
    const QString error = RegistrationWriteErrorText();

    // The file removed: created again at the next line, with its header.
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(WaitUntil([&] { return FileLines(path).size() >= 2; }, 3000));
    EXPECT_TRUE(FileLines(path)[0].startsWith("Data i Godzina\t"));
    EXPECT_FALSE(w.dlg.lastStatusText().contains(error));

    // The folder replaced by a plain file: nothing can be written there.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    WriteFileData(folder, "x");
    ASSERT_TRUE(WaitUntil([&] { return w.dlg.lastStatusText().contains(error); }, 3000));
    EXPECT_EQ(w.dlg.lastStatusText().count(error), 1);
    EXPECT_TRUE(w.dlg.lastStatusText().endsWith(" Rejestracja do pliku co 00:00:01. " + error));
    testsupport::ProcessEventsFor(1200);  // still failing, still said once
    EXPECT_EQ(w.dlg.statusTextBox()->text().count(error), 1);
    EXPECT_TRUE(w.dlg.isRegistrationRunning());
    EXPECT_TRUE(prompts->messages.empty());  // no box per interval
    testsupport::Grab(&w.dlg, QStringLiteral("main_window_registration_failing"));

    // The folder back: lines resume and the message goes.
    ASSERT_TRUE(QFile::remove(folder));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(WaitUntil([&] { return !w.dlg.lastStatusText().contains(error); }, 3000));
    ASSERT_TRUE(WaitUntil([&] { return FileLines(path).size() >= 2; }, 3000));
    EXPECT_TRUE(FileLines(path)[1].endsWith("\t21,5") || FileLines(path)[1].endsWith("\t21.5"));
    testsupport::Grab(&w.dlg, QStringLiteral("main_window_registration"));
}

TEST(Registration, WindowClosedWhileAskingLeavesTheExistingFileAlone) {
    // The question box closed with the window (end of session, SIGTERM) gives
    // no answer: it must not count as "Nie", which would empty the file.
    struct ClosingPrompts : ScriptedPrompts {
        Ckv60xDlg* window = nullptr;
        Answer question(QWidget* parent, const QString& text) override {
            window->CloseWindow();
            questionAnswers = {false};  // even a "Nie" that comes too late
            return ScriptedPrompts::question(parent, text);
        }
    } prompts;
    Prompts::install(&prompts);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("wazne.csv"));
    WriteFileData(path, "dane z wczoraj\r\n");
    {
        Window w;
        prompts.window = &w.dlg;
        w.Settings([&](CLogFileDlg* d) {
            TurnOn(d);
            SetName(d, path);
            return true;
        });
        EXPECT_EQ(prompts.questions.size(), 1u);
        EXPECT_FALSE(w.dlg.registrationFileOpen());
    }
    Prompts::install(nullptr);
    EXPECT_EQ(ReadFileData(path), "dane z wczoraj\r\n");
}
