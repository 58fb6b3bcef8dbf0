#include "ui/qt_prompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace {

QMessageBox::Icon toQt(Prompts::Icon icon) {
    switch (icon) {
        case Prompts::Icon::Information:
            return QMessageBox::Information;
        case Prompts::Icon::Warning:
            return QMessageBox::Warning;
        case Prompts::Icon::Critical:
            return QMessageBox::Critical;
        case Prompts::Icon::Question:
            return QMessageBox::Question;
        case Prompts::Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QString title() {
    const QString t = QApplication::applicationDisplayName();
    return t.isEmpty() ? QStringLiteral("KV60X") : t;
}

// "Lista CSV (*.csv)" -> "csv"; empty unless the filter has one plain pattern.
QString FilterSuffix(const QString& filter) {
    const qsizetype open = filter.lastIndexOf(QLatin1String("(*."));
    if (open < 0 || !filter.endsWith(')')) return QString();
    const QString ext = filter.mid(open + 3, filter.size() - open - 4);
    if (ext.isEmpty() || ext.contains(' ') || ext.contains('*')) return QString();
    return ext;
}

std::optional<Prompts::FileChoice> runFileDialog(QWidget* parent, const Prompts::FileRequest& req,
                                                 QFileDialog::AcceptMode mode) {
    QFileDialog dlg(parent, req.title);
    dlg.setAcceptMode(mode);
    dlg.setNameFilters(req.filters);
    dlg.setDefaultSuffix(req.defaultSuffix);
    if (mode == QFileDialog::AcceptSave && req.filters.size() > 1) {
        // With several types to choose from, a name typed without extension
        // gets the one of the type selected, as the user expects; the request
        // or else the default suffix picks the type shown first.
        if (req.initialFilter >= 0 && req.initialFilter < req.filters.size()) {
            const QString& f = req.filters.at(req.initialFilter);
            dlg.selectNameFilter(f);
            if (!FilterSuffix(f).isEmpty()) dlg.setDefaultSuffix(FilterSuffix(f));
        } else {
            for (const QString& f : req.filters) {
                if (FilterSuffix(f) == req.defaultSuffix) dlg.selectNameFilter(f);
            }
        }
        QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg](const QString& f) {
            const QString suffix = FilterSuffix(f);
            if (!suffix.isEmpty()) dlg.setDefaultSuffix(suffix);
        });
    }
    if (mode == QFileDialog::AcceptSave) {
        dlg.setFileMode(QFileDialog::AnyFile);
        dlg.setOption(QFileDialog::DontConfirmOverwrite, !req.confirmOverwrite);
    } else {
        dlg.setFileMode(QFileDialog::ExistingFile);
    }
    if (!req.initialName.isEmpty() && !req.initialName.startsWith('*'))
        dlg.selectFile(req.initialName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    Prompts::FileChoice choice;
    choice.path = dlg.selectedFiles().first();
    choice.filterIndex = std::max(0, int(req.filters.indexOf(dlg.selectedNameFilter())));
    return choice;
}

// Qt's font picker offers face, style and size, and also underline, strike-out
// and a writing system, which the value display does not keep. Those are hidden
// so that nothing shown is ignored.
void HideFontEffects(QFontDialog& dlg) {
    for (QGroupBox* box : dlg.findChildren<QGroupBox*>()) {
        if (!box->findChildren<QCheckBox*>().isEmpty()) {
            box->hide();
        } else {
            // The sample shared its row's height with the effects; it keeps
            // room for a large font on its own.
            for (QLineEdit* sample : box->findChildren<QLineEdit*>()) sample->setMinimumHeight(84);
        }
    }
    for (QComboBox* combo : dlg.findChildren<QComboBox*>()) {
        combo->hide();
        for (QLabel* label : dlg.findChildren<QLabel*>()) {
            if (label->buddy() == combo) label->hide();
        }
    }
}

}  // namespace

void QtPrompts::message(QWidget* parent, const QString& text, Icon icon) {
    QMessageBox box(toQt(icon), title(), text, QMessageBox::Ok, parent);
    box.exec();
}

Prompts::Answer QtPrompts::question(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, title(), text, QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(QStringLiteral("Tak"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("Nie"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    // Qt would let Escape and the close button press "Nie". They press this
    // button instead, which is never shown, so that they read as no answer.
    QPushButton* dismiss = box.addButton(QMessageBox::Cancel);
    dismiss->hide();
    box.setEscapeButton(dismiss);
    box.exec();
    // Nothing clicked at all: the box was closed from outside (termination).
    if (box.clickedButton() == yes) return Answer::Yes;
    if (box.clickedButton() == no) return Answer::No;
    return Answer::Dismissed;
}

std::optional<Prompts::FileChoice> QtPrompts::openFile(QWidget* parent, const FileRequest& req) {
    return runFileDialog(parent, req, QFileDialog::AcceptOpen);
}

std::optional<Prompts::FileChoice> QtPrompts::saveFile(QWidget* parent, const FileRequest& req) {
    return runFileDialog(parent, req, QFileDialog::AcceptSave);
}

std::optional<QColor> QtPrompts::color(QWidget* parent, const QColor& initial) {
    const QColor c = QColorDialog::getColor(initial, parent);
    if (!c.isValid()) return std::nullopt;
    return c;
}

std::optional<QFont> QtPrompts::font(QWidget* parent, const QFont& initial) {
    QFontDialog dlg(parent);
    dlg.setOption(QFontDialog::DontUseNativeDialog);
    QFont start = initial;  // what cannot be chosen is not shown either
    start.setUnderline(false);
    start.setStrikeOut(false);
    dlg.setCurrentFont(start);
    HideFontEffects(dlg);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    QFont f = dlg.selectedFont();
    f.setUnderline(false);
    f.setStrikeOut(false);
    return f;
}

bool QtPrompts::print(QWidget* parent, QPrinter& printer, bool allowSelection,
                      bool& selectionOnly) {
    QPrintDialog dlg(&printer, parent);
    dlg.setOption(QAbstractPrintDialog::PrintSelection, allowSelection);
    dlg.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dlg.setMinMax(1, 1);
    if (dlg.exec() != QDialog::Accepted) return false;
    selectionOnly = dlg.printRange() == QAbstractPrintDialog::Selection;
    return true;
}
