// kv60x-cli commission: a meter brought to what was asked (its table of
// characteristics from a file, serial number, panel letter, startup date,
// electrode coefficient). The meter is read, only what differs is written,
// every write through one journal batch opened before the meter is touched,
// then everything asked is read back and compared with what was asked.

#include "cli/cli_commission.h"

#include <map>
#include <memory>
#include <optional>
#include <set>

#include "cli/cli_commands.h"
#include "cli/cli_connection.h"
#include "cli/cli_service.h"
#include "cli/cli_table.h"
#include "journal/journal_location.h"
#include "meter/meter_float.h"
#include "session/char_diff.h"
#include "session/char_table.h"

namespace cli {

namespace {

// What the command line asked for, checked before the port is opened. The
// service values in the order they are written: the serial number first, so
// that every later entry of the journal carries the number the meter has from
// then on (a restore finds its meter by it); the letter, the rest of the
// identity, next; then the startup date and the coefficient. The table comes
// last: it is the long part, and a commission stopped in it leaves a meter
// whose identity is already the one its entries name.
struct Task {
    std::vector<MeterWrite> service;
    std::unique_ptr<CTableCharRec> table;  // null: no --table
    std::set<int> chosen;                  // --slots, 1 the first; empty: all
};

// The value a meter holds for a coefficient: its single-precision form, the
// mantissa cut as the meter's encoding cuts it. A commission asks for that
// value, so that the comparison before, the journal's value after and the
// check after writing all speak of what the meter can hold.
double MeterHeldCoefficient(double asked) {
    return DecodeMeterFloat(EncodeMeterFloat(asked).c_str());
}

QString ValueText(JournalTarget target, const std::optional<QByteArray>& value) {
    return JournalValueText(target, value);
}

class Commission {
public:
    Commission(const CliEnv& env, MeterSession& session, WriteBatch& batch, const Task& task,
               CommissionRun& run)
        : m_env(env), m_s(session), m_batch(batch), m_task(task), m_run(run), m_table(&session) {}

    // The whole commission; the exit code (a failure's line shown).
    int Run();

private:
    int ReadMeter();
    std::optional<QByteArray> Held(JournalTarget target) const;
    void Plan();
    int Write();
    int WriteSlots(int first);
    int Check();
    void ShowStep(const CommissionStep& step, int index, const QString& what) const;
    int StepFailure(int index, int code, const QString& why, bool sayEarlier);
    int Failed(int code, const QString& line);
    int WrittenBefore(int index) const;
    int StepCount() const { return static_cast<int>(m_run.steps.size()); }

