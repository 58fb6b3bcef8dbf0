#include "report/report_model.h"

#include <QByteArray>

#include "journal/journal_db.h"
#include "journal/journal_location.h"
#include "kv60x_version.h"
#include "records/char_rec.h"
#include "session/char_table.h"

namespace {

constexpr int kJournalPage = 500;

}  // namespace

MeterReport NewMeterReport(bool serviceMode) {
    MeterReport r;
    r.created = QDateTime::currentDateTime();
    r.programVersion = QStringLiteral(KV60X_VERSION);
    r.user = JournalUserName();
    r.serviceMode = serviceMode;
    return r;
}

ReportMeter ReportMeterOf(const MeterSnapshot& m, const ElectrodeCoefficient& electrode) {
    ReportMeter r;
    r.identity = m.identity;
    r.serialNumber = m.serialNumber;
    r.startupDate = m.startupDate;
    r.condition = m.condition;
    r.temperature = m.temperature;
    r.count = m.count;
    r.electrode = electrode;
    return r;
}

void AddTableSlots(MeterReport* report, const CharTable& table) {
    report->table.clear();
    for (int i = 0; i < table.Count(); ++i) {
        ReportSlot s;
        s.slot = i;
        s.rec = table.Record(i);
        report->table.push_back(s);
    }
}

void AddSetSlots(MeterReport* report, const CTableCharRec& set, const QString& path) {
    report->setFile = path;
    report->table.clear();
    for (int i = 0; i < set.Count(); ++i) {
        ReportSlot s;
        s.slot = i;
        s.rec = set.Get(i);
        report->table.push_back(s);
    }
}

void CompareWithReference(MeterReport* report, const CharTable& table,
                          const CTableCharRec& reference, const QString& path) {
    report->referenceFile = path;
    report->referenceCount = reference.Count();
    for (ReportSlot& s : report->table) {
        ReportComparison c;
        const CharTable::Slot held = table.At(s.slot);
        if (!held.read) {
            c.kind = ReportComparison::Kind::NotRead;
        } else if (s.slot >= reference.Count() || !reference.Get(s.slot).valid) {
            c.kind = ReportComparison::Kind::NotInFile;
        } else {
            const QByteArray image(reinterpret_cast<const char*>(held.image.data()),
                                   static_cast<int>(held.image.size()));
            c.differences = CompareSlot(image, reference.Get(s.slot), s.slot, report->serviceMode);
        }
        s.comparison = c;
    }
}

bool AddJournalEntries(MeterReport* report, const QString& path, int serial,
                       std::optional<QDate> since, int busyTimeoutMs, QString* error) {
    const std::unique_ptr<JournalDb> db =
        JournalDb::Open(path, JournalDb::Mode::Read, error, busyTimeoutMs);
    if (!db) return false;
    MeterReport::Journal j;
    j.path = path;
    j.since = since;
    const int64_t sinceMs = since ? since->startOfDay().toMSecsSinceEpoch() : 0;
    JournalQuery q;
    q.serial = serial;
    q.limit = kJournalPage;
    // Newest first, a page at a time, until the entries are older than `since`.
    for (;;) {
        QString why;
        const std::vector<JournalEntry> page = db->List(q, &why);
        if (!why.isEmpty()) {
            *error = why;
            return false;
        }
        bool older = false;
        for (const JournalEntry& e : page) {
            if (since && e.timeMs < sinceMs) {
                older = true;
                break;
            }
            j.entries.push_back(e);
        }
        if (older || static_cast<int>(page.size()) < kJournalPage) break;
        q.beforeId = page.back().id;
    }
    report->journal = std::move(j);
    return true;
}

QString SlotStateText(const CharRecData& rec) {
    if (!rec.valid) return QStringLiteral("Nieodczytana");
    if (rec.ENABLE == 1) return QStringLiteral("Aktywna");
    return IsBlankRecord(rec) ? QStringLiteral("Pusta") : QStringLiteral("Nieaktywna");
}

bool CurveShown(const CharRecData& rec, bool serviceMode) {
    return rec.valid && (serviceMode || !rec.PASSWORD);
}
