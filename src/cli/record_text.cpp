#include "cli/record_text.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTimeZone>
#include <charconv>
#include <cmath>
#include <memory>

#include "records/char_rec_format.h"
#include "records/char_rec_validation.h"
#include "records/cp1250.h"

namespace {

QString Text(const char* field, int length) {
    return FixedFieldToUnicode(field, length);
}

}  // namespace

QByteArray JsonQuoted(const QString& s) {
    QByteArray out = "\"";
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u == '"')
            out += "\\\"";
        else if (u == '\\')
            out += "\\\\";
        else if (u < 0x20 || (u >= 0x7F && u < 0xA0))
            out += QString::asprintf("\\u%04x", static_cast<unsigned>(u)).toLatin1();
        else
            out += QString(c).toUtf8();
    }
    return out + "\"";
}

namespace {

QByteArray NumberList(const double* values, int n) {
    QByteArray out = "[";
    for (int i = 0; i < n; ++i) {
        if (i) out += ", ";
        out += ExactNumber(values[i]);
    }
    return out + "]";
}

// The body of one record object (no braces), each line indented by `indent`.
QByteArray RecordFields(const CharRecData& r, const QByteArray& indent) {
    QByteArray o;
    auto line = [&](const char* key, const QByteArray& value, bool last = false) {
        o += indent + "\"" + key + "\": " + value + (last ? "\n" : ",\n");
    };
    line("REC_NUMBER", QByteArray::number(r.REC_NUMBER));
    line("ENABLE", QByteArray::number(r.ENABLE));
    line("PASSWORD", QByteArray::number(r.PASSWORD));
    line("COMPENSATION", QByteArray::number(r.COMPENSATION));
    line("METHOD", QByteArray::number(r.METHOD));
    line("RH", NumberList(r.RH, CharRecData::kPoints));
    line("VALUE", NumberList(r.VALUE, CharRecData::kPoints));
    line("COMPENS", NumberList(r.COMPENS, CharRecData::kCoefficients));
    line("ACTIVE", QByteArray::number(r.ACTIVE));
    line("CERTIFICATE", JsonQuoted(Text(r.CERTIFICATE, CharRecData::kCertificateLen)));
    line("CREATE_TIME", QByteArray::number(r.CREATE_TIME));
    line("SAVE_TIME", QByteArray::number(r.SAVE_TIME));
    line("DESC", JsonQuoted(Text(r.DESC, CharRecData::kDescLen)));
    line("CODE", JsonQuoted(Text(r.CODE, CharRecData::kCodeLen)));
    line("NAME", JsonQuoted(Text(r.NAME, CharRecData::kNameLen)));
    line("valid", QByteArray::number(r.valid), true);
    return o;
}

QByteArray CsvText(const QString& s) {
    QString q = s;
    q.replace(QChar('"'), QStringLiteral("\"\""));
    return "\"" + q.toUtf8() + "\"";
}

QByteArray CsvHeader() {
    QByteArray h = "REC_NUMBER,ENABLE,PASSWORD,COMPENSATION,METHOD";
    for (int i = 1; i <= CharRecData::kPoints; ++i) h += ",RH" + QByteArray::number(i);
    for (int i = 1; i <= CharRecData::kPoints; ++i) h += ",VALUE" + QByteArray::number(i);
    h += ",COMPENS_A,COMPENS_B,COMPENS_C,COMPENS_D,ACTIVE,CERTIFICATE,CREATE_TIME,SAVE_TIME,"
         "DESC,CODE,NAME,valid\r\n";
    return h;
}

QByteArray CsvRow(const CharRecData& r) {
    QByteArray o = QByteArray::number(r.REC_NUMBER) + "," + QByteArray::number(r.ENABLE) + "," +
                   QByteArray::number(r.PASSWORD) + "," + QByteArray::number(r.COMPENSATION) + "," +
                   QByteArray::number(r.METHOD);
    for (double v : r.RH) o += "," + ExactNumber(v);
    for (double v : r.VALUE) o += "," + ExactNumber(v);
    for (double v : r.COMPENS) o += "," + ExactNumber(v);
    o += "," + QByteArray::number(r.ACTIVE);
    o += "," + CsvText(Text(r.CERTIFICATE, CharRecData::kCertificateLen));
    o += "," + QByteArray::number(r.CREATE_TIME) + "," + QByteArray::number(r.SAVE_TIME);
    o += "," + CsvText(Text(r.DESC, CharRecData::kDescLen));
    o += "," + CsvText(Text(r.CODE, CharRecData::kCodeLen));
    o += "," + CsvText(Text(r.NAME, CharRecData::kNameLen));
    o += "," + QByteArray::number(r.valid) + "\r\n";
    return o;
}

QString DateText(int32_t t) {
    if (t <= 0) return QStringLiteral("nie ustawiono");
    return QDateTime::fromSecsSinceEpoch(t, QTimeZone::utc()).toString("yyyy-MM-dd HH:mm:ss") +
           QStringLiteral(" UTC");
}

QString YesNo(int flag) {
    return flag ? QStringLiteral("tak") : QStringLiteral("nie");
}

QString MethodText(int method) {
    if (method == 0) return QStringLiteral("rezystancyjna");
    if (method == 1) return QStringLiteral("pojemnościowa");
    return QStringLiteral("nieznana (%1)").arg(method);
}

// ---- JSON reading -------------------------------------------------------------

class JsonReader {
public:
    explicit JsonReader(QString* error) : m_error(error) {}

