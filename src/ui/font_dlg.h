#pragma once

#include <QDialog>

class QLabel;
class CColorStatic;

// "Czcionki": the font of the display's value. A click on the sample runs the
// display's font picker; the sample always shows the display's value font.
class CFontDlg : public QDialog {
    Q_OBJECT
public:
    static inline const QString kSampleText = QStringLiteral("0123456789.");

    // display: not owned, must outlive the dialog.
    CFontDlg(CColorStatic* display, QWidget* parent = nullptr);

    QLabel* sample() const { return m_sample; }
    // Same as a click on the sample.
    void ChooseFont();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FitSample(const QFont& font);

    CColorStatic* m_display = nullptr;
    QLabel* m_sample = nullptr;
};

// The "Czcionki" menu command: remembers the display's font description, runs
// the dialog and gives the old description back to the display unless it ended
// with OK. Returns the dialog's result.
int RunFontsCommand(QWidget* parent, CColorStatic* display);
