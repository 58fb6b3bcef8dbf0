#include "ui/about_dlg.h"

#include <QGridLayout>
#include <QVBoxLayout>

#include "ui/dialog_parts.h"

namespace {

const QString kAuthorLine = QStringLiteral("Autor: Zespół programistów kv60x");
const QStringList kContactLines = {
    QStringLiteral("Producent wilgotnościomierzy KV-60x"),
    QStringLiteral("ul. Przykładowa 12"),
    QStringLiteral("00-950 Warszawa"),
    QStringLiteral("tel. +48 22 000 00 00"),
    QStringLiteral("faks +48 22 000 00 01"),
};
const QString kMailLine = QStringLiteral("e-mail: biuro@kv60x.example.com");

QLabel* TextLabel(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    l->setTextInteractionFlags(Qt::NoTextInteraction);
    return l;
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("O programie"));

    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(14);

    grid->addWidget(dialogparts::IconLabel(this), 0, 0, 2, 1);
    auto* program = TextLabel(kProgramLine, this);
    QFont bold = program->font();
    bold.setBold(true);
    program->setFont(bold);
    grid->addWidget(program, 0, 1);
    grid->addWidget(TextLabel(kAuthorLine, this), 1, 1);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    ok->setAutoDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    grid->addWidget(ok, 0, 2, Qt::AlignTop | Qt::AlignRight);

    auto* logo = new QLabel(this);
    logo->setPixmap(MakerLogo());
    logo->setFixedSize(126, 85);
    logo->setAccessibleName(QStringLiteral("Logo producenta"));
    grid->addWidget(logo, 2, 0, 2, 1, Qt::AlignBottom | Qt::AlignLeft);

    auto* contact = new QVBoxLayout;
    contact->setSpacing(1);
    for (const QString& line : kContactLines) contact->addWidget(TextLabel(line, this));
    grid->addLayout(contact, 2, 1, 1, 2);
    grid->addWidget(TextLabel(kMailLine, this), 3, 1, 1, 2, Qt::AlignTop);

    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void ShowAboutBox(QWidget* parent) {
    CAboutDlg dlg(parent);
    dlg.exec();
}
