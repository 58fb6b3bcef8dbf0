#include "service/widgets/meter_dialog.h"

#include <QLabel>
#include <QStringList>
#include <memory>

#include "session/meter_session.h"
#include "ui/device_operation.h"
#include "ui/prompts.h"

MeterDialog::MeterDialog(MeterSession* session, QWidget* parent)
    : QDialog(parent), m_session(session) {}

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

bool MeterDialog::StartWrites(DeviceOperation* op, std::vector<MeterWrite> writes) {
    if (writes.empty()) return false;
    // Written by the worker; read on the UI thread only after it ended.
    struct Result {
        QString failure;
        QStringList notes;  // what the journal could not record of the writes that succeeded
    };
    auto result = std::make_shared<Result>();
    const QString firstFailure = WriteFailureText(writes.front().target, writes.front().slot);
    // One step: the batch is opened, used and closed on the worker thread.
    DeviceOperation::Step step{
        [session = m_session, writes = std::move(writes), result] {
            if (!session) return false;
            WriteBatch batch(*session);
            int reached = 0;
            for (const MeterWrite& write : writes) {
                const WriteOutcome outcome = batch.Write(write);
                if (!outcome.ok()) {
                    QStringList text = result->notes;
                    // An earlier write of the batch reached the meter: never
                    // say that nothing was written.
                    text.prepend(outcome.status == WriteStatus::JournalBlocked && reached > 0
                                     ? JournalStoppedPassText(reached,
                                                              static_cast<int>(writes.size()),
                                                              outcome.message)
                                     : outcome.Text(WriteFailureText(write.target, write.slot)));
                    result->failure = text.join(QLatin1Char('\n'));
                    return false;
                }
                if (outcome.sent()) ++reached;
                if (!outcome.message.isEmpty()) result->notes << outcome.message;
            }
            return true;
        },
        firstFailure,
        [result, firstFailure] {
            return result->failure.isEmpty() ? firstFailure : result->failure;
        }};
    return op->Start(
        {std::move(step)},
        [this, result] {
            for (const QString& note : result->notes) ShowMessage(note);
        },
        true);
}

QLabel* servicedialogs::LabelFor(const QString& text, QWidget* control, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(control);
    control->setAccessibleName(text);
    return label;
}
