#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <vector>

#include "ui/prompts.h"

class QPrinter;

// Prompts for tests: records every request and answers from queues the test
// fills. An empty queue answers "cancel" (a question: Dismissed, as Escape
// would) and records that it did, so a test never blocks on a modal dialog.
class ScriptedPrompts : public Prompts {
public:
    struct Message {
        QString text;
        Icon icon = Icon::None;
    };
    // A queued answer to a question: true (Tak), false (Nie) or an Answer.
    struct QuestionAnswer {
        QuestionAnswer(bool yes) : answer(yes ? Answer::Yes : Answer::No) {}  // NOLINT
        QuestionAnswer(Answer a) : answer(a) {}                               // NOLINT
        Answer answer;
    };
    struct Question {
        QString text;
        Answer answer = Answer::Dismissed;
        bool defaulted = false;  // the queue was empty
    };
    enum class FileKind { Open, Save };
    struct FileAsk {
        FileKind kind = FileKind::Open;
        FileRequest request;
        bool defaulted = false;
    };
    struct ColorAsk {
        QColor initial;
        bool defaulted = false;
    };
    struct FontAsk {
        QFont initial;
        bool defaulted = false;
    };
    struct PrintAnswer {
        bool accept = false;
        bool selectionOnly = false;
        // When not empty, the printer is set to PDF output into this file.
        QString pdfFile;
        // Further settings applied to the printer before returning.
        std::function<void(QPrinter&)> configure;
    };
    struct PrintAsk {
        bool allowSelection = false;
        bool defaulted = false;
    };

    // Answers, consumed in order.
    std::deque<QuestionAnswer> questionAnswers;
    std::deque<std::optional<FileChoice>> fileAnswers;  // shared by open and save
    std::deque<std::optional<QColor>> colorAnswers;
    std::deque<std::optional<QFont>> fontAnswers;
    std::deque<PrintAnswer> printAnswers;

    // What was asked, in order.
    std::vector<Message> messages;
    std::vector<Question> questions;
    std::vector<FileAsk> fileRequests;
    std::vector<ColorAsk> colorRequests;
    std::vector<FontAsk> fontRequests;
    std::vector<PrintAsk> printRequests;
    // Every request of any kind, as "message: ...", "question: ...", "open: title",
    // "save: title", "color", "font", "print" (handy for order checks).
    QStringList log;

    void message(QWidget* parent, const QString& text, Icon icon) override;
    Answer question(QWidget* parent, const QString& text) override;
    std::optional<FileChoice> openFile(QWidget* parent, const FileRequest& req) override;
    std::optional<FileChoice> saveFile(QWidget* parent, const FileRequest& req) override;
    std::optional<QColor> color(QWidget* parent, const QColor& initial) override;
    std::optional<QFont> font(QWidget* parent, const QFont& initial) override;
    bool print(QWidget* parent, QPrinter& printer, bool allowSelection,
               bool& selectionOnly) override;

    // Convenience for queueing a file answer.
    void answerFile(const QString& path, int filterIndex = 0) {
        fileAnswers.push_back(FileChoice{path, filterIndex});
    }

private:
    std::optional<FileChoice> nextFile(FileKind kind, const FileRequest& req);
};

// Answers print as their names in test failures.
inline void PrintTo(Prompts::Answer a, std::ostream* os) {
    *os << (a == Prompts::Answer::Yes ? "Yes" : a == Prompts::Answer::No ? "No" : "Dismissed");
}

// Installs a ScriptedPrompts for the lifetime of the guard and restores the
// previously installed implementation (the Qt one by default) afterwards.
class ScopedPrompts {
public:
    ScopedPrompts();
    ~ScopedPrompts();
    ScopedPrompts(const ScopedPrompts&) = delete;
    ScopedPrompts& operator=(const ScopedPrompts&) = delete;

    ScriptedPrompts& operator*() { return m_prompts; }
    ScriptedPrompts* operator->() { return &m_prompts; }

private:
    ScriptedPrompts m_prompts;
    Prompts* m_previous = nullptr;
};

namespace testsupport {

// Processes events until cond() holds or timeoutMs has passed; returns cond().
bool WaitUntil(const std::function<bool()>& cond, int timeoutMs = 5000);

// Processes events for about ms milliseconds.
void ProcessEventsFor(int ms);

// Runs action on the first visible top-level widget of type T once it shows up
// (e.g. a modal dialog started right after this call). Gives up after
// timeoutMs; the action then never runs.
template <typename T>
void WhenShown(std::function<void(T*)> action, int timeoutMs = 5000);

void WhenShownImpl(std::function<bool()> tryOnce, int timeoutMs);

}  // namespace testsupport

#include <QApplication>

template <typename T>
void testsupport::WhenShown(std::function<void(T*)> action, int timeoutMs) {
    WhenShownImpl(
        [action]() {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) {
                    action(t);
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
}
