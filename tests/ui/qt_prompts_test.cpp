// The real Qt prompts, driven as a user would: a question left without an
// answer (Escape, the close button, closed from outside) is no answer, never
// "Nie"; the save chooser can take an existing file without Qt's own question.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "support/scripted_prompts.h"
#include "ui/grab_util.h"
#include "ui/qt_prompts.h"

using testsupport::WhenShown;

namespace {

// Closes whatever dialog is still open after a while, and says so: a dialog
// that the test's action did not end must fail the test, not hang it.
struct Watchdog {
    explicit Watchdog(int ms = 5000) {
        QTimer::singleShot(ms, &guard, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) {
                    fired = true;
                    d->done(QDialog::Rejected);
                }
            }
        });
    }
    QObject guard;
    bool fired = false;
};

Prompts::Answer Ask(const std::function<void(QMessageBox*)>& act) {
    QtPrompts prompts;
    Watchdog dog;
    WhenShown<QMessageBox>([act](QMessageBox* box) { act(box); });
    const Prompts::Answer answer =
        prompts.question(nullptr, QStringLiteral("Na pewno wyciąć charakterystykę nr 1?"));
    EXPECT_FALSE(dog.fired) << "the question stayed open";
    return answer;
}

// What the chooser's "Save" button does.
void Save(QFileDialog* d) {
    QMetaObject::invokeMethod(d, "accept");
}

QAbstractButton* ButtonWithText(QMessageBox* box, const QString& text) {
    for (QAbstractButton* b : box->buttons()) {
        if (b->text() == text) return b;
    }
    return nullptr;
}

}  // namespace

TEST(QtPromptsQuestion, OnlyTakAndNieAnswerEverythingElseIsNoAnswer) {
    QStringList visible;
    EXPECT_EQ(Ask([&](QMessageBox* box) {
                  for (QAbstractButton* b : box->buttons()) {
                      if (b->isVisible()) visible << b->text();
                  }
                  testsupport::Grab(box, QStringLiteral("question_box"));
                  ButtonWithText(box, QStringLiteral("Tak"))->click();
              }),
              Prompts::Answer::Yes);
    visible.sort();
    EXPECT_EQ(visible, (QStringList{QStringLiteral("Nie"), QStringLiteral("Tak")}));

    EXPECT_EQ(Ask([](QMessageBox* box) { ButtonWithText(box, QStringLiteral("Nie"))->click(); }),
              Prompts::Answer::No);
    // Enter takes the first button, as the platform's Yes/No boxes do.
    EXPECT_EQ(Ask([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); }),
              Prompts::Answer::Yes);

    // Escape, the window's close button, and a close from outside (the
    // program ending) are no answer at all.
    EXPECT_EQ(Ask([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }),
              Prompts::Answer::Dismissed);
    EXPECT_EQ(Ask([](QMessageBox* box) { box->close(); }), Prompts::Answer::Dismissed);
    EXPECT_EQ(Ask([](QMessageBox* box) { box->done(QDialog::Rejected); }),
              Prompts::Answer::Dismissed);
}

TEST(QtPromptsSaveFile, ExistingFileWithoutQtsQuestionAndTheFirstFilterShown) {
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("pomiary.csv"));
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("dane\r\n");
    }
    Prompts::FileRequest req;
    req.title = QStringLiteral("Wybierz plik raportu");
    req.filters = {QStringLiteral("Plik tekstowy (*.txt)"), QStringLiteral("Lista CSV (*.csv)")};
    req.defaultSuffix = QStringLiteral("csv");
    req.initialName = existing;
    req.confirmOverwrite = false;
    req.initialFilter = 0;

    QtPrompts prompts;
    // Counts the message boxes that show up (Qt's overwrite question) and
    // answers each with Yes.
    struct BoxCounter : QObject {
        int shown = 0;
        bool eventFilter(QObject* watched, QEvent* event) override {
            auto* box = qobject_cast<QMessageBox*>(watched);
            if (box && event->type() == QEvent::Show) {
                ++shown;
                QMetaObject::invokeMethod(
                    box,
                    [box] {
                        if (QAbstractButton* yes = box->button(QMessageBox::Yes)) yes->click();
                    },
                    Qt::QueuedConnection);
            }
            return false;
        }
    } boxes;
    qApp->installEventFilter(&boxes);

    // An existing file: taken as it is, no question from Qt.
    {
        Watchdog dog;
        QString shownFilter;
        WhenShown<QFileDialog>([&](QFileDialog* d) {
            shownFilter = d->selectedNameFilter();
            Save(d);
        });
        const auto choice = prompts.saveFile(nullptr, req);
        EXPECT_FALSE(dog.fired);
        ASSERT_TRUE(choice);
        EXPECT_EQ(choice->path, existing);
        EXPECT_EQ(shownFilter, req.filters[0]);
        EXPECT_EQ(boxes.shown, 0);
    }

    // A bare name typed with the first filter shown gets its extension.
    {
        Watchdog dog;
        req.initialName = dir.filePath(QStringLiteral("nowy"));
        WhenShown<QFileDialog>([&](QFileDialog* d) { Save(d); });
        const auto choice = prompts.saveFile(nullptr, req);
        ASSERT_TRUE(choice);
        EXPECT_EQ(choice->path, dir.filePath(QStringLiteral("nowy.txt")));
        EXPECT_EQ(choice->filterIndex, 0);
    }

    // Where a caller relies on it, Qt's question still comes.
    {
        Watchdog dog;
        req.initialName = existing;
        req.confirmOverwrite = true;
        WhenShown<QFileDialog>([&](QFileDialog* d) { Save(d); });
        const auto choice = prompts.saveFile(nullptr, req);
        EXPECT_FALSE(dog.fired);
        ASSERT_TRUE(choice);
        EXPECT_EQ(boxes.shown, 1);
    }
}