    bool Fail(const QString& what) {
        if (m_error && m_error->isEmpty()) *m_error = what;
        return false;
    }

    bool Integer(const QJsonObject& o, const char* key, double lo, double hi, double* out,
                 const QString& where) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isDouble()) return Fail(QStringLiteral("%1pole %2: brak liczby").arg(where, key));
        const double d = v.toDouble();
        if (d != std::floor(d) || d < lo || d > hi) {
            return Fail(QStringLiteral("%1pole %2: oczekiwana liczba całkowita %3..%4")
                            .arg(where, key)
                            .arg(static_cast<qint64>(lo))
                            .arg(static_cast<qint64>(hi)));
        }
        *out = d;
        return true;
    }

    bool Numbers(const QJsonObject& o, const char* key, double* out, int n, const QString& where) {
        const QJsonValue v = o.value(QLatin1String(key));
        const QJsonArray a = v.toArray();
        if (!v.isArray() || a.size() != n) {
            return Fail(
                QStringLiteral("%1pole %2: oczekiwana lista %3 liczb").arg(where, key).arg(n));
        }
        for (int i = 0; i < n; ++i) {
            if (!a.at(i).isDouble()) {
                return Fail(QStringLiteral("%1pole %2[%3]: brak liczby").arg(where, key).arg(i));
            }
            out[i] = a.at(i).toDouble();
        }
        return true;
    }

    bool String(const QJsonObject& o, const char* key, char* field, int length,
                const QString& where) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isString()) return Fail(QStringLiteral("%1pole %2: brak tekstu").arg(where, key));
        const QString s = v.toString();
        const QByteArray bytes = UnicodeToCp1250(s);
        if (Cp1250ToUnicode(bytes) != s) {
            return Fail(
                QStringLiteral("%1pole %2: znak spoza strony kodowej 1250").arg(where, key));
        }
        if (bytes.contains('\0'))
            return Fail(QStringLiteral("%1pole %2: znak NUL w tekście").arg(where, key));
        if (bytes.size() > length) {
            return Fail(QStringLiteral("%1pole %2: tekst dłuższy niż %3 znaków")
                            .arg(where, key)
                            .arg(length));
        }
        std::fill(field, field + length + 1, '\0');
        std::copy(bytes.begin(), bytes.end(), field);
        return true;
    }

    bool Record(const QJsonObject& o, CharRecData* out, bool withVersion, const QString& where) {
        static const QStringList kKeys = {
            "REC_NUMBER", "ENABLE",  "PASSWORD", "COMPENSATION", "METHOD",      "RH",
            "VALUE",      "COMPENS", "ACTIVE",   "CERTIFICATE",  "CREATE_TIME", "SAVE_TIME",
            "DESC",       "CODE",    "NAME",     "valid"};
        for (const QString& k : o.keys()) {
            if (!kKeys.contains(k) && !(withVersion && k == QLatin1String("VERSION"))) {
                return Fail(QStringLiteral("%1nieznane pole %2").arg(where, k));
            }
        }
        CharRecData r;
        double d = 0;
        if (!Integer(o, "REC_NUMBER", 0, 255, &d, where)) return false;
        r.REC_NUMBER = static_cast<uint8_t>(d);
        if (!Integer(o, "ENABLE", 0, 1, &d, where)) return false;
        r.ENABLE = static_cast<uint8_t>(d);
        if (!Integer(o, "PASSWORD", 0, 1, &d, where)) return false;
        r.PASSWORD = static_cast<uint8_t>(d);
        if (!Integer(o, "COMPENSATION", 0, 1, &d, where)) return false;
        r.COMPENSATION = static_cast<uint8_t>(d);
        if (!Integer(o, "METHOD", 0, 255, &d, where)) return false;
        r.METHOD = static_cast<uint8_t>(d);
        if (!Numbers(o, "RH", r.RH, CharRecData::kPoints, where)) return false;
        if (!Numbers(o, "VALUE", r.VALUE, CharRecData::kPoints, where)) return false;
        if (!Numbers(o, "COMPENS", r.COMPENS, CharRecData::kCoefficients, where)) return false;
        if (!Integer(o, "ACTIVE", 0, 255, &d, where)) return false;
        r.ACTIVE = static_cast<uint8_t>(d);
        if (!String(o, "CERTIFICATE", r.CERTIFICATE, CharRecData::kCertificateLen, where))
            return false;
        if (!Integer(o, "CREATE_TIME", INT32_MIN, INT32_MAX, &d, where)) return false;
        r.CREATE_TIME = static_cast<int32_t>(d);
        if (!Integer(o, "SAVE_TIME", INT32_MIN, INT32_MAX, &d, where)) return false;
        r.SAVE_TIME = static_cast<int32_t>(d);
        if (!String(o, "DESC", r.DESC, CharRecData::kDescLen, where)) return false;
        if (!String(o, "CODE", r.CODE, CharRecData::kCodeLen, where)) return false;
        if (!String(o, "NAME", r.NAME, CharRecData::kNameLen, where)) return false;
        if (!Integer(o, "valid", 0, 1, &d, where)) return false;
        r.valid = static_cast<uint8_t>(d);
        *out = r;
        return true;
    }

