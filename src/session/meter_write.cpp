#include "session/meter_write.h"

#include <cmath>
#include <cstring>

#include "journal/journal_db.h"
#include "meter/kv60x_driver.h"
#include "meter/meter_float.h"
#include "session/meter_session.h"
#include "session/service_limits.h"

namespace {

// How each target is written: what the meter holds now as the program knows
// it, the meter's limits, and the command that sends a stored value.
struct TargetRule {
    JournalTarget target;
    // The value the meter holds, in its stored form; nullopt when unknown.
    // Characteristics take theirs from the caller (the bytes it read).
    std::optional<QByteArray> (*held)(Ckv60xDriver&);
    // Empty when the stored value may be sent, otherwise why not.
    QString (*check)(const MeterWrite&);
    bool (*send)(Ckv60xDriver&, const MeterWrite&);
    // After a write the meter did not confirm: what it holds now, read again
    // (nullopt when it does not answer).
    std::optional<QByteArray> (*readBack)(Ckv60xDriver&, const MeterWrite&);
};

QString NotAValue() {
    return QStringLiteral("Nieprawidłowa wartość do zapisu.");
}

std::optional<QByteArray> HeldDate(Ckv60xDriver& d) {
    StartupDate now;
    d.GetStartupDate(now);
    if (!now.valid) return std::nullopt;
    return StartupDateValue(now.year, now.month);
}

QString CheckDate(const MeterWrite& w) {
    const auto v = StartupDateFromValue(w.after);
    return v ? CheckStartupDate(v->first, v->second) : NotAValue();
}

std::optional<QByteArray> ReadDate(Ckv60xDriver& d, const MeterWrite&) {
    return d.ReadStartupDate() ? HeldDate(d) : std::nullopt;
}

bool SendDate(Ckv60xDriver& d, const MeterWrite& w) {
    const auto v = StartupDateFromValue(w.after);
    return v &&
           d.WriteStartupDate(static_cast<uint16_t>(v->first), static_cast<uint8_t>(v->second));
}

std::optional<QByteArray> HeldSerial(Ckv60xDriver& d) {
    SerialNumberData now;
    d.GetSerialNumber(now);
    if (!now.valid) return std::nullopt;
    return SerialNumberValue(now.serialNumber);
}

QString CheckSerial(const MeterWrite& w) {
    const auto v = SerialNumberFromValue(w.after);
    return v ? CheckSerialNumber(*v) : NotAValue();
}

std::optional<QByteArray> ReadSerial(Ckv60xDriver& d, const MeterWrite&) {
    return d.ReadSerialNumber() ? HeldSerial(d) : std::nullopt;
}

bool SendSerial(Ckv60xDriver& d, const MeterWrite& w) {
    const auto v = SerialNumberFromValue(w.after);
    return v && d.WriteSerialNumber(*v);
}

std::optional<QByteArray> HeldLetter(Ckv60xDriver& d) {
    MeterIdentity now;
    d.GetIdentity(now);
    if (!now.valid) return std::nullopt;
    return VersionLetterValue(now.versionLetter);
}

QString CheckLetter(const MeterWrite& w) {
    const auto v = VersionLetterFromValue(w.after);
    return v ? CheckVersionLetter(*v) : NotAValue();
}

std::optional<QByteArray> ReadLetter(Ckv60xDriver& d, const MeterWrite&) {
    return d.ReadIdentity() ? HeldLetter(d) : std::nullopt;
}

bool SendLetter(Ckv60xDriver& d, const MeterWrite& w) {
    const auto v = VersionLetterFromValue(w.after);
    return v && d.WriteVersionLetter(*v);
}

// The value before comes from the meter itself, read now: the program holds
// it only while a dialog that read it is open. When the meter does not answer,
// the value the driver last read (a dialog's read, a read-back) stands in.
std::optional<QByteArray> HeldCoefficient(Ckv60xDriver& d) {
    ElectrodeCoefficient now;
    if (d.ReadElectrodeCoefficient(now) && now.valid) return CoefficientValue(now.coefficient);
    d.GetElectrodeCoefficient(now);
    if (now.valid) return CoefficientValue(now.coefficient);
    return std::nullopt;
}

std::optional<QByteArray> ReadCoefficient(Ckv60xDriver& d, const MeterWrite&) {
    ElectrodeCoefficient now;
    if (!d.ReadElectrodeCoefficient(now) || !now.valid) return std::nullopt;
    return CoefficientValue(now.coefficient);
}

QString CheckCoefficient(const MeterWrite& w) {
    return CoefficientFromValue(w.after) ? QString() : NotAValue();
}

bool SendCoefficient(Ckv60xDriver& d, const MeterWrite& w) {
    const auto v = CoefficientFromValue(w.after);
    return v && d.WriteElectrodeCoefficient(*v);
}

QString CheckCharacteristic(const MeterWrite& w) {
    if (w.slot < 0 || w.slot > 254 || !ImageFromBytes(w.after)) return NotAValue();
    return QString();
}

// The bytes as they stand: restore gives back exactly what was read.
bool SendCharacteristic(Ckv60xDriver& d, const MeterWrite& w) {
    const auto image = ImageFromBytes(w.after);
    return image && d.WriteCharacteristicImage(w.slot, *image);
}

// The slot's bytes as the meter sends them; the checksum byte is computed by
// the sender, so only the 255 bytes before it are compared.
std::optional<QByteArray> ReadSlotBack(Ckv60xDriver& d, const MeterWrite& w) {
    CharRecData rec;
    CharReadReport report;
    if (!d.ReadCharacteristic(w.slot, rec, &report)) return std::nullopt;
    return ImageBytes(report.image);
}

const TargetRule kRules[] = {
    {JournalTarget::Characteristic, nullptr, CheckCharacteristic, SendCharacteristic, ReadSlotBack},
    {JournalTarget::StartupDate, HeldDate, CheckDate, SendDate, ReadDate},
    {JournalTarget::SerialNumber, HeldSerial, CheckSerial, SendSerial, ReadSerial},
    {JournalTarget::VersionLetter, HeldLetter, CheckLetter, SendLetter, ReadLetter},
    {JournalTarget::ElectrodeCoefficient, HeldCoefficient, CheckCoefficient, SendCoefficient,
     ReadCoefficient},
};

// Whether the meter holds `after`, as read back. A coefficient is held in the
// meter's single precision: 1.3 reads back as 1.29999995, which is the value
// written, so the two are compared in the form the meter is sent.
bool HoldsValue(const MeterWrite& w, const QByteArray& now) {
    if (w.target == JournalTarget::ElectrodeCoefficient) {
        const auto held = CoefficientFromValue(now);
        const auto sent = CoefficientFromValue(w.after);
        return held && sent && EncodeMeterFloat(*held) == EncodeMeterFloat(*sent);
    }
    if (w.target != JournalTarget::Characteristic) return now == w.after;
    return now.left(255) == w.after.left(255);
}

const TargetRule& RuleFor(JournalTarget target) {
    for (const TargetRule& r : kRules) {
        if (r.target == target) return r;
    }
    return kRules[0];
}

}  // namespace

