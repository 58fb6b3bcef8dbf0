#include "journal/journal_restore.h"

#include "journal/journal_fields.h"
#include "meter/kv60x_driver.h"

RestoreRefusal CheckRestore(const JournalEntry& entry, const Ckv60xDriver& driver, bool serviceMode,
                            QString* message) {
    bool valueOk = false;
    if (entry.before) {
        switch (entry.target) {
            case JournalTarget::Characteristic:
                valueOk = CharacteristicFromValue(*entry.before, entry.slot).has_value();
                break;
            case JournalTarget::StartupDate:
                valueOk = StartupDateFromValue(*entry.before).has_value();
                break;
            case JournalTarget::SerialNumber:
                valueOk = SerialNumberFromValue(*entry.before).has_value();
                break;
            case JournalTarget::VersionLetter:
                valueOk = VersionLetterFromValue(*entry.before).has_value();
                break;
            case JournalTarget::ElectrodeCoefficient:
                valueOk = CoefficientFromValue(*entry.before).has_value();
                break;
        }
    }
    if (!valueOk) {
        *message = QStringLiteral(
                       "Wpis nr %1 nie zawiera wartości sprzed zmiany; nie ma czego przywrócić.")
                       .arg(entry.id);
        return RestoreRefusal::NoValue;
    }
    const bool service = entry.target != JournalTarget::Characteristic;
    if (!serviceMode && (service || JournalEntryProtected(entry))) {
        *message =
            service ? QStringLiteral("Przywrócenie wartości serwisowej wymaga trybu serwisowego.")
                    : QStringLiteral("Brak dostępu do charakterystyki - ochrona hasłem");
        return RestoreRefusal::NeedsService;
    }
    SerialNumberData sn;
    driver.GetSerialNumber(sn);
    if (!driver.IsConnected() || !sn.valid) {
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
    bool same = sn.serialNumber == *entry.meter.serial;
    if (!same && entry.target == JournalTarget::SerialNumber) {
        const auto given = SerialNumberFromValue(entry.after);
        same = given && *given == sn.serialNumber;
    }
    if (!same) {
        *message = QStringLiteral(
                       "Wpis nr %1 dotyczy miernika nr %2, a podłączony jest miernik nr %3. "
                       "Nic nie zapisano.")
                       .arg(entry.id)
                       .arg(*entry.meter.serial)
                       .arg(sn.serialNumber);
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

namespace {

RestoreResult From(const MeterJournal::Result& r, const QString& meterFailure) {
    RestoreResult out;
    out.ok = r.ok;
    out.entryId = r.entryId;
    out.journalBlocked = !r.attempted;
    if (!r.journalMessage.isEmpty())
        out.message = r.journalMessage;
    else if (!r.ok)
        out.message = meterFailure;
    return out;
}

// The slot as the meter holds it now; the answer must name the slot.
bool ReadSlotNow(Ckv60xDriver& driver, int slot, CharRecData* out) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        CharRecData rec;
        if (!driver.ReadCharacteristic(slot, rec)) return false;
        if (rec.valid && rec.REC_NUMBER == slot) {
            *out = rec;
            return true;
        }
    }
    return false;
}

}  // namespace

RestoreResult RestoreEntry(MeterJournal* journal, Ckv60xDriver& driver, const JournalEntry& e) {
    const QString failed = QStringLiteral("Nie można zapisać ustawień");
    const QByteArray value = e.before.value_or(QByteArray());
    switch (e.target) {
        case JournalTarget::Characteristic: {
            const auto rec = CharacteristicFromValue(value, e.slot);
            CharRecData now;
            if (!rec) break;
            if (!ReadSlotNow(driver, e.slot, &now)) {
                RestoreResult r;
                r.message = QStringLiteral("Nie można odczytać ustawień (charakterystyka nr %1)")
                                .arg(e.slot + 1);
                return r;
            }
            return From(JournaledCharacteristicWrite(journal, driver, &now, *rec, e.id), failed);
        }
        case JournalTarget::StartupDate:
            if (const auto d = StartupDateFromValue(value)) {
                return From(JournaledStartupDate(journal, driver, static_cast<uint16_t>(d->first),
                                                 static_cast<uint8_t>(d->second), e.id),
                            QStringLiteral("Nie można zapisać daty uruchamiania"));
            }
            break;
        case JournalTarget::SerialNumber:
            if (const auto n = SerialNumberFromValue(value)) {
                return From(JournaledSerialNumber(journal, driver, *n, e.id),
                            QStringLiteral("Nie można ustawić numeru seryjnego"));
            }
            break;
        case JournalTarget::VersionLetter:
            if (const auto c = VersionLetterFromValue(value)) {
                return From(JournaledVersionLetter(journal, driver, *c, e.id),
                            QStringLiteral("Nie można zapisać typu panelu"));
            }
            break;
        case JournalTarget::ElectrodeCoefficient:
            if (const auto k = CoefficientFromValue(value)) {
                // The value before comes from the meter itself, read now. Without
                // that read the driver would compare with an older value and might
                // skip the write as unchanged while the meter holds another one.
                ElectrodeCoefficient now;
                if (!driver.ReadElectrodeCoefficient(now) || !now.valid) {
                    RestoreResult r;
                    r.message = QStringLiteral("Nie można odczytać ustawień");
                    return r;
                }
                return From(JournaledElectrodeCoefficient(journal, driver, *k, e.id), failed);
            }
            break;
    }
    RestoreResult r;
    r.message = QStringLiteral("Wpis nr %1 nie zawiera wartości sprzed zmiany.").arg(e.id);
    return r;
}
