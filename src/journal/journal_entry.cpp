#include "journal/journal_entry.h"

#include <QDateTime>
#include <QRegularExpression>
#include <cmath>
#include <cstring>

#include "meter/char_image.h"
#include "records/cp1250.h"

namespace {

struct TargetName {
    JournalTarget target;
    const char* key;
};

constexpr TargetName kTargets[] = {
    {JournalTarget::Characteristic, "characteristic"},
    {JournalTarget::StartupDate, "startup_date"},
    {JournalTarget::SerialNumber, "serial_number"},
    {JournalTarget::VersionLetter, "version_letter"},
    {JournalTarget::ElectrodeCoefficient, "electrode_coefficient"},
};

}  // namespace

QString TargetKey(JournalTarget target) {
    for (const TargetName& t : kTargets) {
        if (t.target == target) return QString::fromLatin1(t.key);
    }
    return QString();
}

std::optional<JournalTarget> TargetFromKey(const QString& key) {
    for (const TargetName& t : kTargets) {
        if (key == QLatin1String(t.key)) return t.target;
    }
    return std::nullopt;
}

QString OutcomeKey(JournalOutcome outcome) {
    switch (outcome) {
        case JournalOutcome::Pending:
            return QStringLiteral("pending");
        case JournalOutcome::Confirmed:
            return QStringLiteral("confirmed");
        case JournalOutcome::Failed:
            return QStringLiteral("failed");
        case JournalOutcome::Uncertain:
            return QStringLiteral("uncertain");
    }
    return QString();
}

std::optional<JournalOutcome> OutcomeFromKey(const QString& key) {
    for (JournalOutcome o : {JournalOutcome::Pending, JournalOutcome::Confirmed,
                             JournalOutcome::Failed, JournalOutcome::Uncertain}) {
        if (key == OutcomeKey(o)) return o;
    }
    return std::nullopt;
}

QString TargetKey(const JournalEntry& entry) {
    return entry.unknown ? entry.unknown->targetKey : TargetKey(entry.target);
}

QString OutcomeKey(const JournalEntry& entry) {
    return entry.unknown ? entry.unknown->outcomeKey : OutcomeKey(entry.outcome);
}

QString TargetText(JournalTarget target, int slot) {
    switch (target) {
        case JournalTarget::Characteristic:
            return QStringLiteral("Charakterystyka nr %1").arg(slot + 1);
        case JournalTarget::StartupDate:
            return QStringLiteral("Data uruchamiania");
        case JournalTarget::SerialNumber:
            return QStringLiteral("Numer seryjny");
        case JournalTarget::VersionLetter:
            return QStringLiteral("Typ panelu");
        case JournalTarget::ElectrodeCoefficient:
            return QStringLiteral("Współczynnik kształtu elektrod");
    }
    return QString();
}

QString OutcomeText(JournalOutcome outcome) {
    switch (outcome) {
        case JournalOutcome::Pending:
            return QStringLiteral("niepotwierdzony");
        case JournalOutcome::Confirmed:
            return QStringLiteral("potwierdzony");
        case JournalOutcome::Failed:
            return QStringLiteral("nieudany");
        case JournalOutcome::Uncertain:
            return QStringLiteral("niepewny");
    }
    return QString();
}

QString TargetText(const JournalEntry& entry) {
    if (entry.unknown && !TargetFromKey(entry.unknown->targetKey))
        return QStringLiteral("nieznany rodzaj (%1)").arg(entry.unknown->targetKey);
    return TargetText(entry.target, entry.slot);
}

QString OutcomeText(const JournalEntry& entry) {
    if (entry.unknown && !OutcomeFromKey(entry.unknown->outcomeKey))
        return QStringLiteral("nieznany wynik (%1)").arg(entry.unknown->outcomeKey);
    return OutcomeText(entry.outcome);
}