private:
    QString* m_error = nullptr;
};

}  // namespace

QByteArray ExactNumber(double value) {
    if (!std::isfinite(value)) return "null";  // JSON has no NaN or infinity
    // A JSON reader keeps no sign on zero (Qt stores whole numbers as integers),
    // so -0.0 is written as the 0 it reads back as.
    if (value == 0.0) return "0";
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 17);
    return QByteArray(buf, static_cast<qsizetype>(res.ptr - buf));
}

QByteArray RecordToJson(const CharRecData& rec) {
    return "{\n  \"VERSION\": 1,\n" + RecordFields(rec, "  ") + "}\n";
}

QByteArray RecordSetToJson(const CTableCharRec& set) {
    QByteArray o = "{\n  \"VERSION\": 1,\n  \"RECORDS\": [";
    for (int i = 0; i < set.Count(); ++i) {
        o += i ? ",\n    {\n" : "\n    {\n";
        o += RecordFields(set.Get(i), "      ");
        o += "    }";
    }
    o += set.Count() ? "\n  ]\n}\n" : "]\n}\n";
    return o;
}

QByteArray RecordToCsv(const CharRecData& rec) {
    return CsvHeader() + CsvRow(rec);
}

QByteArray RecordSetToCsv(const CTableCharRec& set) {
    QByteArray o = CsvHeader();
    for (int i = 0; i < set.Count(); ++i) o += CsvRow(set.Get(i));
    return o;
}