QByteArray ImageBytes(const CharImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.data()), static_cast<int>(image.size()));
}

std::optional<CharImage> ImageFromBytes(const QByteArray& bytes) {
    CharImage image{};
    if (bytes.size() != static_cast<int>(image.size())) return std::nullopt;
    std::memcpy(image.data(), bytes.constData(), image.size());
    return image;
}

MeterWrite MeterWrite::Characteristic(int slot, const CharImage& image,
                                      const std::optional<QByteArray>& before) {
    MeterWrite w;
    w.target = JournalTarget::Characteristic;
    w.slot = slot;
    w.after = ImageBytes(image);
    w.before = before;
    return w;
}

MeterWrite MeterWrite::Characteristic(const CharRecData& rec,
                                      const std::optional<QByteArray>& before) {
    return Characteristic(rec.REC_NUMBER, EncodeCharImage(rec), before);
}

MeterWrite MeterWrite::StartupDate(int year, int month) {
    MeterWrite w;
    w.target = JournalTarget::StartupDate;
    w.after = StartupDateValue(year, month);
    return w;
}

MeterWrite MeterWrite::SerialNumber(int serial) {
    MeterWrite w;
    w.target = JournalTarget::SerialNumber;
    w.after = SerialNumberValue(serial);
    return w;
}

MeterWrite MeterWrite::VersionLetter(char letter) {
    MeterWrite w;
    w.target = JournalTarget::VersionLetter;
    w.after = VersionLetterValue(letter);
    return w;
}

MeterWrite MeterWrite::ElectrodeCoefficient(double coefficient) {
    MeterWrite w;
    w.target = JournalTarget::ElectrodeCoefficient;
    w.after = CoefficientValue(coefficient);
    return w;
}

QString WriteFailureText(JournalTarget target, int slot) {
    switch (target) {
        case JournalTarget::Characteristic:
            return QStringLiteral("Nie można zapisać ustawień (charakterystyka nr %1)")
                .arg(slot + 1);
        case JournalTarget::StartupDate:
            return QStringLiteral("Nie można zapisać daty uruchamiania");
        case JournalTarget::SerialNumber:
            return QStringLiteral("Nie można ustawić numeru seryjnego");
        case JournalTarget::VersionLetter:
            return QStringLiteral("Nie można zapisać typu panelu");
        case JournalTarget::ElectrodeCoefficient:
            break;
    }
    return QStringLiteral("Nie można zapisać ustawień");
}

QString CheckWriteLimits(const MeterWrite& write) {
    return RuleFor(write.target).check(write);
}

QString JournalBlockedText(const QString& why) {
    return why + QStringLiteral(" Nic nie zapisano do miernika.");
}

QString JournalStoppedPassText(int written, int total, const QString& why) {
    return QStringLiteral("Zapisano %1 z %2; dziennik: %3").arg(written).arg(total).arg(why);
}

