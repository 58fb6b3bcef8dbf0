// Characteristics between the meter and the record files: table read/write
// (every slot and a .kvz) and record read/write (one slot and a .kvr).

#include <QRegularExpression>
#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/cli_session.h"
#include "cli/record_text.h"
#include "records/record_files.h"

namespace cli {

namespace {

// "1,3-5" -> {1, 3, 4, 5}; false on anything else.
bool ParseSlotList(const QString& text, std::set<int>* out) {
    static const QRegularExpression item(
        QStringLiteral("^\\s*(\\d{1,3})\\s*(?:-\\s*(\\d{1,3})\\s*)?$"));
    const QStringList parts = text.split(QChar(','));
    for (const QString& part : parts) {
        const auto m = item.match(part);
        if (!m.hasMatch()) return false;
        const int from = m.captured(1).toInt();
        const int to = m.captured(2).isEmpty() ? from : m.captured(2).toInt();
        if (from < 1 || to < from) return false;
        for (int s = from; s <= to; ++s) out->insert(s);
    }
    return !out->empty();
}

// Reads slot `index` (0-based); the driver takes only the slot's own undamaged
// answer. Empty when read, otherwise the failure line (a damaged answer or one
// for another slot is named as such).
QString ReadSlot(Ckv60xDriver& d, int index, CharRecData* out) {
    CharReadReport report;
    if (d.ReadCharacteristic(index, *out, &report)) return QString();
    if (report.fault == CharReadReport::Fault::NoAnswer) {
        return QStringLiteral("Nie można odczytać ustawień (charakterystyka nr %1)").arg(index + 1);
    }
    return CharReadFailureText(report);
}

// The 256 bytes of a characteristic image.
QByteArray ImageBytes(const CharImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.data()), static_cast<int>(image.size()));
}

void Progress(const CliEnv& env, const QString& what, int done, int total) {
    if (!env.progress) return;
    env.Err(QStringLiteral("\r%1: %2/%3").arg(what).arg(done).arg(total) +
            (done == total ? "\n" : ""));
}

void EndProgress(const CliEnv& env, int done, int total) {
    if (env.progress && done != total) env.Err(QStringLiteral("\n"));
}

int TableRead(const CliEnv& env, const QStringList& args) {
    CommandArgs a(QStringLiteral("table read"),
                  QStringLiteral("Odczytuje wszystkie charakterystyki miernika do pliku zbioru "
                                 "charakterystyk (.kvz)."));
    a.AddMeterOptions();
    const QCommandLineOption out(QStringLiteral("out"),
                                 QStringLiteral("Zapisywany plik zbioru charakterystyk."),
                                 QStringLiteral("PLIK.kvz"));
    a.Add(out);
    if (int rc = a.Parse(env, args, 0, 0); rc >= 0) return rc;
    const QString path = a.Value(out);
    if (path.isEmpty()) return Fail(env, kExitUsage, QStringLiteral("Podaj plik: --out PLIK.kvz"));
    const QString failedWrite = QStringLiteral("Błąd w trakcie zapisu charakterystyk");
    FileError error;
    if (!OutputPathUsable(path, &error))
        return Fail(env, kExitUsage, FileFailure(failedWrite, path, error));
    MeterSession s(env);
    if (int rc = s.Resolve(a); rc >= 0) return rc;
    if (int rc = s.Connect(false); rc >= 0) return rc;
    const int n = s.SlotCount(CTableCharRec::kSlots);
    if (n < 0) return kExitMeter;
    auto set = std::make_unique<CTableCharRec>();
    for (int i = 0; i < n; ++i) {
        if (env.Stopped()) {
            EndProgress(env, i, n);
            return Fail(env, kExitMeter, QStringLiteral("Przerwano; plik nie został zapisany."));
        }
        // A slot that cannot be read ends the command without a file: nothing
        // blank is passed on as the meter's record.
        CharRecData rec;
        if (const QString failure = ReadSlot(s.Driver(), i, &rec); !failure.isEmpty()) {
            EndProgress(env, i, n);
            return Fail(env, kExitMeter, failure);
        }
        set->Put(rec, i);
        Progress(env, QStringLiteral("Odczyt charakterystyk"), i + 1, n);
    }
    if (!SaveCharRecSetFile(path, *set, &error))
        return Fail(env, kExitUsage, FileFailure(failedWrite, path, error));
    env.Out(QStringLiteral("Odczytano charakterystyk: %1 -> %2\n").arg(n).arg(path));
    return kExitOk;
}

