// table diff: the meter's characteristics against a record set file, slot by
// slot and field by field, as the bytes a write of the file would send.

#include <memory>
#include <set>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/cli_connection.h"
#include "cli/cli_table.h"
#include "cli/record_text.h"
#include "session/char_diff.h"
#include "session/char_table.h"

namespace cli {

namespace {

// {"identical": bool, "slots": [{"slot": N, "fields": [{"field", "meter", "file"}]}]},
// slots numbered from 1 as in the window.
QByteArray DiffJson(const std::vector<SlotDifference>& differences) {
    QByteArray out = "{\n  \"identical\": ";
    out += differences.empty() ? "true" : "false";
    out += ",\n  \"slots\": [";
    for (size_t s = 0; s < differences.size(); ++s) {
        const SlotDifference& d = differences[s];
        out += s ? ",\n    {" : "\n    {";
        out += "\"slot\": " + QByteArray::number(d.slot + 1) + ", \"fields\": [";
        for (size_t f = 0; f < d.fields.size(); ++f) {
            const FieldDifference& field = d.fields[f];
            out += f ? ",\n      {" : "\n      {";
            out += "\"field\": " + JsonQuoted(field.field) +
                   ", \"meter\": " + JsonQuoted(field.meter) +
                   ", \"file\": " + JsonQuoted(field.file) + "}";
        }
        out += "\n    ]}";
    }
    out += differences.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

QString DiffText(const std::vector<SlotDifference>& differences) {
    QString out;
    for (const SlotDifference& d : differences) {
        out += QStringLiteral("Charakterystyka nr %1:\n").arg(d.slot + 1);
        for (const FieldDifference& f : d.fields) {
            out +=
                QStringLiteral("  %1: miernik \"%2\", plik \"%3\"\n").arg(f.field, f.meter, f.file);
        }
    }
    return out;
}

}  // namespace

int TableDiff(const CliEnv& env, const QStringList& args) {
    CommandArgs a(QStringLiteral("table diff"),
                  QStringLiteral("Porównuje charakterystyki miernika z plikiem zbioru "
                                 "charakterystyk (.kvz): każdą z bajtami, które wysłałby do niej "
                                 "zapis pliku, i podaje różniące się pola. Nic nie zapisuje. Kod "
                                 "wyjścia 0: zgodne, 3: różnice."));
    a.AddMeterOptions();
    a.Add(ServiceOption());
    a.AddPositional(QStringLiteral("PLIK.kvz"), QStringLiteral("Plik zbioru charakterystyk."));
    const QCommandLineOption slotList(
        QStringLiteral("slots"),
        QStringLiteral("Porównywane charakterystyki, np. 1,3-5 (1 to pierwsza); bez tej opcji "
                       "wszystkie, które mają miernik i plik."),
        QStringLiteral("LISTA"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Obiekt JSON zamiast tekstu."));
    a.Add(slotList);
    a.Add(json);
    if (int rc = a.Parse(env, args, 1, 1); rc >= 0) return rc;
    auto set = std::make_unique<CTableCharRec>();
    if (int rc = LoadTableFile(env, a.Positional().at(0), set.get()); rc >= 0) return rc;
    std::set<int> chosen;
    if (int rc = ReadSlotList(env, a, slotList, &chosen); rc >= 0) return rc;
    // As in the window: the curve of a protected record only in service mode.
    const bool service = a.IsSet(ServiceOption());

    MeterSession s;
    s.SetServiceMode(service);
    if (int rc = ConnectMeter(env, a, s, false); rc >= 0) return rc;
    CharTable table(&s);
    if (!table.TakeCountFromMeter()) return Fail(env, kExitMeter, SlotCountFailureText());
    const int fileCount = std::min(set->Count(), CTableCharRec::kSlots);
    std::vector<int> planned;
    if (int rc = PlanTableWrite(env, chosen, fileCount, table.Count(), &planned); rc >= 0)
        return rc;
    // A block marked not valid (a slot the exporting table had not read) holds
    // nothing a write would send: it is not compared.
    std::vector<int> which;
    for (int i : planned) {
        if (set->Get(i).valid) which.push_back(i);
    }
    const int total = static_cast<int>(which.size());
    int done = 0;
    const CharTable::ReadResult read = table.ReadSlots(which, env.stop, [&](int, int count) {
        done = count;
        Progress(env, QStringLiteral("Odczyt charakterystyk"), count, total);
    });
    if (!read.ok) {
        EndProgress(env, done, total);
        return Fail(env, kExitMeter,
                    read.stopped ? QStringLiteral("Przerwano.") : SlotReadFailureText(read.report));
    }

    std::vector<SlotDifference> differences;
    for (int i : which) {
        std::vector<FieldDifference> fields =
            CompareSlot(ImageBytes(table.At(i).image), set->Get(i), i, service);
        if (!fields.empty()) differences.push_back({i, std::move(fields)});
    }
    if (a.IsSet(json)) {
        env.out(DiffJson(differences));
    } else {
        QString summary = DifferenceSummary(differences) +
                          QStringLiteral(" (porównano charakterystyk: %1").arg(total);
        if (const int skipped = static_cast<int>(planned.size()) - total; skipped > 0)
            summary += QStringLiteral("; bez rekordu w pliku, pominięto: %1").arg(skipped);
        if (chosen.empty() && fileCount != table.Count()) {
            summary += QStringLiteral("; plik: %1, miernik: %2").arg(fileCount).arg(table.Count());
        }
        env.Out(DiffText(differences) + summary + QStringLiteral(")\n"));
    }
    return differences.empty() ? kExitOk : kExitDiffer;
}

}  // namespace cli
