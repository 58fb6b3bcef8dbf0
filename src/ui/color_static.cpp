#include "ui/color_static.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QTimerEvent>

#include "ui/accessibility.h"
#include "ui/mem_dc.h"
#include "ui/prompts.h"

namespace {

const QString kNoValueText = QStringLiteral("???");

constexpr int kCenteredLine = Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine;

// The display as screen readers meet it: a text named by its caption
// ("Temperatura") whose value and description are what it shows.
class ColorStaticAccessible : public QAccessibleWidget {
public:
    explicit ColorStaticAccessible(CColorStatic* display)
        : QAccessibleWidget(display, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value || t == QAccessible::Description) {
            return static_cast<const CColorStatic*>(widget())->SpokenText();
        }
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* ColorStaticFactory(const QString&, QObject* object) {
    if (auto* display = qobject_cast<CColorStatic*>(object)) {
        return new ColorStaticAccessible(display);
    }
    return nullptr;
}

}  // namespace

CColorStatic::CColorStatic(QWidget* parent) : QWidget(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(ColorStaticFactory);
        return true;
    }();
    (void)factoryInstalled;
    accessibility::ForgetInterface(this);
    // The caption font is fixed: Arial, 20 pixels cell height, Central European.
    FontDesc caption;
    caption.height = 20;
    caption.faceName = QStringLiteral("Arial");
    m_captionFont = caption.toQFont();
    // The owner normally recreates the value font from its stored description;
    // until then the default description is used rather than the dialog font.
    m_valueFont = m_fontDesc.toQFont();
    setFont(m_valueFont);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Wartość"));
    m_spokenText = SpokenText();
}

void CColorStatic::Repaint() {
    ++m_repaintRequests;
    update();
    AnnounceIfChanged();
}

void CColorStatic::AnnounceIfChanged() {
    const QString spoken = SpokenText();
    if (spoken == m_spokenText) return;
    m_spokenText = spoken;
    // AT-SPI (Orca) follows the description, UI automation the value.
    QAccessibleEvent description(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&description);
    QAccessibleValueChangeEvent value(this, spoken);
    QAccessible::updateAccessibility(&value);
}

void CColorStatic::RefreshNow() {
    Repaint();
}

void CColorStatic::SetValue(double value) {
    if (value != m_rawValue || m_noValue) {
        m_rawValue = value;
        m_noValue = false;
        Repaint();
    }
}

void CColorStatic::SetNoValue() {
    m_noValue = true;
    Repaint();
}

void CColorStatic::SetKinds(int sourceKind, int shownKind, bool units) {
    if (sourceKind == m_sourceKind && shownKind == m_shownKind && units == m_units) return;
    m_sourceKind = sourceKind;
    m_shownKind = shownKind;
    m_units = units;
    Repaint();
}

void CColorStatic::SetPrecision(bool precision) {
    if (precision == m_precision) return;
    m_precision = precision;
    Repaint();
}

void CColorStatic::SetCaption(const QString& caption) {
    if (caption == m_caption) return;
    m_caption = caption;
    setAccessibleName(caption.isEmpty() ? QStringLiteral("Wartość") : caption);
    Repaint();
}

void CColorStatic::SetFixedText(const QString& text) {
    if (text == m_fixedText) return;
    m_fixedText = text;
    Repaint();
}

void CColorStatic::SetMode(int mode) {
    m_mode = mode;
    AnnounceIfChanged();  // the picture waits for the next repaint, the reader need not
}

void CColorStatic::SetBlink(bool on) {
    if (on) {
        if (m_blinkTimerId == 0) m_blinkTimerId = startTimer(kBlinkIntervalMs);
        return;
    }
    if (m_blinkTimerId != 0) {
        killTimer(m_blinkTimerId);
        m_blinkTimerId = 0;
    }
    if (m_hiddenPhase) {
        m_hiddenPhase = false;
        Repaint();
    }
}

void CColorStatic::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_blinkTimerId || m_blinkTimerId == 0) {
        QWidget::timerEvent(event);
        return;
    }
    m_hiddenPhase = !m_hiddenPhase;
    Repaint();
}

void CColorStatic::SetFontDesc(const FontDesc& desc) {
    m_fontDesc = desc;
    m_fontDesc.setFaceName(desc.faceName);  // never longer than the record holds
    m_valueFont = m_fontDesc.toQFont();
    setFont(m_valueFont);
    Repaint();
}