QString RecordToText(const CharRecData& r) {
    QString t = QStringLiteral("Charakterystyka nr %1%2\n")
                    .arg(r.REC_NUMBER + 1)
                    .arg(r.valid ? QString() : QStringLiteral(" (pusta, valid = 0)"));
    auto row = [&t](const QString& label, const QString& value) {
        t += "  " + label + ": " + value + "\n";
    };
    row(QStringLiteral("Rekord aktywny"), YesNo(r.ENABLE));
    row(QStringLiteral("Ochrona hasłem"), YesNo(r.PASSWORD));
    row(QStringLiteral("Kompensacja temperaturowa"), YesNo(r.COMPENSATION));
    row(QStringLiteral("Metoda pomiaru"), MethodText(r.METHOD));
    row(QStringLiteral("Kod materiału"), "\"" + Text(r.CODE, CharRecData::kCodeLen) + "\"");
    row(QStringLiteral("Nazwa materiału"), "\"" + Text(r.NAME, CharRecData::kNameLen) + "\"");
    row(QStringLiteral("Opis materiału"), "\"" + Text(r.DESC, CharRecData::kDescLen) + "\"");
    row(QStringLiteral("Świadectwo wzorcowania"),
        "\"" + Text(r.CERTIFICATE, CharRecData::kCertificateLen) + "\"");
    row(QStringLiteral("Data utworzenia charakterystyki"), DateText(r.CREATE_TIME));
    row(QStringLiteral("Data zapisania charakterystyki"), DateText(r.SAVE_TIME));
    row(QStringLiteral("Liczba punktów pomiarowych"), QString::number(r.ACTIVE));
    const QString range = HumidityRangeText(r);
    if (!range.isEmpty()) row(QStringLiteral("Zakres"), range);
    t += QStringLiteral("  Punkty (nr, wilgotność, wartość):\n");
    const int shown = r.ACTIVE <= CharRecData::kPoints ? r.ACTIVE : CharRecData::kPoints;
    for (int i = 0; i < shown; ++i) {
        t += QStringLiteral("    %1  %2  %3\n")
                 .arg(i + 1, 2)
                 .arg(FormatHumidity(r.RH[i]), 10)
                 .arg(FormatValue(r.VALUE[i]), 12);
    }
    static const char kNames[] = "ABCD";
    for (int k = 0; k < CharRecData::kCoefficients; ++k) {
        row(QStringLiteral("Współczynnik %1").arg(QChar(kNames[k])),
            FormatCoefficient(r.COMPENS[k]));
    }
    return t;
}

QString RecordSetToText(const CTableCharRec& set) {
    QString t = QStringLiteral("Zbiór charakterystyk: %1\n").arg(set.Count());
    for (int i = 0; i < set.Count(); ++i) t += "\n" + RecordToText(set.Get(i));
    return t;
}

