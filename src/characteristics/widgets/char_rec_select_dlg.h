#pragma once

#include <QDialog>

class QLineEdit;
class MeterSession;

// "Odczyt charakterystyki wybranego materiału": asks for the 1-based number of
// the characteristic to open. The number must lie in 1..count when the
// session's meter reported its slot count, else in 1..150.
class CCharRecSelectDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCharRecSelectDlg(MeterSession* session, QWidget* parent = nullptr);

    // The number typed, valid after the dialog closed with OK.
    int Number() const { return m_number; }
    // The highest number accepted now.
    int UpperBound() const;

    QLineEdit* NumberEdit() const { return m_edit; }

public slots:
    void OnOk();

private:
    MeterSession* m_session = nullptr;
    QLineEdit* m_edit = nullptr;
    int m_number = 0;
};
