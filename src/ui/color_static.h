#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

#include "ui/font_desc.h"
#include "ui/value_text.h"

// The large value display: a caption band across the top and the value, its
// unit, a fixed text or "???" below it, in colours and a font chosen by the user.
// Painted off screen and copied in one block; setters repaint only on change.
class CColorStatic : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBlinkIntervalMs = 500;

    explicit CColorStatic(QWidget* parent = nullptr);

    // Shows a number; repaints only if it differs from the last one or if no
    // value was shown.
    void SetValue(double value);
    // Shows "???" in mode 1.
    void SetNoValue();
    void SetKinds(int sourceKind, int shownKind, bool units);
    void SetPrecision(bool precision);
    void SetCaption(const QString& caption);
    void SetFixedText(const QString& text);
    // 0 = fixed text, 1 = value, anything else = nothing below the band.
    // Does not repaint by itself.
    void SetMode(int mode);
    // On: hides and shows the value every 500 ms (one timer however often it is
    // called). Off: stops, and the value is visible again at once.
    void SetBlink(bool on);
    // Stores the description, recreates the value font from it and repaints.
    void SetFontDesc(const FontDesc& desc);

    // Pickers through Prompts; the display repaints afterwards in every case.
    // pickerParent: the window the picker belongs to (default: this one's window).
    void ChooseFont(QWidget* pickerParent = nullptr);
    void ChooseBackgroundColor(QWidget* pickerParent = nullptr);
    void ChooseTextColor(QWidget* pickerParent = nullptr);

    QColor backgroundColor() const { return m_backgroundColor; }
    QColor textColor() const { return m_textColor; }
    // Direct writes of the colours; the caller repaints (RefreshNow()).
    void setBackgroundColor(const QColor& c) { m_backgroundColor = c; }
    void setTextColor(const QColor& c) { m_textColor = c; }
    // Invalidates and repaints.
    void RefreshNow();

    const FontDesc& fontDesc() const { return m_fontDesc; }
    const QFont& valueFont() const { return m_valueFont; }
    const QFont& captionFont() const { return m_captionFont; }
    QString caption() const { return m_caption; }
    QString fixedText() const { return m_fixedText; }
    int mode() const { return m_mode; }
    double rawValue() const { return m_rawValue; }
    bool hasNoValue() const { return m_noValue; }
    int sourceKind() const { return m_sourceKind; }
    int shownKind() const { return m_shownKind; }
    bool units() const { return m_units; }
    bool precision() const { return m_precision; }
    bool isBlinking() const { return m_blinkTimerId != 0; }
    bool isHiddenPhase() const { return m_hiddenPhase; }

    // What is drawn below the caption band right now (empty when nothing is).
    QString ShownText() const;
    // What the display shows, blinking aside: the text screen readers get as the
    // display's accessible value and description ("21.37 °C", "???").
    QString SpokenText() const;
    // Height of the caption band for the current caption font.
    int CaptionBandHeight() const;

    // Number of repaint requests made so far (for tests and diagnostics).
    int repaintRequests() const { return m_repaintRequests; }
    int paintCount() const { return m_paintCount; }

    QSize sizeHint() const override { return {300, 120}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void Repaint();
    // Tells screen readers when the spoken text changed (not on every blink).
    void AnnounceIfChanged();

    QColor m_textColor{0, 64, 128};
    QColor m_backgroundColor{202, 228, 255};
    QString m_caption;
    QString m_fixedText;
    int m_mode = 1;
    double m_rawValue = 0.0;
    double m_shownValue = 0.0;
    bool m_noValue = true;
    int m_sourceKind = 0;
    int m_shownKind = 0;
    bool m_units = true;
    bool m_precision = false;
    int m_blinkTimerId = 0;  // 0: not blinking
    bool m_hiddenPhase = false;
    FontDesc m_fontDesc{25, 0, false, QStringLiteral("Arial"), FontDesc::kCentralEuropeanCharSet};
    QFont m_valueFont;
    QFont m_captionFont;
    int m_repaintRequests = 0;
    int m_paintCount = 0;
    QString m_spokenText;  // as last announced
};