JsonFileKind ParseRecordJson(const QByteArray& json, CharRecData* rec, CTableCharRec* set,
                             QString* error) {
    if (error) error->clear();
    JsonReader reader(error);
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (pe.error != QJsonParseError::NoError) {
        reader.Fail(QStringLiteral("błąd składni JSON w znaku %1: %2")
                        .arg(pe.offset)
                        .arg(pe.errorString()));
        return JsonFileKind::Invalid;
    }
    if (!doc.isObject()) {
        reader.Fail(QStringLiteral("oczekiwany obiekt JSON"));
        return JsonFileKind::Invalid;
    }
    const QJsonObject o = doc.object();
    double version = 0;
    if (!reader.Integer(o, "VERSION", 1, 1, &version, QString())) return JsonFileKind::Invalid;
    if (!o.contains(QLatin1String("RECORDS"))) {
        CharRecData r;
        if (!reader.Record(o, &r, true, QString())) return JsonFileKind::Invalid;
        if (rec) *rec = r;
        return JsonFileKind::Record;
    }
    for (const QString& k : o.keys()) {
        if (k != QLatin1String("VERSION") && k != QLatin1String("RECORDS")) {
            reader.Fail(QStringLiteral("nieznane pole %1").arg(k));
            return JsonFileKind::Invalid;
        }
    }
    const QJsonValue list = o.value(QLatin1String("RECORDS"));
    if (!list.isArray() || list.toArray().size() > CTableCharRec::kSlots) {
        reader.Fail(QStringLiteral("pole RECORDS: oczekiwana lista najwyżej %1 rekordów")
                        .arg(CTableCharRec::kSlots));
        return JsonFileKind::Invalid;
    }
    const QJsonArray a = list.toArray();
    auto out = std::make_unique<CTableCharRec>();
    for (int i = 0; i < a.size(); ++i) {
        const QString where = QStringLiteral("RECORDS[%1]: ").arg(i);
        if (!a.at(i).isObject()) {
            reader.Fail(where + QStringLiteral("oczekiwany obiekt"));
            return JsonFileKind::Invalid;
        }
        CharRecData r;
        if (!reader.Record(a.at(i).toObject(), &r, false, where)) return JsonFileKind::Invalid;
        out->Put(r, i);
    }
    if (set) *set = *out;
    return JsonFileKind::RecordSet;
}

QString CheckRecordForWrite(const CharRecData& rec) {
    CharRecForm form;
    form.enableChecked = rec.ENABLE != 0;
    form.passwordChecked = rec.PASSWORD != 0;
    form.compensationChecked = rec.COMPENSATION != 0;
    form.resistiveChecked = rec.METHOD == 0;
    form.capacitiveChecked = rec.METHOD == 1;
    form.code = Text(rec.CODE, CharRecData::kCodeLen);
    form.name = Text(rec.NAME, CharRecData::kNameLen);
    form.desc = Text(rec.DESC, CharRecData::kDescLen);
    form.certificate = Text(rec.CERTIFICATE, CharRecData::kCertificateLen);
    form.createTime = rec.CREATE_TIME;
    form.saveTime = rec.SAVE_TIME;
    form.count = QString::number(rec.ACTIVE);
    for (int i = 0; i < CharRecData::kPoints; ++i) {
        form.humidity[i] = QString::fromLatin1(ExactNumber(rec.RH[i]));
        form.value[i] = QString::fromLatin1(ExactNumber(rec.VALUE[i]));
    }
    for (int k = 0; k < CharRecData::kCoefficients; ++k) {
        form.coefficient[k] = QString::fromLatin1(ExactNumber(rec.COMPENS[k]));
    }
    form.serviceMode = true;
    const CharRecValidation v = ValidateCharRec(form, rec);
    if (!v.ok) return v.message;
    // The form reads a number the block cannot hold ("null") as 0, which could
    // let a NaN through the order tests: refuse it here.
    auto finite = [](const double* p, int n) {
        for (int i = 0; i < n; ++i) {
            if (!std::isfinite(p[i])) return false;
        }
        return true;
    };
    if (!finite(rec.RH, CharRecData::kPoints) || !finite(rec.VALUE, CharRecData::kPoints) ||
        !finite(rec.COMPENS, CharRecData::kCoefficients)) {
        return QStringLiteral("Charakterystyka zawiera wartość niebędącą liczbą");
    }
    return QString();
}