QString WriteOutcome::Text(const QString& meterFailure) const {
    switch (status) {
        case WriteStatus::Refused:
            return message;
        case WriteStatus::JournalBlocked:
            return JournalBlockedText(message);
        case WriteStatus::MeterFailed:
            return message.isEmpty() ? meterFailure : meterFailure + QStringLiteral(" ") + message;
        case WriteStatus::Unconfirmed: {
            const QString unsure = meterFailure + QStringLiteral(
                                                      " Miernik nie potwierdził zapisu i nie "
                                                      "wiadomo, czy go przyjął (wpis: niepewny).");
            return message.isEmpty() ? unsure : unsure + QStringLiteral(" ") + message;
        }
        case WriteStatus::Confirmed:
        case WriteStatus::Unchanged:
            break;
    }
    return message;
}

MeterStamp StampFromDriver(const Ckv60xDriver& driver) {
    MeterStamp s;
    MeterIdentity id;
    driver.GetIdentity(id);
    if (id.valid) {
        s.model =
            QString::fromLatin1(id.model, static_cast<int>(strnlen(id.model, sizeof id.model)));
        if (id.versionLetter != 0) s.letter = QString(QChar::fromLatin1(id.versionLetter));
        s.version = QStringLiteral("%1.%2").arg(id.versionMajor).arg(id.versionMinor);
    }
    SerialNumberData sn;
    driver.GetSerialNumber(sn);
    if (sn.valid) s.serial = sn.serialNumber;
    return s;
}

// ---------------------------------------------------------------- WriteBatch

WriteBatch::WriteBatch(MeterSession& session) : m_session(session), m_settings(session.Journal()) {}

WriteBatch::~WriteBatch() = default;

bool WriteBatch::Open() {
    if (!m_settings.Enabled() || m_db) return true;
    QString why;
    m_db = JournalDb::Open(m_settings.path, JournalDb::Mode::Write, &why, m_settings.busyTimeoutMs);
    if (!m_db) {
        m_message = why;
        return false;
    }
    m_message.clear();
    return true;
}

void WriteBatch::Close() {
    m_db.reset();
}

WriteOutcome WriteBatch::Write(const MeterWrite& write) {
    WriteOutcome out;
    const TargetRule& rule = RuleFor(write.target);
    if (const QString refused = rule.check(write); !refused.isEmpty()) {
        out.status = WriteStatus::Refused;
        out.message = refused;
        return out;
    }
    Ckv60xDriver& driver = m_session.Driver();
    const std::optional<QByteArray> before = rule.held ? rule.held(driver) : write.before;
    const bool compare = rule.held || write.skipUnchanged;
    if (compare && before && *before == write.after) {
        out.status = WriteStatus::Unchanged;
        return out;
    }

    JournalEntry entry;
    if (m_settings.Enabled()) {
        if (!Open()) {
            out.status = WriteStatus::JournalBlocked;
            out.message = m_message;
            return out;
        }
        entry.program = m_settings.program;
        entry.user = m_settings.user;
        entry.meter = StampFromDriver(driver);
        entry.target = write.target;
        entry.slot = write.target == JournalTarget::Characteristic ? write.slot : -1;
        entry.before = before;
        entry.after = write.after;
        entry.restoredFrom = write.restoredFrom;
        QString why;
        out.entryId = m_db->AddPending(entry, &why);
        if (out.entryId == 0) {
            out.status = WriteStatus::JournalBlocked;
            out.message = why;
            return out;
        }
    }

    JournalOutcome outcome = JournalOutcome::Confirmed;
    QString note;
    if (!rule.send(driver, write)) {
        // Not confirmed in time; it may still have reached the meter. What
        // the meter holds now decides, when it answers and when that can tell
        // (not when the value before was the value sent).
        const bool telling = driver.IsConnected() && !(before && *before == write.after);
        const std::optional<QByteArray> now = telling ? rule.readBack(driver, write) : std::nullopt;
        if (now && HoldsValue(write, *now)) {
            note = QStringLiteral("Potwierdzenie nie nadeszło; odczyt pokazuje zapisaną wartość");
        } else if (now || !telling) {
            outcome = JournalOutcome::Failed;
            note = QStringLiteral("Miernik nie potwierdził zapisu");
        } else {
            outcome = JournalOutcome::Uncertain;
            note = QStringLiteral("Miernik nie potwierdził zapisu; nie wiadomo, czy go przyjął");
        }
    }
    switch (outcome) {
        case JournalOutcome::Confirmed:
            out.status = WriteStatus::Confirmed;
            break;
        case JournalOutcome::Uncertain:
            out.status = WriteStatus::Unconfirmed;
            break;
        default:
            out.status = WriteStatus::MeterFailed;
            break;
    }
    if (out.entryId != 0) {
        QString why;
        if (!m_db->Complete(out.entryId, outcome, note, &why)) {
            out.message =
                out.status == WriteStatus::Confirmed
                    ? why + QStringLiteral(
                                " Zapis dotarł do miernika; wpis nr %1 dziennika "
                                "pozostał niepotwierdzony.")
                                .arg(out.entryId)
                    : why +
                          QStringLiteral(" Wpis nr %1 pozostał niepotwierdzony.").arg(out.entryId);
        }
    }
    return out;
}