// Every record to be written must pass the editor's validation before anything
// reaches the meter; an empty slot (no curve) may be written to clear the
// slot, a block marked not valid is never sent. -1 when all pass.
int CheckTableForWrite(const CliEnv& env, const CTableCharRec& set, int fileCount,
                       const std::set<int>& chosen) {
    for (int i = 0; i < fileCount; ++i) {
        if (!chosen.empty() && !chosen.count(i + 1)) continue;
        const CharRecData rec = set.Get(i);
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

// The slots (0-based) to write: the chosen ones, or all that both the file and
// the meter have. -1 when they fit, otherwise the exit code (message shown).
int PlanTableWrite(const CliEnv& env, const std::set<int>& chosen, int fileCount, int meterCount,
                   std::vector<int>* todo) {
    const int limit = std::min(fileCount, meterCount);
    if (chosen.empty()) {
        for (int i = 0; i < limit; ++i) todo->push_back(i);
        return -1;
    }
    for (int slot : chosen) {
        if (slot > limit) {
            return Fail(
                env, kExitUsage,
                QStringLiteral("Charakterystyka nr %1 poza zakresem 1..%2 (plik: %3, miernik: %4)")
                    .arg(slot)
                    .arg(limit)
                    .arg(fileCount)
                    .arg(meterCount));
        }
        todo->push_back(slot - 1);
    }
    return -1;
}

// The bytes the meter holds in the slots `which` (0-based), read before anything is
// overwritten: the journal's values before. -1 when every slot was read,
// otherwise the exit code (message shown); then nothing has been written.
int ReadBefore(const CliEnv& env, Ckv60xDriver& d, const std::vector<int>& which,
               std::map<int, QByteArray>* out) {
    const int total = static_cast<int>(which.size());
    for (int k = 0; k < total; ++k) {
        const int i = which[static_cast<size_t>(k)];
        if (env.Stopped()) {
            EndProgress(env, k, total);
            return Fail(env, kExitMeter, QStringLiteral("Przerwano; nic nie zapisano."));
        }
        CharRecData rec;
        CharReadReport report;
        if (!d.ReadCharacteristic(i, rec, &report)) {
            EndProgress(env, k, total);
            return Fail(env, kExitMeter,
                        (report.fault == CharReadReport::Fault::NoAnswer
                             ? QStringLiteral("Nie można odczytać ustawień (charakterystyka nr %1)")
                                   .arg(i + 1)
                             : CharReadFailureText(report)) +
                            QStringLiteral("; nic nie zapisano."));
        }
        (*out)[i] = ImageBytes(report.image);
        Progress(env, QStringLiteral("Odczyt zastępowanych charakterystyk"), k + 1, total);
    }
    return -1;
}

// Record i of the file goes to slot i, each through the journal (nullptr:
// none) with its value before from `before`. Returns the exit code.
int WriteTableSlots(const CliEnv& env, Ckv60xDriver& d, MeterJournal* journal,
                    const std::map<int, QByteArray>& before, const CTableCharRec& set,
                    const std::vector<int>& todo) {
    const int total = static_cast<int>(todo.size());
    int done = 0;
    int skipped = 0;
    for (int k = 0; k < total; ++k) {
        const int i = todo[static_cast<size_t>(k)];
        if (env.Stopped()) {
            EndProgress(env, k, total);
            return Fail(env, kExitMeter,
                        QStringLiteral("Przerwano po zapisaniu %1 z %2 charakterystyk.")
                            .arg(done)
                            .arg(total));
        }
        CharRecData rec = set.Get(i);
        rec.REC_NUMBER = static_cast<uint8_t>(i);
        if (!rec.valid) {
            ++skipped;
        } else {
            const auto found = before.find(i);
            const auto r = JournaledCharacteristicWrite(
                journal, d,
                found == before.end() ? std::nullopt : std::optional<QByteArray>(found->second),
                rec);
            if (int rc = JournaledWriteOutcome(
                    env, r,
                    QStringLiteral("Nie można zapisać ustawień (charakterystyka nr %1)")
                        .arg(i + 1));
                rc >= 0) {
                EndProgress(env, k, total);
                return rc;
            }
            ++done;
        }
        Progress(env, QStringLiteral("Zapis charakterystyk"), k + 1, total);
    }
    env.Out(
        QStringLiteral("Zapisano charakterystyk: %1%2\n")
            .arg(done)
            .arg(skipped ? QStringLiteral(" (pominięto pustych: %1)").arg(skipped) : QString()));
    return kExitOk;
}

int TableWrite(const CliEnv& env, const QStringList& args) {
    CommandArgs a(QStringLiteral("table write"),
                  QStringLiteral("Zapisuje charakterystyki z pliku zbioru charakterystyk (.kvz) "
                                 "do miernika: podane albo wszystkie."));
    a.AddMeterOptions();
    a.AddPositional(QStringLiteral("PLIK.kvz"), QStringLiteral("Plik zbioru charakterystyk."));
    const QCommandLineOption slotList(
        QStringLiteral("slots"),
        QStringLiteral("Zapisywane charakterystyki, np. 1,3-5 (1 to pierwsza); bez tej opcji "
                       "wszystkie."),
        QStringLiteral("LISTA"));
    a.Add(slotList);
    a.Add(JournalOption());
    a.Add(NoJournalOption());
    if (int rc = a.Parse(env, args, 1, 1); rc >= 0) return rc;
    const QString path = a.Positional().at(0);
    auto set = std::make_unique<CTableCharRec>();
    FileError error;
    if (!LoadCharRecSetFile(path, set.get(), &error)) {
        return Fail(
            env, kExitUsage,
            FileFailure(QStringLiteral("Błąd w trakcie odczytu charakterystyk"), path, error));
    }
    std::set<int> chosen;
    if (a.IsSet(slotList) && !ParseSlotList(a.Value(slotList), &chosen)) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Nieprawidłowa lista charakterystyk: %1 (np. 1,3-5)")
                        .arg(a.Value(slotList)));
    }
    const int fileCount = std::min(set->Count(), CTableCharRec::kSlots);
    if (int rc = CheckTableForWrite(env, *set, fileCount, chosen); rc >= 0) return rc;
    // The journal before the meter: when it cannot be written, nothing is.
    int rc = -1;
    auto journal = OpenCommandJournal(env, JournalSettingsFor(env, a), &rc);
    if (rc >= 0) return rc;
    MeterSession s(env);
    if (rc = s.Resolve(a); rc >= 0) return rc;
    if (rc = s.Connect(false); rc >= 0) return rc;
    const int meterCount = s.SlotCount(CTableCharRec::kSlots);
    if (meterCount < 0) return kExitMeter;
    std::vector<int> todo;
    if (rc = PlanTableWrite(env, chosen, set->Count(), meterCount, &todo); rc >= 0) return rc;
    // Safety before speed: every slot about to be overwritten is read first,
    // so that the journal can give it back (not with --no-journal).
    std::map<int, QByteArray> before;
    if (journal) {
        std::vector<int> overwritten;
        for (int i : todo) {
            if (set->Get(i).valid) overwritten.push_back(i);
        }
        if (rc = ReadBefore(env, s.Driver(), overwritten, &before); rc >= 0) return rc;
    }
    return WriteTableSlots(env, s.Driver(), journal.get(), before, *set, todo);
}

}  // namespace

