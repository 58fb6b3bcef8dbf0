#include "support/scripted_prompts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPrinter>
#include <QThread>
#include <QTimer>
#include <memory>

void ScriptedPrompts::message(QWidget*, const QString& text, Icon icon) {
    messages.push_back({text, icon});
    log << QStringLiteral("message: ") + text;
}

Prompts::Answer ScriptedPrompts::question(QWidget*, const QString& text) {
    Question q{text, Answer::Dismissed, questionAnswers.empty()};
    if (!q.defaulted) {
        q.answer = questionAnswers.front().answer;
        questionAnswers.pop_front();
    }
    questions.push_back(q);
    log << QStringLiteral("question: ") + text;
    return q.answer;
}

std::optional<Prompts::FileChoice> ScriptedPrompts::nextFile(FileKind kind,
                                                             const FileRequest& req) {
    FileAsk ask{kind, req, fileAnswers.empty()};
    std::optional<FileChoice> answer;
    if (!ask.defaulted) {
        answer = fileAnswers.front();
        fileAnswers.pop_front();
    }
    fileRequests.push_back(ask);
    log << (kind == FileKind::Open ? QStringLiteral("open: ") : QStringLiteral("save: ")) +
               req.title;
    return answer;
}

std::optional<Prompts::FileChoice> ScriptedPrompts::openFile(QWidget*, const FileRequest& req) {
    return nextFile(FileKind::Open, req);
}

std::optional<Prompts::FileChoice> ScriptedPrompts::saveFile(QWidget*, const FileRequest& req) {
    return nextFile(FileKind::Save, req);
}

std::optional<QColor> ScriptedPrompts::color(QWidget*, const QColor& initial) {
    ColorAsk ask{initial, colorAnswers.empty()};
    std::optional<QColor> answer;
    if (!ask.defaulted) {
        answer = colorAnswers.front();
        colorAnswers.pop_front();
    }
    colorRequests.push_back(ask);
    log << QStringLiteral("color");
    return answer;
}

std::optional<QFont> ScriptedPrompts::font(QWidget*, const QFont& initial) {
    FontAsk ask{initial, fontAnswers.empty()};
    std::optional<QFont> answer;
    if (!ask.defaulted) {
        answer = fontAnswers.front();
        fontAnswers.pop_front();
    }
    fontRequests.push_back(ask);
    log << QStringLiteral("font");
    return answer;
}

bool ScriptedPrompts::print(QWidget*, QPrinter& printer, bool allowSelection, bool& selectionOnly) {
    PrintAsk ask{allowSelection, printAnswers.empty()};
    printRequests.push_back(ask);
    log << QStringLiteral("print");
    if (ask.defaulted) return false;
    PrintAnswer a = printAnswers.front();
    printAnswers.pop_front();
    if (!a.accept) return false;
    if (!a.pdfFile.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(a.pdfFile);
    }
    if (a.configure) a.configure(printer);
    selectionOnly = allowSelection && a.selectionOnly;
    return true;
}

ScopedPrompts::ScopedPrompts() : m_previous(&Prompts::instance()) {
    Prompts::install(&m_prompts);
}

ScopedPrompts::~ScopedPrompts() {
    // The Qt implementation is the default: restoring it means installing nullptr.
    Prompts::install(nullptr);
    if (m_previous != &Prompts::instance()) Prompts::install(m_previous);
}

namespace testsupport {

bool WaitUntil(const std::function<bool()>& cond, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() >= timeoutMs) return cond();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void ProcessEventsFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

void WhenShownImpl(std::function<bool()> tryOnce, int timeoutMs) {
    // Polls from the event loop (the modal dialog's own loop once it runs).
    auto* timer = new QTimer;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, tryOnce, started, timeoutMs]() {
        if (tryOnce() || started->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

}  // namespace testsupport
