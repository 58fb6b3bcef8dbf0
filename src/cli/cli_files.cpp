// The record files alone: show and convert.

#include <QFileInfo>
#include <memory>

#include "cli/cli_args.h"
#include "cli/cli_commands.h"
#include "cli/record_text.h"
#include "records/record_files.h"

namespace cli {

namespace {

enum class FileKind { Unknown, Kvr, Kvz, Json, Csv, Text };

FileKind KindOf(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("kvr")) return FileKind::Kvr;
    if (ext == QLatin1String("kvz")) return FileKind::Kvz;
    if (ext == QLatin1String("json")) return FileKind::Json;
    if (ext == QLatin1String("csv")) return FileKind::Csv;
    if (ext == QLatin1String("txt")) return FileKind::Text;
    return FileKind::Unknown;
}

// A loaded record or set.
struct Loaded {
    bool isSet = false;
    CharRecData rec;
    std::unique_ptr<CTableCharRec> set = std::make_unique<CTableCharRec>();

    QByteArray Json() const { return isSet ? RecordSetToJson(*set) : RecordToJson(rec); }
    QByteArray Csv() const { return isSet ? RecordSetToCsv(*set) : RecordToCsv(rec); }
    QString Text() const { return isSet ? RecordSetToText(*set) : RecordToText(rec); }
};

// The largest JSON form taken: a full set of 150 records with long texts
// comes to a few hundred kilobytes.
constexpr qint64 kJsonFileMax = 4 * 1024 * 1024;

int LoadJson(const CliEnv& env, const QString& path, Loaded* out) {
    QByteArray bytes;
    FileError error;
    if (!ReadFileBounded(path, kJsonFileMax, &bytes, &error)) {
        return Fail(env, kExitUsage,
                    FileFailure(QStringLiteral("Nie można otworzyć pliku"), path, error));
    }
    QString message;
    const JsonFileKind kind = ParseRecordJson(bytes, &out->rec, out->set.get(), &message);
    if (kind == JsonFileKind::Invalid) {
        return Fail(env, kExitUsage, QStringLiteral("Błędny plik JSON %1: %2").arg(path, message));
    }
    out->isSet = kind == JsonFileKind::RecordSet;
    return -1;
}

// -1 when loaded, otherwise the exit code (message shown).
int LoadAny(const CliEnv& env, const QString& path, Loaded* out) {
    FileError error;
    switch (KindOf(path)) {
        case FileKind::Kvr:
            if (!LoadCharRecFile(path, &out->rec, &error)) {
                return Fail(env, kExitUsage,
                            FileFailure(QStringLiteral("Błąd w trakcie odczytu charakterystyki"),
                                        path, error));
            }
            return -1;
        case FileKind::Kvz:
            out->isSet = true;
            if (!LoadCharRecSetFile(path, out->set.get(), &error)) {
                return Fail(env, kExitUsage,
                            FileFailure(QStringLiteral("Błąd w trakcie odczytu charakterystyk"),
                                        path, error));
            }
            return -1;
        case FileKind::Json:
            return LoadJson(env, path, out);
        default:
            return Fail(
                env, kExitUsage,
                QStringLiteral("Nieznany rodzaj pliku: %1 (.kvr, .kvz lub .json)").arg(path));
    }
}

// A .kvr holds one record, a .kvz a set: the input must be the same.
int CheckShape(const CliEnv& env, const Loaded& in, const QString& inPath, FileKind outKind) {
    if ((outKind == FileKind::Kvr && in.isSet) || (outKind == FileKind::Kvz && !in.isSet)) {
        return Fail(
            env, kExitUsage,
            in.isSet
                ? QStringLiteral(
                      "Plik %1 zawiera zbiór charakterystyk, a plik .kvr jedną charakterystykę")
                      .arg(inPath)
                : QStringLiteral(
                      "Plik %1 zawiera jedną charakterystykę, a plik .kvz zbiór charakterystyk")
                      .arg(inPath));
    }
    return -1;
}

// A record file is written only from records the editor would accept. -1 when
// they all pass.
int CheckForRecordFile(const CliEnv& env, const Loaded& in, FileKind outKind) {
    if (outKind == FileKind::Kvr) {
        if (!in.rec.valid) {
            return Fail(
                env, kExitUsage,
                QStringLiteral(
                    "Rekord oznaczony jako pusty (valid = 0) nie może trafić do pliku .kvr"));
        }
        const QString message = CheckRecordForWrite(in.rec);
        return message.isEmpty() ? -1 : Fail(env, kExitUsage, message);
    }
    if (outKind != FileKind::Kvz) return -1;
    for (int i = 0; i < in.set->Count(); ++i) {
        const CharRecData rec = in.set->Get(i);
        if (!rec.valid || IsBlankRecord(rec)) continue;
        const QString message = CheckRecordForWrite(rec);
        if (!message.isEmpty()) {
            return Fail(
                env, kExitUsage,
                QStringLiteral("Charakterystyka nr %1: %2").arg(i + 1).arg(JoinLines(message)));
        }
    }
    return -1;
}

// The window's rights: the content of a password-protected record is shown
// only in service mode. -1 when every record may be shown.
int CheckShown(const CliEnv& env, const Loaded& in, bool service) {
    if (!in.isSet) return RefuseProtected(env, service, in.rec);
    for (int i = 0; i < in.set->Count(); ++i) {
        if (int rc = RefuseProtected(env, service, in.set->Get(i), i + 1); rc >= 0) return rc;
    }
    return -1;
}

bool WriteConverted(const Loaded& in, const QString& outPath, FileKind outKind, FileError* error) {
    switch (outKind) {
        case FileKind::Kvr:
            return SaveCharRecFile(outPath, in.rec, error);
        case FileKind::Kvz:
            return SaveCharRecSetFile(outPath, *in.set, error);
        case FileKind::Json:
            return WriteTextFile(outPath, in.Json(), error);
        case FileKind::Csv:
            return WriteTextFile(outPath, in.Csv(), error);
        default:
            return WriteTextFile(outPath, in.Text().toUtf8(), error);
    }
}

}  // namespace

