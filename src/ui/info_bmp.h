#pragma once

#include <QLabel>
#include <QPixmap>

// The 24 x 24 status icon beside the main window's status line: information,
// warning or error. The picture is handed to the label only when the state
// changes, so the owner may call the Show... functions on every refresh.
class CInfoBmp : public QLabel {
    Q_OBJECT
public:
    enum State { None = 0, Information = 1, Warning = 2, Error = 3 };

    explicit CInfoBmp(QWidget* parent = nullptr);

    void ShowInformation() { SetState(Information); }
    void ShowWarning() { SetState(Warning); }
    void ShowError() { SetState(Error); }

    int state() const { return m_state; }
    // How many times a picture was handed to the label.
    int pictureChanges() const { return m_pictureChanges; }

    QSize sizeHint() const override { return {24, 24}; }

private:
    void SetState(State s);

    QPixmap m_information;
    QPixmap m_warning;
    QPixmap m_error;
    int m_state = None;
    int m_pictureChanges = 0;
};
