#pragma once

#include <QObject>

class QWidget;

// Closes a window the normal way while dialogs are open on top of it
// (termination signals, the end of the desktop session): popups close, every
// visible dialog and message box ends cancelled, so that each nested run
// returns, and a dialog that shows afterwards (a command going on after its
// dialog was cancelled) is cancelled as soon as it shows. Then the window
// itself closes.
class DialogCloser : public QObject {
    Q_OBJECT
public:
    explicit DialogCloser(QWidget* window);
    // May be called again: whatever opened since the last call goes too.
    void CloseAll();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window = nullptr;
    bool m_filtering = false;
};
