#include "session/restore.h"

#include <QDateTime>

#include "journal/journal_fields.h"
#include "session/meter_session.h"

namespace {

bool ValueReadable(const JournalEntry& entry) {
    if (!entry.before) return false;
    const QByteArray& v = *entry.before;
    switch (entry.target) {
        case JournalTarget::Characteristic:
            return CharacteristicFromValue(v, entry.slot).has_value();
        case JournalTarget::StartupDate:
            return StartupDateFromValue(v).has_value();
        case JournalTarget::SerialNumber:
            return SerialNumberFromValue(v).has_value();
        case JournalTarget::VersionLetter:
            return VersionLetterFromValue(v).has_value();
        case JournalTarget::ElectrodeCoefficient:
            return CoefficientFromValue(v).has_value();
    }
    return false;
}

// The bytes a write puts back for a stored image: the image itself, or for
// an erased slot (all 0xFF, which a write cannot make: its checksum is
// computed) the empty record an erased slot reads as.
QByteArray ImageToSend(const QByteArray& stored, int slot) {
    const auto image = ImageFromBytes(stored);
    if (!image || !CharImageErased(*image)) return stored;
    CharRecData empty;
    empty.REC_NUMBER = static_cast<uint8_t>(slot);
    MakeErasedSlotRecord(empty, static_cast<int32_t>(QDateTime::currentSecsSinceEpoch()));
    return ImageBytes(EncodeCharImage(empty));
}

}  // namespace

RestoreRefusal CheckRestore(const JournalEntry& entry, MeterSession& session, QString* message) {
    if (entry.unknown) {
        *message = QStringLiteral(
                       "Wpis nr %1 zapisał nowszy program (%2); ten program nie umie go "
                       "przywrócić.")
                       .arg(entry.id)
                       .arg(TargetText(entry));
        return RestoreRefusal::NoValue;
    }
    if (!ValueReadable(entry)) {
        *message = QStringLiteral(
                       "Wpis nr %1 nie zawiera wartości sprzed zmiany; nie ma czego przywrócić.")
                       .arg(entry.id);
        return RestoreRefusal::NoValue;
    }
    const bool service = entry.target != JournalTarget::Characteristic;
    if (!session.ServiceMode() && (service || JournalEntryProtected(entry))) {
        *message =
            service ? QStringLiteral("Przywrócenie wartości serwisowej wymaga trybu serwisowego.")
                    : QStringLiteral("Brak dostępu do charakterystyki - ochrona hasłem");
        return RestoreRefusal::NeedsService;
    }
    const MeterStamp now = session.Stamp();
    if (!session.IsConnected() || !now.serial) {
        *message = QStringLiteral("Brak komunikacji z urządzeniem.");
        return RestoreRefusal::NoMeter;
    }
    if (!entry.meter.serial) {
        *message = QStringLiteral(
                       "Wpis nr %1 nie podaje numeru seryjnego miernika; nie można sprawdzić, "
                       "czy to ten sam miernik.")
                       .arg(entry.id);
        return RestoreRefusal::OtherMeter;
    }
    bool same = *now.serial == *entry.meter.serial;
    if (!same && entry.target == JournalTarget::SerialNumber) {
        const auto given = SerialNumberFromValue(entry.after);
        same = given && *given == *now.serial;
    }
    if (!same) {
        *message = QStringLiteral(
                       "Wpis nr %1 dotyczy miernika nr %2, a podłączony jest miernik nr %3. "
                       "Nic nie zapisano.")
                       .arg(entry.id)
                       .arg(*entry.meter.serial)
                       .arg(*now.serial);
        return RestoreRefusal::OtherMeter;
    }
    message->clear();
    return RestoreRefusal::None;
}

QString RestoreQuestion(const JournalEntry& entry) {
    return QStringLiteral("Przywrócić w mierniku %1 wartość sprzed zmiany nr %2 (%3: %4)?")
        .arg(MeterText(entry.meter))
        .arg(entry.id)
        .arg(TargetText(entry.target, entry.slot))
        .arg(JournalValueText(entry.target, entry.before));
}

QString RestoreUnchangedText() {
    return QStringLiteral("Miernik ma już tę wartość; nic nie zapisano.");
}

RestoreResult RestoreEntry(WriteBatch& batch, MeterSession& session, const JournalEntry& e) {
    RestoreResult r;
    if (e.unknown || !ValueReadable(e)) {
        r.outcome.status = WriteStatus::Refused;
        r.message = QStringLiteral("Wpis nr %1 nie zawiera wartości sprzed zmiany.").arg(e.id);
        return r;
    }
    MeterWrite w;
    w.target = e.target;
    w.restoredFrom = e.id;
    if (e.target == JournalTarget::Characteristic) {
        // The value before of the new entry is what the slot holds now.
        CharRecData now;
        CharReadReport report;
        if (!session.ReadCharacteristic(e.slot, &now, &report)) {
            r.outcome.status = WriteStatus::MeterFailed;
            r.message = SlotReadFailureText(report);
            return r;
        }
        w.slot = e.slot;
        w.before = ImageBytes(report.image);
        w.skipUnchanged = true;
        // An erased slot restored onto an erased slot: nothing to do.
        const auto stored = ImageFromBytes(*e.before);
        if (stored && CharImageErased(*stored) && CharImageErased(report.image)) {
            r.outcome.status = WriteStatus::Unchanged;
            r.message = RestoreUnchangedText();
            return r;
        }
        w.after = ImageToSend(*e.before, e.slot);
    } else {
        w.after = *e.before;
    }
    r.outcome = batch.Write(w);
    if (r.outcome.status == WriteStatus::Unchanged) {
        r.message = RestoreUnchangedText();
    } else if (!r.outcome.ok()) {
        r.message = r.outcome.Text(WriteFailureText(e.target, e.slot));
    }
    return r;
}