int CmdShow(const CliEnv& env, const QStringList& args) {
    CommandArgs a(QStringLiteral("show"),
                  QStringLiteral("Pokazuje plik charakterystyki (.kvr) albo zbioru charakterystyk "
                                 "(.kvz) jako tekst, JSON albo CSV."));
    const QCommandLineOption json(
        QStringLiteral("json"),
        QStringLiteral("Wypisz JSON (wszystkie pola; convert odczytuje go z powrotem)."));
    const QCommandLineOption csv(QStringLiteral("csv"),
                                 QStringLiteral("Wypisz CSV, jeden wiersz na charakterystykę."));
    a.Add(json);
    a.Add(csv);
    a.Add(ServiceOption());
    a.AddPositional(QStringLiteral("PLIK"), QStringLiteral("Plik .kvr, .kvz albo .json."));
    if (int rc = a.Parse(env, args, 1, 1); rc >= 0) return rc;
    if (a.IsSet(json) && a.IsSet(csv))
        return Fail(env, kExitUsage, QStringLiteral("Opcje --json i --csv wykluczają się"));
    Loaded in;
    if (int rc = LoadAny(env, a.Positional().at(0), &in); rc >= 0) return rc;
    if (int rc = CheckShown(env, in, a.IsSet(ServiceOption())); rc >= 0) return rc;
    if (a.IsSet(json)) {
        if (env.out) env.out(in.Json());
    } else if (a.IsSet(csv)) {
        if (env.out) env.out(in.Csv());
    } else {
        env.Out(in.Text());
    }
    return kExitOk;
}

int CmdConvert(const CliEnv& env, const QStringList& args) {
    CommandArgs a(
        QStringLiteral("convert"),
        QStringLiteral("Przekształca pliki charakterystyk w postaci czytelne i z powrotem; "
                       "rodzaj pliku wynika z rozszerzenia nazwy: .kvr/.kvz/.json na wejściu, "
                       ".json/.csv/.txt/.kvr/.kvz na wyjściu. Charakterystyka zapisywana "
                       "z JSON do pliku musi przejść sprawdzenie edytora."));
    a.AddPositional(QStringLiteral("ŹRÓDŁO"), QStringLiteral("Plik wejściowy."));
    a.AddPositional(QStringLiteral("CEL"), QStringLiteral("Plik wyjściowy."));
    a.Add(ServiceOption());
    if (int rc = a.Parse(env, args, 2, 2); rc >= 0) return rc;
    const QString inPath = a.Positional().at(0);
    const QString outPath = a.Positional().at(1);
    const FileKind outKind = KindOf(outPath);
    if (outKind == FileKind::Unknown) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Nieznany rodzaj pliku: %1 (.kvr, .kvz, .json, .csv lub .txt)")
                        .arg(outPath));
    }
    Loaded in;
    if (int rc = LoadAny(env, inPath, &in); rc >= 0) return rc;
    if (int rc = CheckShape(env, in, inPath, outKind); rc >= 0) return rc;
    // A readable form shows the records; the binary forms only carry them.
    const bool readable = outKind != FileKind::Kvr && outKind != FileKind::Kvz;
    if (readable) {
        if (int rc = CheckShown(env, in, a.IsSet(ServiceOption())); rc >= 0) return rc;
    }
    if (int rc = CheckForRecordFile(env, in, outKind); rc >= 0) return rc;
    FileError error;
    if (!WriteConverted(in, outPath, outKind, &error)) {
        return Fail(env, kExitUsage,
                    FileFailure(QStringLiteral("Nie można zapisać pliku"), outPath, error));
    }
    return kExitOk;
}

}  // namespace cli