int CmdTable(const CliEnv& env, const QStringList& args) {
    const QString sub = args.value(0);
    if (int rc = CheckSubcommand(env, QStringLiteral("table"), sub, {"read", "write"}); rc >= 0)
        return rc;
    return sub == QLatin1String("read") ? TableRead(env, args.mid(1))
                                        : TableWrite(env, args.mid(1));
}

// ---- record -------------------------------------------------------------------

namespace {

// Reads slot `n` into the record file. Returns the exit code.
int RecordRead(const CliEnv& env, MeterSession& s, int n, const QString& path, bool service) {
    CharRecData rec;
    if (const QString failure = ReadSlot(s.Driver(), n - 1, &rec); !failure.isEmpty()) {
        return Fail(env, kExitMeter, failure);
    }
    // As the editor: a protected record is not shown outside service mode.
    if (int rc = RefuseProtected(env, service, rec); rc >= 0) return rc;
    // A record file is written only from a record the editor would accept.
    const QString message = CheckRecordForWrite(rec);
    if (!message.isEmpty()) {
        return Fail(env, kExitMeter,
                    QStringLiteral("Charakterystyka nr %1: %2").arg(n).arg(JoinLines(message)));
    }
    FileError error;
    if (!SaveCharRecFile(path, rec, &error)) {
        return Fail(
            env, kExitUsage,
            FileFailure(QStringLiteral("Błąd w trakcie zapisu charakterystyki"), path, error));
    }
    env.Out(QStringLiteral("Odczytano charakterystykę nr %1 -> %2\n").arg(n).arg(path));
    return kExitOk;
}

// Before the meter is touched: the file to write can be created, or the file to
// send loads, may be opened (a protected record needs service mode, as in the
// editor) and passes the editor's validation. -1 when it does.
int PrepareRecordFile(const CliEnv& env, bool reading, bool service, const QString& path,
                      CharRecData* rec) {
    FileError error;
    if (reading) {
        if (OutputPathUsable(path, &error)) return -1;
        return Fail(
            env, kExitUsage,
            FileFailure(QStringLiteral("Błąd w trakcie zapisu charakterystyki"), path, error));
    }
    if (!LoadCharRecFile(path, rec, &error)) {
        return Fail(
            env, kExitUsage,
            FileFailure(QStringLiteral("Błąd w trakcie odczytu charakterystyki"), path, error));
    }
    if (int rc = RefuseProtected(env, service, *rec); rc >= 0) return rc;
    const QString message = CheckRecordForWrite(*rec);
    return message.isEmpty() ? -1 : Fail(env, kExitUsage, message);
}

}  // namespace

