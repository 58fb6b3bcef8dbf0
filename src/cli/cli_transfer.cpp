// Characteristics between the meter and the record files: table read/write
// (every slot and a .kvz) and record read/write (one slot and a .kvr).

#include <QRegularExpression>
#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/cli_connection.h"
#include "cli/cli_table.h"
#include "cli/record_text.h"
#include "records/record_files.h"
#include "session/char_table.h"

namespace cli {

// ---- what the table commands share (cli_table.h) -------------------------------

int LoadTableFile(const CliEnv& env, const QString& path, CTableCharRec* set) {
    FileError error;
    if (LoadCharRecSetFile(path, set, &error)) return -1;
    return Fail(env, kExitUsage,
                FileFailure(QStringLiteral("Błąd w trakcie odczytu charakterystyk"), path, error));
}

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

int ReadSlotList(const CliEnv& env, const CommandArgs& args, const QCommandLineOption& option,
                 std::set<int>* chosen) {
    if (!args.IsSet(option) || ParseSlotList(args.Value(option), chosen)) return -1;
    return Fail(env, kExitUsage,
                QStringLiteral("Nieprawidłowa lista charakterystyk: %1 (np. 1,3-5)")
                    .arg(args.Value(option)));
}

void Progress(const CliEnv& env, const QString& what, int done, int total) {
    if (!env.progress) return;
    env.Err(QStringLiteral("\r%1: %2/%3").arg(what).arg(done).arg(total) +
            (done == total ? "\n" : ""));
}

void EndProgress(const CliEnv& env, int done, int total) {
    if (env.progress && done != total) env.Err(QStringLiteral("\n"));
}

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

namespace {

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
    MeterSession s;
    if (int rc = ConnectMeter(env, a, s, false); rc >= 0) return rc;
    CharTable table(&s);
    if (!table.TakeCountFromMeter()) return Fail(env, kExitMeter, SlotCountFailureText());
    const int n = table.Count();
    // A slot that cannot be read ends the command without a file: nothing
    // blank is passed on as the meter's record.
    int done = 0;
    const CharTable::ReadResult read = table.ReadAll(env.stop, [&](int, int count) {
        done = count;
        Progress(env, QStringLiteral("Odczyt charakterystyk"), count, n);
    });
    if (!read.ok) {
        EndProgress(env, done, n);
        return Fail(env, kExitMeter,
                    read.stopped ? QStringLiteral("Przerwano; plik nie został zapisany.")
                                 : SlotReadFailureText(read.report));
    }
    auto set = std::make_unique<CTableCharRec>();
    table.Export(set.get());
    if (!SaveCharRecSetFile(path, *set, &error))
        return Fail(env, kExitUsage, FileFailure(failedWrite, path, error));
    env.Out(QStringLiteral("Odczytano charakterystyk: %1 -> %2\n").arg(n).arg(path));
    return kExitOk;
}

// The bytes the meter holds in the slots about to be overwritten (the table's
// changed ones), read before anything is written: the journal's values before.
// -1 when every slot was read, otherwise the exit code (message shown); then
// nothing has been written.
int ReadBefore(const CliEnv& env, CharTable& table) {
    const std::vector<int> which = table.ChangedSlots();
    const int total = static_cast<int>(which.size());
    int done = 0;
    const CharTable::ReadResult read = table.ReadSlots(which, env.stop, [&](int, int count) {
        done = count;
        Progress(env, QStringLiteral("Odczyt zastępowanych charakterystyk"), count, total);
    });
    if (read.ok) return -1;
    EndProgress(env, done, total);
    if (read.stopped) return Fail(env, kExitMeter, QStringLiteral("Przerwano; nic nie zapisano."));
    return Fail(env, kExitMeter,
                SlotReadFailureText(read.report) + QStringLiteral("; nic nie zapisano."));
}

// Writes the table's changed slots through the batch. `todo` are the chosen
// slots in order, `skipped` of them without a record (never sent); the
// progress counts them all. Returns the exit code.
int WriteTableSlots(const CliEnv& env, CharTable& table, WriteBatch& batch,
                    const std::vector<int>& todo, int skipped) {
    const int total = static_cast<int>(todo.size());
    const QString what = QStringLiteral("Zapis charakterystyk");
    int shown = 0;
    const CharTable::WriteResult r = table.WriteChanged(batch, env.stop, [&](int slot, int) {
        shown = static_cast<int>(std::find(todo.begin(), todo.end(), slot) - todo.begin()) + 1;
        Progress(env, what, shown, total);
    });
    if (!r.ok) {
        EndProgress(env, shown, total);
        if (r.stopped) {
            return Fail(env, kExitMeter,
                        QStringLiteral("Przerwano po zapisaniu %1 z %2 charakterystyk.")
                            .arg(r.written)
                            .arg(total));
        }
        // As a single write: the journal stopped it (2) or the meter failed (1).
        const bool meter = r.beforeReadFailed ||
                           (r.failedWrite && r.failedWrite->status == WriteStatus::MeterFailed);
        return Fail(env, meter ? kExitMeter : kExitUsage, r.message);
    }
    if (shown < total) Progress(env, what, total, total);
    // Every slot reached the meter; the journal could not say so.
    if (!r.message.isEmpty()) env.Err(JoinLines(r.message) + "\n");
    env.Out(
        QStringLiteral("Zapisano charakterystyk: %1%2\n")
            .arg(r.written)
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
    auto set = std::make_unique<CTableCharRec>();
    if (int rc = LoadTableFile(env, a.Positional().at(0), set.get()); rc >= 0) return rc;
    std::set<int> chosen;
    if (int rc = ReadSlotList(env, a, slotList, &chosen); rc >= 0) return rc;
    const int fileCount = std::min(set->Count(), CTableCharRec::kSlots);
    if (int rc = CheckTableForWrite(env, *set, fileCount, chosen); rc >= 0) return rc;
    // The journal before the meter: when it cannot be written, nothing is.
    MeterSession s;
    s.SetJournal(JournalSettingsFor(env, a));
    WriteBatch batch(s);
    if (int rc = OpenJournal(env, batch); rc >= 0) return rc;
    if (int rc = ConnectMeter(env, a, s, false); rc >= 0) return rc;
    CharTable table(&s);
    if (!table.TakeCountFromMeter()) return Fail(env, kExitMeter, SlotCountFailureText());
    std::vector<int> todo;
    if (int rc = PlanTableWrite(env, chosen, set->Count(), table.Count(), &todo); rc >= 0)
        return rc;
    // Record i of the file goes to slot i; a block marked not valid is never sent.
    int skipped = 0;
    for (int i : todo) {
        const CharRecData rec = set->Get(i);
        if (rec.valid) {
            table.Edit(i, rec, true);
        } else {
            ++skipped;
        }
    }
    // Safety before speed: every slot about to be overwritten is read first,
    // so that the journal can give it back (not with --no-journal).
    if (batch.Journaled()) {
        if (int rc = ReadBefore(env, table); rc >= 0) return rc;
    }
    return WriteTableSlots(env, table, batch, todo, skipped);
}

}  // namespace

int CmdTable(const CliEnv& env, const QStringList& args) {
    const QString sub = args.value(0);
    if (int rc = CheckSubcommand(env, QStringLiteral("table"), sub, {"read", "write", "diff"});
        rc >= 0)
        return rc;
    if (sub == QLatin1String("diff")) return TableDiff(env, args.mid(1));
    return sub == QLatin1String("read") ? TableRead(env, args.mid(1))
                                        : TableWrite(env, args.mid(1));
}

// ---- record -------------------------------------------------------------------

namespace {

// Reads slot `n` into the record file. Returns the exit code.
int RecordRead(const CliEnv& env, MeterSession& s, int n, const QString& path, bool service) {
    CharRecData rec;
    CharReadReport report;
    if (!s.ReadCharacteristic(n - 1, &rec, &report)) {
        return Fail(env, kExitMeter, SlotReadFailureText(report));
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

// Writes `rec` to slot `n` through the batch. With a journal the slot is read
// first, so that the journal can give it back. Returns the exit code.
int RecordWrite(const CliEnv& env, MeterSession& s, WriteBatch& batch, int n, CharRecData rec) {
    rec.REC_NUMBER = static_cast<uint8_t>(n - 1);
    std::optional<QByteArray> before;
    if (batch.Journaled()) {
        if (env.Stopped()) {
            EndProgress(env, 0, 1);
            return Fail(env, kExitMeter, QStringLiteral("Przerwano; nic nie zapisano."));
        }
        CharRecData held;
        CharReadReport report;
        if (!s.ReadCharacteristic(n - 1, &held, &report)) {
            EndProgress(env, 0, 1);
            return Fail(env, kExitMeter,
                        SlotReadFailureText(report) + QStringLiteral("; nic nie zapisano."));
        }
        before = ImageBytes(report.image);
        Progress(env, QStringLiteral("Odczyt zastępowanych charakterystyk"), 1, 1);
    }
    const WriteOutcome r = batch.Write(MeterWrite::Characteristic(rec, before));
    if (int rc = WriteOutcomeCode(env, r, WriteFailureText(JournalTarget::Characteristic, n - 1));
        rc >= 0)
        return rc;
    env.Out(QStringLiteral("Zapisano charakterystykę nr %1\n").arg(n));
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
    MeterSession s;
    s.SetServiceMode(service);
    if (!reading) s.SetJournal(JournalSettingsFor(env, a));
    WriteBatch batch(s);
    if (int rc = OpenJournal(env, batch); rc >= 0) return rc;
    if (int rc = ConnectMeter(env, a, s, false); rc >= 0) return rc;
    const int count = s.SlotCount();
    if (count < 0) return Fail(env, kExitMeter, SlotCountFailureText());
    if (n > count) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Charakterystyka nr %1 poza zakresem 1..%2").arg(n).arg(count));
    }
    if (reading) return RecordRead(env, s, n, path, service);
    return RecordWrite(env, s, batch, n, rec);
}

}  // namespace cli
