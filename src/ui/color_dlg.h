#pragma once

#include <QColor>
#include <QDialog>
#include <cstdint>

class CColorRect;
class CColorStatic;

// "Kolory": the background and text colour of the value display. Every choice is
// applied to the display at once; restoring on cancel is RunColorsCommand's job.
class CColorDlg : public QDialog {
    Q_OBJECT
public:
    // display: not owned, must outlive the dialog.
    CColorDlg(CColorStatic* display, QWidget* parent = nullptr);

    CColorRect* backgroundSwatch() const { return m_background; }
    CColorRect* textSwatch() const { return m_text; }

private:
    void OnBackgroundClicked();
    void OnTextClicked();

    CColorStatic* m_display = nullptr;
    CColorRect* m_background = nullptr;
    CColorRect* m_text = nullptr;
};

// The "Kolory" menu command: remembers the display's colours, runs the dialog
// and puts the colours back (and repaints) unless it ended with OK.
// Returns the dialog's result (QDialog::Accepted or Rejected).
int RunColorsCommand(QWidget* parent, CColorStatic* display);

// Colours as kv60x.ini keeps them: 0x00BBGGRR, red in the lowest byte.
QColor ColorFromRef(uint32_t ref);
uint32_t ColorToRef(const QColor& color);
