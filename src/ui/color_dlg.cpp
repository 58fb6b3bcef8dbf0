#include "ui/color_dlg.h"

#include <QGridLayout>
#include <QVBoxLayout>

#include "ui/color_rect.h"
#include "ui/color_static.h"
#include "ui/dialog_parts.h"

namespace {
// 51 x 14 dialog units at the usual dialog font.
constexpr QSize kSwatchSize(85, 23);
}  // namespace

CColorDlg::CColorDlg(CColorStatic* display, QWidget* parent) : QDialog(parent), m_display(display) {
    setWindowTitle(QStringLiteral("Kolory"));

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    auto* rowLabel = new QLabel(QStringLiteral("Wilgotność"), this);
    auto* bgHeading = new QLabel(QStringLiteral("Tło"), this);
    auto* textHeading = new QLabel(QStringLiteral("Tekst"), this);
    bgHeading->setAlignment(Qt::AlignCenter);
    textHeading->setAlignment(Qt::AlignCenter);

    m_background = new CColorRect(this);
    m_text = new CColorRect(this);
    m_background->setFixedSize(kSwatchSize);
    m_text->setFixedSize(kSwatchSize);
    m_background->setAccessibleName(QStringLiteral("Tło"));
    m_text->setAccessibleName(QStringLiteral("Tekst"));
    bgHeading->setBuddy(m_background);
    textHeading->setBuddy(m_text);

    grid->addWidget(dialogparts::IconLabel(this), 0, 0, 2, 1);
    grid->addWidget(bgHeading, 0, 2);
    grid->addWidget(textHeading, 0, 3);
    grid->addWidget(rowLabel, 1, 1);
    grid->addWidget(m_background, 1, 2);
    grid->addWidget(m_text, 1, 3);
    grid->setColumnStretch(4, 1);

    auto* buttons = dialogparts::OkCancel(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(dialogparts::Separator(this));
    layout->addWidget(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(390, 135)));

    if (m_display) {
        m_background->SetColor(m_display->backgroundColor());
        m_text->SetColor(m_display->textColor());
    }
    connect(m_background, &CColorRect::clicked, this, &CColorDlg::OnBackgroundClicked);
    connect(m_text, &CColorRect::clicked, this, &CColorDlg::OnTextClicked);
}

void CColorDlg::OnBackgroundClicked() {
    if (!m_display) return;
    m_display->ChooseBackgroundColor(this);
    m_background->SetColor(m_display->backgroundColor());
}

void CColorDlg::OnTextClicked() {
    if (!m_display) return;
    m_display->ChooseTextColor(this);
    m_text->SetColor(m_display->textColor());
}

int RunColorsCommand(QWidget* parent, CColorStatic* display) {
    if (!display) return QDialog::Rejected;
    const QColor background = display->backgroundColor();
    const QColor text = display->textColor();
    CColorDlg dlg(display, parent);
    const int result = dlg.exec();
    if (result != QDialog::Accepted) {
        display->setBackgroundColor(background);
        display->setTextColor(text);
        display->RefreshNow();
    }
    return result;
}

QColor ColorFromRef(uint32_t v) {
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                  static_cast<int>((v >> 16) & 0xFF));
}

uint32_t ColorToRef(const QColor& c) {
    return static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
           (static_cast<uint32_t>(c.blue()) << 16);
}