QString MeterText(const MeterStamp& meter) {
    QString text = meter.model.isEmpty() ? QStringLiteral("?") : meter.model;
    text += meter.letter.trimmed();
    text += meter.serial ? QStringLiteral(" nr %1").arg(*meter.serial) : QStringLiteral(" nr ?");
    return text;
}

QByteArray CharacteristicValue(const CharRecData& rec) {
    const CharImage image = EncodeCharImage(rec);
    return QByteArray(reinterpret_cast<const char*>(image.data()), static_cast<int>(image.size()));
}

std::optional<CharRecData> CharacteristicFromValue(const QByteArray& value, int slot) {
    CharImage image{};
    if (value.size() != static_cast<int>(image.size()) || slot < 0 || slot > 255)
        return std::nullopt;
    std::memcpy(image.data(), value.constData(), image.size());
    CharRecData rec;
    if (CharImageErased(image)) {
        // An erased slot: what the meter reads it as, the empty record, is what
        // a write can put back.
        MakeErasedSlotRecord(rec, static_cast<int32_t>(QDateTime::currentSecsSinceEpoch()));
    } else if (CharImageChecksumOk(image)) {
        DecodeCharImage(image, rec);
    } else {
        return std::nullopt;
    }
    rec.REC_NUMBER = static_cast<uint8_t>(slot);
    rec.valid = 1;
    return rec;
}

QByteArray StartupDateValue(int year, int month) {
    return QString::asprintf("%04d-%02d", year, month).toLatin1();
}

std::optional<std::pair<int, int>> StartupDateFromValue(const QByteArray& value) {
    static const QRegularExpression re(QStringLiteral("^(\\d{4})-(\\d{2})$"));
    const auto m = re.match(QString::fromLatin1(value));
    if (!m.hasMatch()) return std::nullopt;
    return std::make_pair(m.captured(1).toInt(), m.captured(2).toInt());
}

QByteArray SerialNumberValue(int serial) {
    return QByteArray::number(serial);
}

std::optional<int> SerialNumberFromValue(const QByteArray& value) {
    static const QRegularExpression re(QStringLiteral("^-?\\d{1,10}$"));
    if (!re.match(QString::fromLatin1(value)).hasMatch()) return std::nullopt;
    bool ok = false;
    const int n = value.toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}

QByteArray VersionLetterValue(char letter) {
    return QByteArray(1, letter);
}

std::optional<char> VersionLetterFromValue(const QByteArray& value) {
    if (value.size() != 1) return std::nullopt;
    return value.at(0);
}

QByteArray CoefficientValue(double coefficient) {
    return QByteArray::number(coefficient, 'g', 17);
}

std::optional<double> CoefficientFromValue(const QByteArray& value) {
    bool ok = false;
    const double v = value.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

QString JournalValueText(JournalTarget target, const std::optional<QByteArray>& value) {
    if (!value) return QStringLiteral("(nieodczytana)");
    switch (target) {
        case JournalTarget::Characteristic: {
            const auto rec = CharacteristicFromValue(*value, 0);
            if (!rec) return QStringLiteral("(uszkodzony obraz)");
            if (value->count('\xFF') == value->size()) return QStringLiteral("pusta (skasowana)");
            if (!rec->ENABLE) return QStringLiteral("nieaktywna");
            return FixedFieldToUnicode(rec->CODE, CharRecData::kCodeLen).trimmed() +
                   QStringLiteral(" ") +
                   FixedFieldToUnicode(rec->NAME, CharRecData::kNameLen).trimmed();
        }
        case JournalTarget::VersionLetter:
            return Cp1250ToUnicode(*value);
        case JournalTarget::ElectrodeCoefficient: {
            const auto v = CoefficientFromValue(*value);
            return v ? QString::number(*v, 'g', 9) : QString::fromLatin1(*value);
        }
        case JournalTarget::StartupDate:
        case JournalTarget::SerialNumber:
            return QString::fromLatin1(*value);
    }
    return QString();
}
