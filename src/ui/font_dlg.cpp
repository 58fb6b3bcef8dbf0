#include "ui/font_dlg.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "ui/color_static.h"
#include "ui/dialog_parts.h"

namespace {
// 170 x 23 dialog units at the usual dialog font.
constexpr QSize kSampleSize(285, 38);
}  // namespace

CFontDlg::CFontDlg(CColorStatic* display, QWidget* parent) : QDialog(parent), m_display(display) {
    setWindowTitle(QStringLiteral("Czcionki"));

    auto* rowLabel = new QLabel(QStringLiteral("Wilgotność"), this);
    m_sample = new QLabel(kSampleText, this);
    m_sample->setAlignment(Qt::AlignCenter);
    m_sample->setMinimumSize(kSampleSize);
    m_sample->setFrameShape(QFrame::StyledPanel);
    m_sample->setFocusPolicy(Qt::StrongFocus);
    m_sample->setCursor(Qt::PointingHandCursor);
    m_sample->setAccessibleName(QStringLiteral("Wilgotność"));
    m_sample->setAccessibleDescription(QStringLiteral("Wzór czcionki; kliknij, aby zmienić"));
    m_sample->installEventFilter(this);
    rowLabel->setBuddy(m_sample);

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

bool CFontDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_sample) {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            ChooseFont();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
                ChooseFont();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

int RunFontsCommand(QWidget* parent, CColorStatic* display) {
    if (!display) return QDialog::Rejected;
    const FontDesc before = display->fontDesc();
    CFontDlg dlg(display, parent);
    const int result = dlg.exec();
    if (result != QDialog::Accepted) display->SetFontDesc(before);
    return result;
}