void CColorStatic::ChooseFont(QWidget* pickerParent) {
    const std::optional<QFont> chosen =
        Prompts::instance().font(pickerParent ? pickerParent : window(), m_valueFont);
    if (chosen) {
        SetFontDesc(FontDesc::fromQFont(*chosen, m_fontDesc.charSet));
    } else {
        Repaint();
    }
}

void CColorStatic::ChooseBackgroundColor(QWidget* pickerParent) {
    const std::optional<QColor> c =
        Prompts::instance().color(pickerParent ? pickerParent : window(), m_backgroundColor);
    if (c && c->isValid()) m_backgroundColor = c->toRgb();
    Repaint();
}

void CColorStatic::ChooseTextColor(QWidget* pickerParent) {
    const std::optional<QColor> c =
        Prompts::instance().color(pickerParent ? pickerParent : window(), m_textColor);
    if (c && c->isValid()) m_textColor = c->toRgb();
    Repaint();
}

QString CColorStatic::ShownText() const {
    if (m_hiddenPhase) return {};
    return SpokenText();
}

QString CColorStatic::SpokenText() const {
    if (m_mode == 0) return m_fixedText;
    if (m_mode != 1) return {};
    if (m_noValue) return kNoValueText;
    const ValueText t =
        FormatValueText(m_sourceKind, m_shownKind, m_units, m_precision, m_rawValue);
    return t.visible ? t.text : QString();
}

int CColorStatic::CaptionBandHeight() const {
    // Measured as one centred line starting from (0, 0, 90, 20), like the
    // platform's text measuring; the band spans the whole width.
    const QFontMetrics fm(m_captionFont);
    const QRect measured = fm.boundingRect(QRect(0, 0, 90, 20), kCenteredLine, m_caption);
    return std::max(measured.bottom() + 1, fm.height());
}

void CColorStatic::paintEvent(QPaintEvent*) {
    ++m_paintCount;
    m_shownValue = ConvertKind(m_sourceKind, m_shownKind, m_rawValue);

    const QRect r = rect();
    QPainter screen(this);
    CMemDC mem(screen, r, m_backgroundColor);
    QPainter& p = mem.painter();
    p.fillRect(r, m_backgroundColor);

    // Caption: background colour on a band of the text colour.
    const QRect band(0, 0, r.width(), CaptionBandHeight());
    p.fillRect(band, m_textColor);
    p.setFont(m_captionFont);
    p.setPen(m_backgroundColor);
    p.drawText(band, kCenteredLine, m_caption);

    if (m_hiddenPhase) return;

    QRect area = r;
    area.setTop(band.bottom() + 1);
    p.setFont(m_valueFont);
    p.setPen(m_textColor);

    if (m_mode == 0) {
        p.drawText(area, kCenteredLine, m_fixedText);
        return;
    }
    if (m_mode != 1) return;
    if (m_noValue) {
        p.drawText(area, kCenteredLine, kNoValueText);
        return;
    }
    const ValueText t =
        FormatValueText(m_sourceKind, m_shownKind, m_units, m_precision, m_rawValue);
    if (!t.visible) return;
    if (!t.raisedTwo) {
        p.drawText(area, kCenteredLine, t.text);
        return;
    }
    // "W/m" followed by a raised "2": the main part starts where the whole text
    // would start when centred; the 2 is centred 3.5 px left of the whole
    // text's right end and raised by a quarter of the text height.
    const QFontMetrics fm(m_valueFont);
    const QRect measured = fm.boundingRect(QRect(), Qt::TextSingleLine, t.text);
    const int w = measured.width();
    const int h = fm.height();
    const int cx = (area.left() + area.right() + 1) / 2;
    const int cy = (area.top() + area.bottom() + 1) / 2;
    const QRect mainRect(QPoint(cx - w / 2, cy - h / 2), QPoint(cx + w / 2 - 1, cy + h / 2 - 1));
    p.drawText(mainRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip,
               t.mainPart);
    const QRect expRect(QPoint(cx + w / 2 - 200, cy - (6 * h) / 8),
                        QPoint(cx + w / 2 + 193 - 1, cy + (2 * h) / 8 - 1));
    p.drawText(expRect, kCenteredLine, QStringLiteral("2"));
}