int CmdRecord(const CliEnv& env, const QStringList& args) {
    const QString sub = args.value(0);
    if (int rc = CheckSubcommand(env, QStringLiteral("record"), sub, {"read", "write"}); rc >= 0)
        return rc;
    const bool reading = sub == QLatin1String("read");
    CommandArgs a(QStringLiteral("record ") + sub,
                  reading ? QStringLiteral("Odczytuje jedną charakterystykę miernika do pliku "
                                           "charakterystyki (.kvr).")
                          : QStringLiteral("Zapisuje plik charakterystyki (.kvr) do jednej "
                                           "charakterystyki miernika."));
    a.AddMeterOptions();
    a.Add(ServiceOption());
    const QCommandLineOption slot(QStringLiteral("slot"),
                                  QStringLiteral("Numer charakterystyki (1 to pierwsza)."),
                                  QStringLiteral("N"));
    a.Add(slot);
    if (!reading) {
        a.Add(JournalOption());
        a.Add(NoJournalOption());
    }
    a.AddPositional(QStringLiteral("PLIK.kvr"), QStringLiteral("Plik charakterystyki."));
    if (int rc = a.Parse(env, args.mid(1), 1, 1); rc >= 0) return rc;
    int n = 0;
    if (!a.IsSet(slot) || !ParseStrictInt(a.Value(slot), &n) || n < 1 || n > 255) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Podaj numer charakterystyki: --slot N (1 to pierwsza)"));
    }
    const QString path = a.Positional().at(0);
    const bool service = a.IsSet(ServiceOption());
    CharRecData rec;
    if (int rc = PrepareRecordFile(env, reading, service, path, &rec); rc >= 0) return rc;
    // The journal before the meter: when it cannot be written, nothing is.
    std::unique_ptr<MeterJournal> journal;
    if (!reading) {
        int rc = -1;
        journal = OpenCommandJournal(env, JournalSettingsFor(env, a), &rc);
        if (rc >= 0) return rc;
    }
    MeterSession s(env);
    if (int rc = s.Resolve(a); rc >= 0) return rc;
    if (int rc = s.Connect(false); rc >= 0) return rc;
    const int count = s.SlotCount(0);
    if (count < 0) return kExitMeter;
    if (n > count) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Charakterystyka nr %1 poza zakresem 1..%2").arg(n).arg(count));
    }
    if (reading) return RecordRead(env, s, n, path, service);
    rec.REC_NUMBER = static_cast<uint8_t>(n - 1);
    // The slot is read first, so that the journal can give it back.
    std::map<int, QByteArray> before;
    if (journal) {
        if (int rc = ReadBefore(env, s.Driver(), {n - 1}, &before); rc >= 0) return rc;
    }
    const auto r = JournaledCharacteristicWrite(
        journal.get(), s.Driver(),
        before.empty() ? std::nullopt : std::optional<QByteArray>(before.begin()->second), rec);
    if (int rc = JournaledWriteOutcome(
            env, r, QStringLiteral("Nie można zapisać ustawień (charakterystyka nr %1)").arg(n));
        rc >= 0)
        return rc;
    env.Out(QStringLiteral("Zapisano charakterystykę nr %1\n").arg(n));
    return kExitOk;
}

}  // namespace cli
