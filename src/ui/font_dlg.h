#pragma once

#include <QDialog>

class QAbstractButton;
class CColorStatic;

// "Czcionki": the font of the display's value. A click on the sample (or Space,
// Enter, a screen reader's press) runs the display's font picker; the sample
// always shows the display's value font.
class CFontDlg : public QDialog {
    Q_OBJECT
public:
    static inline const QString kSampleText = QStringLiteral("0123456789.");

    // display: not owned, must outlive the dialog.
    CFontDlg(CColorStatic* display, QWidget* parent = nullptr);

    // The sample: a button showing kSampleText in the value font.
    QAbstractButton* sample() const { return m_sample; }
    // Same as a click on the sample.
    void ChooseFont();

private:
    void FitSample(const QFont& font);

    CColorStatic* m_display = nullptr;
    QAbstractButton* m_sample = nullptr;
};

// The "Czcionki" menu command: remembers the display's font description, runs
// the dialog and gives the old description back to the display unless it ended
// with OK. Returns the dialog's result.
int RunFontsCommand(QWidget* parent, CColorStatic* display);
