#pragma once

#include <QDialog>

class QTextBrowser;

// The program's help: a short Polish description of every menu command, shown
// in a non-modal window. One window per parent; asking again raises it.
class HelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    QTextBrowser* browser() const { return m_browser; }

    // The "Pomoc" command: shows the help window of parent (creating it on first
    // use; it is deleted with parent or when closed) and returns it.
    static HelpWindow* ShowHelp(QWidget* parent);

private:
    QTextBrowser* m_browser = nullptr;
};
