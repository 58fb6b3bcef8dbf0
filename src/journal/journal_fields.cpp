#include "journal/journal_fields.h"

#include <QDateTime>
#include <optional>

#include "records/cp1250.h"

namespace {

QString Flag(uint8_t v) {
    return v ? QStringLiteral("tak") : QStringLiteral("nie");
}

QString Method(uint8_t m) {
    if (m == 0) return QStringLiteral("rezystancyjna");
    if (m == 1) return QStringLiteral("pojemnościowa");
    return QStringLiteral("inna (%1)").arg(m);
}

// A float the meter holds, shown so that no two different values look alike.
QString Number(double v) {
    return QString::number(v, 'g', 9);
}

QString Date(int32_t t) {
    return QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

struct Field {
    QString name;
    bool curve;  // part of the protected content
    QString (*text)(const CharRecData&, int);
    int index;
};

std::vector<Field> Fields() {
    std::vector<Field> f = {
        {QStringLiteral("Rekord aktywny"), false,
         [](const CharRecData& r, int) { return Flag(r.ENABLE); }, 0},
        {QStringLiteral("Kod materiału"), false,
         [](const CharRecData& r, int) {
             return FixedFieldTextUnpadded(r.CODE, CharRecData::kCodeLen);
         },
         0},
        {QStringLiteral("Nazwa materiału"), false,
         [](const CharRecData& r, int) {
             return FixedFieldTextUnpadded(r.NAME, CharRecData::kNameLen);
         },
         0},
        {QStringLiteral("Opis materiału"), false,
         [](const CharRecData& r, int) {
             return FixedFieldTextUnpadded(r.DESC, CharRecData::kDescLen);
         },
         0},
        {QStringLiteral("Świadectwo wzorcowania"), false,
         [](const CharRecData& r, int) {
             return FixedFieldTextUnpadded(r.CERTIFICATE, CharRecData::kCertificateLen);
         },
         0},
        {QStringLiteral("Metoda pomiarowa"), false,
         [](const CharRecData& r, int) { return Method(r.METHOD); }, 0},
        {QStringLiteral("Ochrona hasłem"), false,
         [](const CharRecData& r, int) { return Flag(r.PASSWORD); }, 0},
        {QStringLiteral("Kompensacja temperaturowa"), false,
         [](const CharRecData& r, int) { return Flag(r.COMPENSATION); }, 0},
        {QStringLiteral("Data utworzenia charakterystyki"), false,
         [](const CharRecData& r, int) { return Date(r.CREATE_TIME); }, 0},
        {QStringLiteral("Data zapisania charakterystyki"), false,
         [](const CharRecData& r, int) { return Date(r.SAVE_TIME); }, 0},
        {QStringLiteral("Liczba aktywnych punktów"), true,
         [](const CharRecData& r, int) { return QString::number(r.ACTIVE); }, 0},
    };
    const char* names[] = {"A", "B", "C", "D"};
    for (int i = 0; i < CharRecData::kCoefficients; ++i) {
        f.push_back({QStringLiteral("Współczynnik %1").arg(QLatin1String(names[i])), true,
                     [](const CharRecData& r, int k) { return Number(r.COMPENS[k]); }, i});
    }
    for (int i = 0; i < CharRecData::kPoints; ++i) {
        f.push_back({QStringLiteral("Punkt %1: wilgotność").arg(i + 1), true,
                     [](const CharRecData& r, int k) { return Number(r.RH[k]); }, i});
        f.push_back({QStringLiteral("Punkt %1: wartość").arg(i + 1), true,
                     [](const CharRecData& r, int k) { return Number(r.VALUE[k]); }, i});
    }
    return f;
}

const QString kProtected = QStringLiteral("(ochrona hasłem)");

// An entry of a known kind whose outcome is unknown, with its stored values
// where the values of its kind are read from.
std::optional<JournalEntry> KnownKindOf(const JournalEntry& entry) {
    if (!entry.unknown || !TargetFromKey(entry.unknown->targetKey)) return std::nullopt;
    JournalEntry known = entry;
    known.before = entry.unknown->before;
    known.after = entry.unknown->after;
    known.unknown.reset();
    return known;
}

}  // namespace

bool JournalEntryProtected(const JournalEntry& entry) {
    if (entry.unknown) {
        const auto known = KnownKindOf(entry);
        return known && JournalEntryProtected(*known);
    }
    if (entry.target != JournalTarget::Characteristic) return false;
    const auto after = CharacteristicFromValue(entry.after, 0);
    const auto before =
        entry.before ? CharacteristicFromValue(*entry.before, 0) : std::optional<CharRecData>();
    return (after && after->PASSWORD) || (before && before->PASSWORD);
}

std::vector<JournalFieldRow> JournalFieldRows(const JournalEntry& entry, bool serviceMode) {
    std::vector<JournalFieldRow> rows;
    if (entry.unknown) {
        if (const auto known = KnownKindOf(entry)) return JournalFieldRows(*known, serviceMode);
        // A kind this program cannot read: its bytes as they are.
        const JournalUnknown& u = *entry.unknown;
        JournalFieldRow row;
        row.name = TargetText(entry);
        row.before = u.before ? QString::fromLatin1(u.before->toHex().toUpper())
                              : QStringLiteral("(nieodczytana)");
        row.after = QString::fromLatin1(u.after.toHex().toUpper());
        row.changed = u.before && *u.before != u.after;
        rows.push_back(row);
        return rows;
    }
    if (entry.target != JournalTarget::Characteristic) {
        JournalFieldRow row;
        row.name = TargetText(entry.target, entry.slot);
        row.before = JournalValueText(entry.target, entry.before);
        row.after = JournalValueText(entry.target, entry.after);
        row.changed = entry.before && *entry.before != entry.after;
        rows.push_back(row);
        return rows;
    }
    const auto before = entry.before ? CharacteristicFromValue(*entry.before, entry.slot)
                                     : std::optional<CharRecData>();
    const auto after = CharacteristicFromValue(entry.after, entry.slot);
    const QString missing =
        entry.before ? QStringLiteral("(uszkodzony obraz)") : QStringLiteral("(nieodczytana)");
    for (const Field& f : Fields()) {
        JournalFieldRow row;
        row.name = f.name;
        auto text = [&](const std::optional<CharRecData>& r, const QString& none) {
            if (!r) return none;
            if (f.curve && r->PASSWORD && !serviceMode) return kProtected;
            return f.text(*r, f.index);
        };
        row.before = text(before, missing);
        row.after = text(after, QStringLiteral("(uszkodzony obraz)"));
        // Compared on the values themselves, so a protected curve is still
        // marked changed without being shown.
        row.changed = before && after && f.text(*before, f.index) != f.text(*after, f.index);
        rows.push_back(row);
    }
    return rows;
}

QString JournalTimeText(int64_t timeMs) {
    return QDateTime::fromMSecsSinceEpoch(timeMs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