    const CliEnv& m_env;
    MeterSession& m_s;
    WriteBatch& m_batch;
    const Task& m_task;
    CommissionRun& m_run;
    CharTable m_table;
    std::vector<int> m_slots;                 // the file's slots compared (0-based)
    std::vector<MeterWrite> m_serviceWrites;  // the service steps' writes, in step order
    MeterSnapshot m_meter;                    // identity, serial number, date as read
    ElectrodeCoefficient m_coefficient;       // as read (when asked for)
};

int Commission::Failed(int code, const QString& line) {
    m_run.failure = JoinLines(line);
    m_run.exitCode = code;
    return Fail(m_env, code, line);
}

// ---- reading

int Commission::ReadMeter() {
    const QString step = QStringLiteral("Odczyt miernika: ");
    const QString nothing = QStringLiteral(" Nic nie zapisano.");
    if (!m_s.ReadCommissioningData())
        return Failed(kExitMeter,
                      step + QStringLiteral("Brak komunikacji z urządzeniem.") + nothing);
    m_meter = m_s.Snapshot();
    m_run.meterBefore = m_s.Stamp();
    for (const MeterWrite& w : m_task.service) {
        if (w.target == JournalTarget::ElectrodeCoefficient &&
            !m_s.ReadElectrodeCoefficient(&m_coefficient)) {
            return Failed(kExitMeter,
                          step + QStringLiteral("Nie można odczytać ustawień.") + nothing);
        }
    }
    if (!m_task.table) return -1;
    if (!m_table.TakeCountFromMeter())
        return Failed(kExitMeter, step + SlotCountFailureText() + QChar('.') + nothing);
    const int fileCount = m_task.table->Count();
    std::vector<int> planned;
    if (int rc = PlanTableWrite(m_env, m_task.chosen, fileCount, m_table.Count(), &planned);
        rc >= 0) {
        m_run.exitCode = rc;
        return rc;
    }
    // A block marked not valid is never sent, as in table write.
    for (int i : planned) {
        if (m_task.table->Get(i).valid) m_slots.push_back(i);
    }
    m_run.slotsSkipped = static_cast<int>(planned.size() - m_slots.size());
    const int total = static_cast<int>(m_slots.size());
    int done = 0;
    const CharTable::ReadResult read = m_table.ReadSlots(m_slots, m_env.stop, [&](int, int count) {
        done = count;
        Progress(m_env, QStringLiteral("Odczyt charakterystyk"), count, total);
    });
    if (!read.ok) {
        EndProgress(m_env, done, total);
        return Failed(kExitMeter, read.stopped ? QStringLiteral("Przerwano; nic nie zapisano.")
                                               : step + SlotReadFailureText(read.report) +
                                                     QStringLiteral("; nic nie zapisano."));
    }
    m_run.slotsCompared = total;
    return -1;
}

// What the meter holds of a service value, in the journal's stored form, as
// last read; nullopt when it never answered.
std::optional<QByteArray> Commission::Held(JournalTarget target) const {
    switch (target) {
        case JournalTarget::SerialNumber:
            if (m_meter.serialNumber.valid)
                return SerialNumberValue(m_meter.serialNumber.serialNumber);
            break;
        case JournalTarget::VersionLetter:
            if (m_meter.identity.valid) return VersionLetterValue(m_meter.identity.versionLetter);
            break;
        case JournalTarget::StartupDate:
            if (m_meter.startupDate.valid)
                return StartupDateValue(m_meter.startupDate.year, m_meter.startupDate.month);
            break;
        case JournalTarget::ElectrodeCoefficient:
            if (m_coefficient.valid) return CoefficientValue(m_coefficient.coefficient);
            break;
        case JournalTarget::Characteristic:
            break;
    }
    return std::nullopt;
}

// ---- planning

void Commission::Plan() {
    for (const MeterWrite& w : m_task.service) {
        const std::optional<QByteArray> held = Held(w.target);
        if (held && *held == w.after) continue;
        CommissionStep step;
        step.target = w.target;
        step.name = TargetText(w.target, -1);
        step.meter = ValueText(w.target, held);
        step.asked = ValueText(w.target, w.after);
        m_run.steps.push_back(step);
        m_serviceWrites.push_back(w);
    }
    for (int i : m_slots) {
        const QByteArray meter = ImageBytes(m_table.At(i).image);
        const CharRecData rec = m_task.table->Get(i);
        const std::vector<FieldDifference> fields = CompareSlot(meter, rec, i, true);
        if (fields.empty()) continue;
        CommissionStep step;
        step.target = JournalTarget::Characteristic;
        step.slot = i;
        step.name = TargetText(JournalTarget::Characteristic, i);
        step.meter = ValueText(step.target, meter);
        CharRecData sent = rec;
        sent.REC_NUMBER = static_cast<uint8_t>(i);
        step.asked = ValueText(step.target, ImageBytes(EncodeCharImage(sent)));
        for (const FieldDifference& f : fields) step.fields << f.field;
        m_run.steps.push_back(step);
    }
}

// ---- writing

void Commission::ShowStep(const CommissionStep& step, int index, const QString& what) const {
    QString line = QStringLiteral("%1 %2/%3: %4: ")
                       .arg(what)
                       .arg(index + 1)
                       .arg(m_run.steps.size())
                       .arg(step.name);
    if (step.state == CommissionStep::State::Unchanged) {
        line += QStringLiteral("bez zmian (miernik ma już tę wartość)");
    } else {
        line += step.meter + QStringLiteral(" -> ") + step.asked;
        if (!step.fields.isEmpty() && m_run.dryRun)
            line += QStringLiteral(" (%1)").arg(step.fields.join(QStringLiteral(", ")));
    }
    m_env.Out(line + QChar('\n'));
}

int Commission::WrittenBefore(int index) const {
    int n = 0;
    for (int i = 0; i < index; ++i)
        n += m_run.steps[static_cast<size_t>(i)].state == CommissionStep::State::Written;
    return n;
}

// The line of a step that stopped the commission: which step, why, and that
// the writes before it stay in the journal (they can be restored from there).
int Commission::StepFailure(int index, int code, const QString& why, bool sayEarlier) {
    CommissionStep& step = m_run.steps[static_cast<size_t>(index)];
    step.state = CommissionStep::State::Failed;
    QString line = QStringLiteral("Uruchomienie przerwane w kroku %1 z %2 (%3): %4")
                       .arg(index + 1)
                       .arg(m_run.steps.size())
                       .arg(step.name, why);
    const int earlier = WrittenBefore(index);
    if (sayEarlier && earlier > 0) {
        line +=
            m_batch.Journaled()
                ? QStringLiteral("; wcześniejsze zapisy (%1) są w dzienniku zmian.").arg(earlier)
                : QStringLiteral("; wcześniejsze zapisy: %1 (bez dziennika).").arg(earlier);
    }
    return Failed(code, line);
}

int Commission::Write() {
    const int serviceSteps = static_cast<int>(m_serviceWrites.size());
    for (int i = 0; i < serviceSteps; ++i) {
        CommissionStep& step = m_run.steps[static_cast<size_t>(i)];
        if (m_env.Stopped()) return StepFailure(i, kExitMeter, QStringLiteral("przerwano."), true);
        const WriteOutcome r = m_batch.Write(m_serviceWrites[static_cast<size_t>(i)]);
        step.entryId = r.entryId;
        if (!r.ok()) {
            const int code =
                r.status == WriteStatus::MeterFailed || r.status == WriteStatus::Unconfirmed
                    ? kExitMeter
                    : kExitUsage;
            // A journal that stops a later write: what reached the meter is said.
            if (r.status == WriteStatus::JournalBlocked && WrittenBefore(i) > 0) {
                return StepFailure(i, code,
                                   JournalStoppedPassText(WrittenBefore(i), StepCount(), r.message),
                                   false);
            }
            return StepFailure(i, code, r.Text(WriteFailureText(step.target, -1)), true);
        }
        step.state = r.status == WriteStatus::Confirmed ? CommissionStep::State::Written
                                                        : CommissionStep::State::Unchanged;
        ShowStep(step, i, QStringLiteral("Zapis"));
        // Written; the journal could not say so.
        if (!r.message.isEmpty()) m_env.Err(JoinLines(r.message) + QChar('\n'));
    }
    return WriteSlots(serviceSteps);
}

// The slots that differ, through the table's write of its changed slots: the
// bytes read before are each entry's value before.
int Commission::WriteSlots(int first) {
    std::map<int, int> stepOf;  // slot -> step index
    for (int i = first; i < static_cast<int>(m_run.steps.size()); ++i) {
        const CommissionStep& step = m_run.steps[static_cast<size_t>(i)];
        stepOf[step.slot] = i;
        m_table.Edit(step.slot, m_task.table->Get(step.slot), true);
    }
    if (stepOf.empty()) return -1;
    const CharTable::WriteResult r = m_table.WriteChanged(m_batch, m_env.stop, [&](int slot, int) {
        const int index = stepOf[slot];
        CommissionStep& step = m_run.steps[static_cast<size_t>(index)];
        step.state = CommissionStep::State::Written;
        ShowStep(step, index, QStringLiteral("Zapis"));
    });
    if (r.ok) {
        if (!r.message.isEmpty()) m_env.Err(JoinLines(r.message) + QChar('\n'));
        return -1;
    }
    int index = first + r.written;
    if (r.failedSlot >= 0 && stepOf.count(r.failedSlot)) index = stepOf[r.failedSlot];
    if (index >= static_cast<int>(m_run.steps.size()))
        index = static_cast<int>(m_run.steps.size()) - 1;
    if (r.stopped) return StepFailure(index, kExitMeter, QStringLiteral("przerwano."), true);
    if (!r.failedWrite) return StepFailure(index, kExitMeter, r.message, true);
    const WriteOutcome& w = *r.failedWrite;
    const bool meter = w.status == WriteStatus::MeterFailed || w.status == WriteStatus::Unconfirmed;
    if (w.status == WriteStatus::JournalBlocked && WrittenBefore(index) > 0) {
        return StepFailure(index, kExitUsage,
                           JournalStoppedPassText(WrittenBefore(index), StepCount(), w.message),
                           false);
    }
    return StepFailure(index, meter ? kExitMeter : kExitUsage,
                       w.Text(WriteFailureText(JournalTarget::Characteristic, r.failedSlot)), true);
}

// ---- the check

int Commission::Check() {
    const QString step = QStringLiteral("Sprawdzenie: ");
    if (!m_s.ReadCommissioningData())
        return Failed(kExitMeter, step + QStringLiteral("Brak komunikacji z urządzeniem."));
    m_meter = m_s.Snapshot();
    QStringList wrong;
    for (const MeterWrite& w : m_task.service) {
        if (w.target == JournalTarget::ElectrodeCoefficient &&
            !m_s.ReadElectrodeCoefficient(&m_coefficient)) {
            return Failed(kExitMeter, step + QStringLiteral("Nie można odczytać ustawień"));
        }
        const std::optional<QByteArray> held = Held(w.target);
        if (held && *held == w.after) continue;
        wrong << QStringLiteral("%1 (miernik: %2, zadanie: %3)")
                     .arg(TargetText(w.target, -1), ValueText(w.target, held),
                          ValueText(w.target, w.after));
    }
    const int total = static_cast<int>(m_slots.size());
    int done = 0;
    const CharTable::ReadResult read = m_table.ReadSlots(m_slots, m_env.stop, [&](int, int count) {
        done = count;
        Progress(m_env, QStringLiteral("Sprawdzenie charakterystyk"), count, total);
    });
    if (!read.ok) {
        EndProgress(m_env, done, total);
        return Failed(kExitMeter, step + (read.stopped ? QStringLiteral("przerwano.")
                                                       : SlotReadFailureText(read.report)));
    }
    for (int i : m_slots) {
        const std::vector<FieldDifference> fields =
            CompareSlot(ImageBytes(m_table.At(i).image), m_task.table->Get(i), i, true);
        if (fields.empty()) continue;
        QStringList names;
        for (const FieldDifference& f : fields) names << f.field;
        wrong << QStringLiteral("%1 (%2)").arg(TargetText(JournalTarget::Characteristic, i),
                                               names.join(QStringLiteral(", ")));
    }
    m_run.meterAfter = m_s.Stamp();
    if (!wrong.isEmpty()) {
        return Failed(kExitMeter, step + QStringLiteral("miernik niezgodny z zadaniem: ") +
                                      wrong.join(QStringLiteral("; ")));
    }
    m_run.verified = true;
    m_env.Out(QStringLiteral("Sprawdzenie: zgodne z zadaniem (wartości serwisowych: %1, "
                             "charakterystyk: %2)\n")
                  .arg(m_task.service.size())
                  .arg(total));
    return -1;
}

int Commission::Run() {
    if (int rc = ReadMeter(); rc >= 0) return rc;
    Plan();
    QString read = QStringLiteral("Odczyt: %1; porównano wartości serwisowych: %2")
                       .arg(MeterText(m_run.meterBefore))
                       .arg(m_task.service.size());
    if (m_task.table) read += QStringLiteral(", charakterystyk: %1").arg(m_run.slotsCompared);
    if (m_run.slotsSkipped > 0)
        read += QStringLiteral(" (bez rekordu w pliku, pominięto: %1)").arg(m_run.slotsSkipped);
    m_env.Out(read + QStringLiteral("; do zapisu: %1\n").arg(m_run.steps.size()));
    if (m_run.steps.empty()) {
        m_env.Out(QStringLiteral("Miernik zgodny z zadaniem; nic nie zapisano.\n"));
        return kExitOk;
    }
    if (m_run.dryRun) {
        for (size_t i = 0; i < m_run.steps.size(); ++i)
            ShowStep(m_run.steps[i], static_cast<int>(i), QStringLiteral("Do zapisu"));
        m_env.Out(QStringLiteral("Próba (--dry-run): do zapisu %1; nic nie zapisano.\n")
                      .arg(m_run.steps.size()));
        return kExitOk;
    }
    if (int rc = Write(); rc >= 0) return rc;
    if (int rc = Check(); rc >= 0) return rc;
    const int written = WrittenBefore(static_cast<int>(m_run.steps.size()));
    QString summary = QStringLiteral("Uruchomienie zakończone: zapisano %1 z %2")
                          .arg(written)
                          .arg(m_run.steps.size());
    if (const int same = static_cast<int>(m_run.steps.size()) - written; same > 0)
        summary += QStringLiteral(" (bez zmian: %1)").arg(same);
    m_env.Out(summary +
              QStringLiteral("; miernik %1 zgodny z zadaniem.\n").arg(MeterText(m_run.meterAfter)));
    return kExitOk;
}

// ---- the command line

// --serial, --letter, --date, --coefficient and their checks, in the order
// they are written.
struct ServiceArgument {
    const QCommandLineOption* option;
    int (*check)(const CliEnv&, ServiceValue*);
};

// Each value checked as the service commands check it. -1 when all may be
// written, otherwise the exit code (message shown).
int ReadServiceValues(const CliEnv& env, const CommandArgs& a,
                      const std::vector<ServiceArgument>& arguments, Task* task) {
    for (const auto& [option, check] : arguments) {
        if (!a.IsSet(*option)) continue;
        ServiceValue v;
        v.text = a.Value(*option);
        if (int rc = check(env, &v); rc >= 0) return rc;
        if (!v.write) {  // an empty coefficient: the service command only reads it
            return Fail(env, kExitUsage,
                        QStringLiteral("Podaj prawidłową wartość współczynnika: %1").arg(v.text));
        }
        if (v.write->target == JournalTarget::ElectrodeCoefficient) {
            const double asked = *CoefficientFromValue(v.write->after);
            const double held = MeterHeldCoefficient(asked);
            // Beyond the meter's float the meter would hold 0: refused, not
            // written and then reported as the 0 read back.
            if (held == 0 && asked != 0) {
                return Fail(env, kExitUsage,
                            QStringLiteral("Współczynnik poza zakresem miernika: %1").arg(v.text));
            }
            v.write = MeterWrite::ElectrodeCoefficient(held);
        }
        // The limits a write checks, before the port is opened.
        if (const QString refused = CheckWriteLimits(*v.write); !refused.isEmpty())
            return Fail(env, kExitUsage, refused);
        task->service.push_back(*v.write);
    }
    return -1;
}

// The commission's steps as the report lists them.
std::vector<ReportCheck> CommissionChecks(const CommissionRun& run) {
    std::vector<ReportCheck> checks;
    for (const CommissionStep& step : run.steps) {
        ReportCheck c;
        c.what = step.name;
        switch (step.state) {
            case CommissionStep::State::Written:
                c.result = QStringLiteral("zapisano: %1 (było: %2)").arg(step.asked, step.meter);
                break;
            case CommissionStep::State::Unchanged:
                c.result = QStringLiteral("bez zmian: %1").arg(step.asked);
                break;
            case CommissionStep::State::Planned:
                c.result = QStringLiteral("nie zapisano: %1").arg(step.asked);
                c.passed = false;
                break;
            case CommissionStep::State::Failed:
                c.result = QStringLiteral("błąd: %1").arg(run.failure);
                c.passed = false;
                break;
        }
        if (step.entryId > 0) c.result += QStringLiteral(" (wpis nr %1)").arg(step.entryId);
        checks.push_back(c);
    }
    ReportCheck verified;
    verified.what = QStringLiteral("Odczyt kontrolny");
    verified.result = run.verified
                          ? QStringLiteral("zgodny z zadaniem")
                          : (run.failure.isEmpty() ? QStringLiteral("nie wykonano") : run.failure);
    verified.passed = run.verified;
    checks.push_back(verified);
    return checks;
}

}  // namespace

int CmdCommission(const CliEnv& env, const QStringList& args) {
    CommandArgs a(
        QStringLiteral("commission"),
        QStringLiteral("Uruchomienie miernika: odczytuje miernik, zapisuje tylko to, czym "
                       "różni się od zadania (charakterystyki z pliku, numer seryjny, typ "
                       "panelu, data uruchamiania, współczynnik kształtu elektrod), każdy "
                       "zapis przez dziennik zmian, a potem odczytuje wszystko ponownie "
                       "i porównuje z zadaniem. Pierwszy błąd przerywa (kod 1, z nazwą "
                       "kroku); wcześniejsze zapisy zostają w dzienniku."));
    a.AddMeterOptions();
    a.Add(ServiceOption());
    a.Add(JournalOption());
    a.Add(NoJournalOption());
    const QCommandLineOption table(
        QStringLiteral("table"), QStringLiteral("Plik zbioru charakterystyk (.kvz) do zapisania."),
        QStringLiteral("PLIK.kvz"));
    const QCommandLineOption slotList(
        QStringLiteral("slots"),
        QStringLiteral("Tylko te charakterystyki pliku, np. 1,3-5 (1 to pierwsza)."),
        QStringLiteral("LISTA"));
    const QCommandLineOption serial(QStringLiteral("serial"),
                                    QStringLiteral("Numer seryjny (1 lub więcej)."),
                                    QStringLiteral("N"));
    const QCommandLineOption letter(QStringLiteral("letter"),
                                    QStringLiteral("Litera wersji (typ panelu), jeden znak."),
                                    QStringLiteral("ZNAK"));
    const QCommandLineOption date(
        QStringLiteral("date"),
        QStringLiteral("Data uruchamiania (rok 2000..2099, miesiąc 1..12)."),
        QStringLiteral("RRRR-MM"));
    const QCommandLineOption coefficient(
        QStringLiteral("coefficient"),
        QStringLiteral("Współczynnik kształtu elektrod; przecinek jest przyjmowany jako znak "
                       "dziesiętny."),
        QStringLiteral("X"));
    const QCommandLineOption dryRun(
        QStringLiteral("dry-run"),
        QStringLiteral("Tylko pokazuje, co zostałoby zapisane; nic nie zapisuje."));
    const QCommandLineOption report(
        QStringLiteral("report"),
        QStringLiteral("Zapisuje raport miernika (PDF) z przebiegiem uruchomienia; cała tabela "
                       "jest wtedy odczytywana jeszcze raz."),
        QStringLiteral("PLIK.pdf"));
    for (const QCommandLineOption* o :
         {&table, &slotList, &serial, &letter, &date, &coefficient, &dryRun, &report})
        a.Add(*o);
    if (int rc = a.Parse(env, args, 0, 0); rc >= 0) return rc;
    // The window offers these only in service mode.
    if (!a.IsSet(ServiceOption())) return Fail(env, kExitUsage, ServiceModeRequiredText());

    Task task;
    if (int rc = ReadServiceValues(env, a,
                                   {{&serial, CheckSerialValue},
                                    {&letter, CheckLetterValue},
                                    {&date, CheckDateValue},
                                    {&coefficient, CheckCoefficientValue}},
                                   &task);
        rc >= 0)
        return rc;
    if (a.IsSet(slotList) && !a.IsSet(table))
        return Fail(env, kExitUsage, QStringLiteral("Opcja --slots wymaga --table PLIK.kvz"));
    if (a.IsSet(table)) {
        task.table = std::make_unique<CTableCharRec>();
        if (int rc = LoadTableFile(env, a.Value(table), task.table.get()); rc >= 0) return rc;
        if (int rc = ReadSlotList(env, a, slotList, &task.chosen); rc >= 0) return rc;
        if (int rc = CheckTableForWrite(env, *task.table, task.table->Count(), task.chosen);
            rc >= 0)
            return rc;
    }
    if (task.service.empty() && !task.table) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Podaj, co zapisać: --table, --serial, --letter, --date albo "
                                   "--coefficient"));
    }
    const QString reportPath = a.Value(report);
    if (a.IsSet(report)) {
        FileError error;
        if (reportPath.isEmpty() || !OutputPathUsable(reportPath, &error)) {
            return Fail(
                env, kExitUsage,
                FileFailure(QStringLiteral("Nie można zapisać raportu"), reportPath, error));
        }
    }

    CommissionRun run;
    run.dryRun = a.IsSet(dryRun);
    // The journal before the meter: when it cannot be written, nothing is. A
    // dry run writes nothing and needs none.
    MeterSession s;
    s.SetServiceMode(true);
    if (!run.dryRun) s.SetJournal(JournalSettingsFor(env, a));
    WriteBatch batch(s);
    if (int rc = OpenJournal(env, batch); rc >= 0) return rc;
    if (int rc = ConnectMeter(env, a, s, false); rc >= 0) return rc;
    Commission commission(env, s, batch, task, run);
    const int rc = commission.Run();
    if (!a.IsSet(report)) return rc;
    // The report says how the commission went, a failed one too; it is drawn
    // from the meter as it is now.
    batch.Close();
    MeterReportRequest request;
    request.serviceMode = true;
    request.journalPath = ResolveJournalPath(a.Value(JournalOption()), QString());
    request.journalBusyTimeoutMs = env.journalBusyTimeoutMs;
    request.reference = task.table.get();
    request.referencePath = a.Value(table);
    const int written = WriteMeterReport(env, s, request, reportPath, CommissionChecks(run),
                                         QStringLiteral("Uruchomienie miernika"));
    return rc != kExitOk ? rc : written;
}

}  // namespace cli
