#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;
class QPrinter;

// Every message box, question, file chooser, colour/font picker and print dialog
// of the program goes through this interface. The program installs the Qt
// implementation (QtPrompts); tests install a scripted one that records what was
// shown and answers from a queue, so no test ever blocks on a modal dialog.
// All calls are made on the UI thread.
class Prompts {
public:
    enum class Icon { None, Information, Warning, Critical, Question };

    struct FileChoice {
        QString path;
        int filterIndex = 0;  // index into the filters passed in
    };

    struct FileRequest {
        QString title;
        QStringList filters;    // e.g. {"Rekord (*.kvr)"}
        QString defaultSuffix;  // appended when the name has none, e.g. "kvr"
        QString initialName;    // e.g. "*.kvr"
        // Save only: ask before an existing file is chosen. Off where the caller
        // asks its own question about an existing file afterwards.
        bool confirmOverwrite = true;
        // The filter shown first; -1: the one whose extension is defaultSuffix.
        int initialFilter = -1;
    };

    virtual ~Prompts() = default;

    // A message box with only an OK button.
    virtual void message(QWidget* parent, const QString& text, Icon icon = Icon::Warning) = 0;
    // The answer to a Yes/No question. Dismissed: no answer was given (Escape,
    // the close button, the program ending); every caller treats it as the
    // harmless choice, never the one that destroys something.
    enum class Answer { Yes, No, Dismissed };

    // A Yes/No question ("Tak"/"Nie").
    virtual Answer question(QWidget* parent, const QString& text) = 0;
    virtual std::optional<FileChoice> openFile(QWidget* parent, const FileRequest& req) = 0;
    // Asks before overwriting unless the request says not to; the folder must exist.
    virtual std::optional<FileChoice> saveFile(QWidget* parent, const FileRequest& req) = 0;
    virtual std::optional<QColor> color(QWidget* parent, const QColor& initial) = 0;
    virtual std::optional<QFont> font(QWidget* parent, const QFont& initial) = 0;
    // The print dialog: false when cancelled. selectionOnly is set when the user
    // chose to print the selected rows only (offered when allowSelection).
    virtual bool print(QWidget* parent, QPrinter& printer, bool allowSelection,
                       bool& selectionOnly) = 0;

    // The implementation in use; the Qt one unless a test installed another.
    static Prompts& instance();
    // Installs p (not owned; nullptr restores the Qt implementation).
    static void install(Prompts* p);
};
