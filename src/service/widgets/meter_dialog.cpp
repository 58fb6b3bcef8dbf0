#include "service/widgets/meter_dialog.h"

#include <QLabel>

#include "ui/prompts.h"

MeterDialog::MeterDialog(Ckv60xDriver* driver, QWidget* parent)
    : QDialog(parent), m_driver(driver) {}

int MeterDialog::exec() {
    if (!InitDialog()) {
        done(QDialog::Rejected);
        return QDialog::Rejected;
    }
    return QDialog::exec();
}

void MeterDialog::open() {
    if (!InitDialog()) {
        done(QDialog::Rejected);
        return;
    }
    QDialog::open();
}

void MeterDialog::ShowMessage(const QString& text) {
    QWidget* over = isVisible() || !parentWidget() ? static_cast<QWidget*>(this) : parentWidget();
    Prompts::instance().message(over, text, Prompts::Icon::Warning);
}

QString MeterDialog::CannotReadText() {
    return QStringLiteral("Nie można odczytać ustawień");
}

QLabel* servicedialogs::LabelFor(const QString& text, QWidget* control, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(control);
    control->setAccessibleName(text);
    return label;
}
