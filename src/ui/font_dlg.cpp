#include "ui/font_dlg.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QStyleOptionFocusRect>
#include <QStyleOptionFrame>
#include <QStylePainter>
#include <QVBoxLayout>

#include "ui/color_static.h"
#include "ui/dialog_parts.h"

namespace {

// 170 x 23 dialog units at the usual dialog font.
constexpr QSize kSampleSize(285, 38);

// The sample: its text centred in its own font inside a panel frame. A button,
// so that the keyboard and screen readers can press it like the mouse.
class FontSample : public QAbstractButton {
public:
    explicit FontSample(QWidget* parent) : QAbstractButton(parent) {
        setText(CFontDlg::kSampleText);
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::PointingHandCursor);
    }

    QSize sizeHint() const override { return minimumSize().expandedTo(kSampleSize); }

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter p(this);
        QStyleOptionFrame frame;
        frame.initFrom(this);
        frame.frameShape = QFrame::StyledPanel;
        frame.lineWidth = 1;
        p.drawControl(QStyle::CE_ShapedFrame, frame);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = rect().adjusted(3, 3, -3, -3);
            p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }

    void keyPressEvent(QKeyEvent* event) override {
        // Enter acts on the focused sample as on a focused push button.
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            click();
            return;
        }
        QAbstractButton::keyPressEvent(event);
    }
};

// The font as a screen reader names it: "DejaVu Sans, 50 pikseli, pogrubiona".
QString FontDescription(const QFont& font) {
    QString text = QStringLiteral("Wzór czcionki: %1").arg(font.family());
    if (font.pixelSize() > 0) {
        text += QStringLiteral(", %1 pikseli").arg(font.pixelSize());
    } else {
        text += QStringLiteral(", %1 punktów").arg(font.pointSizeF());
    }
    if (font.weight() >= QFont::DemiBold) text += QStringLiteral(", pogrubiona");
    if (font.italic()) text += QStringLiteral(", kursywa");
    return text;
}

}  // namespace

CFontDlg::CFontDlg(CColorStatic* display, QWidget* parent) : QDialog(parent), m_display(display) {
    setWindowTitle(QStringLiteral("Czcionki"));

    auto* rowLabel = new QLabel(QStringLiteral("Wilgotność"), this);
    m_sample = new FontSample(this);
    m_sample->setMinimumSize(kSampleSize);
    m_sample->setAccessibleName(QStringLiteral("Wilgotność"));
    rowLabel->setBuddy(m_sample);
    connect(m_sample, &QAbstractButton::clicked, this, &CFontDlg::ChooseFont);

    auto* row = new QHBoxLayout;
    row->addWidget(dialogparts::IconLabel(this));
    row->addWidget(rowLabel);
    row->addWidget(m_sample, 1);

    auto* buttons = dialogparts::OkCancel(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(dialogparts::Separator(this));
    layout->addWidget(buttons);

    if (m_display) FitSample(m_display->valueFont());
}

void CFontDlg::FitSample(const QFont& font) {
    // The sample grows with a large font so the whole text stays visible.
    m_sample->setFont(font);
    m_sample->setAccessibleDescription(FontDescription(font));
    const QFontMetrics fm(font);
    const QSize text(fm.horizontalAdvance(kSampleText) + 16, fm.height() + 8);
    m_sample->setMinimumSize(text.expandedTo(kSampleSize));
    adjustSize();
}

void CFontDlg::ChooseFont() {
    if (!m_display) return;
    m_display->ChooseFont(this);
    FitSample(m_display->valueFont());
    m_sample->update();
}

int RunFontsCommand(QWidget* parent, CColorStatic* display) {
    if (!display) return QDialog::Rejected;
    const FontDesc before = display->fontDesc();
    CFontDlg dlg(display, parent);
    const int result = dlg.exec();
    if (result != QDialog::Accepted) display->SetFontDesc(before);
    return result;
}
