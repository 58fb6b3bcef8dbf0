#include "session/journaled_write.h"

#include <cstring>

#include "journal/journal_db.h"
#include "meter/kv60x_driver.h"

std::unique_ptr<MeterJournal> MeterJournal::Open(const JournalSettings& settings,
                                                 QString* message) {
    QString why;
    auto db = JournalDb::Open(settings.path, JournalDb::Mode::Write, &why, settings.busyTimeoutMs);
    if (!db) {
        *message = JournalBlockedText(why);
        return nullptr;
    }
    std::unique_ptr<MeterJournal> j(new MeterJournal);
    j->m_settings = settings;
    j->m_db = std::move(db);
    return j;
}

MeterJournal::~MeterJournal() = default;

MeterJournal::Result MeterJournal::Run(JournalEntry entry, const std::function<bool()>& write) {
    Result r;
    entry.program = m_settings.program;
    entry.user = m_settings.user;
    QString why;
    r.entryId = m_db->AddPending(entry, &why);
    if (r.entryId == 0) {
        r.journalMessage = JournalBlockedText(why);
        return r;
    }
    r.attempted = true;
    r.ok = write();
    const JournalOutcome outcome = r.ok ? JournalOutcome::Confirmed : JournalOutcome::Failed;
    const QString note = r.ok ? QString() : QStringLiteral("Miernik nie potwierdził zapisu");
    if (!m_db->Complete(r.entryId, outcome, note, &why)) {
        r.journalMessage =
            why + QStringLiteral(" Wpis nr %1 pozostał niepotwierdzony.").arg(r.entryId);
    }
    return r;
}

namespace {

JournalEntry Draft(Ckv60xDriver& driver, JournalTarget target, int64_t restoredFrom) {
    JournalEntry e;
    e.meter = StampFromDriver(driver);
    e.target = target;
    e.restoredFrom = restoredFrom;
    return e;
}

MeterJournal::Result Direct(bool ok) {
    MeterJournal::Result r;
    r.ok = ok;
    r.attempted = true;
    return r;
}

MeterJournal::Result RunOrDirect(MeterJournal* journal, JournalEntry entry,
                                 const std::function<bool()>& write) {
    if (!journal) return Direct(write());
    return journal->Run(std::move(entry), write);
}

}  // namespace

MeterJournal::Result JournaledCharacteristicWrite(MeterJournal* journal, Ckv60xDriver& driver,
                                                  const CharRecData* before, const CharRecData& rec,
                                                  int64_t restoredFrom) {
    std::optional<QByteArray> image;
    if (before && before->valid) image = CharacteristicValue(*before);
    return JournaledCharacteristicWrite(journal, driver, image, rec, restoredFrom);
}

MeterJournal::Result JournaledCharacteristicWrite(MeterJournal* journal, Ckv60xDriver& driver,
                                                  const std::optional<QByteArray>& beforeImage,
                                                  const CharRecData& rec, int64_t restoredFrom) {
    auto write = [&driver, &rec] { return driver.WriteCharacteristic(rec); };
    // A block marked not valid is never sent (the driver returns true at once).
    if (!rec.valid) return Direct(write());
    JournalEntry e = Draft(driver, JournalTarget::Characteristic, restoredFrom);
    e.slot = rec.REC_NUMBER;
    e.before = beforeImage;
    e.after = CharacteristicValue(rec);
    return RunOrDirect(journal, std::move(e), write);
}

bool WorkerJournal::Open() {
    m_message.clear();
    if (!m_settings.Enabled()) return true;
    m_journal = MeterJournal::Open(m_settings, &m_message);
    return m_journal != nullptr;
}

bool WorkerJournal::Take(const MeterJournal::Result& result) {
    if (result.attempted && result.ok) return true;
    m_message = result.attempted ? QString() : result.journalMessage;
    Close();
    return false;
}

MeterJournal::Result JournaledStartupDate(MeterJournal* journal, Ckv60xDriver& driver,
                                          uint16_t year, uint8_t month, int64_t restoredFrom) {
    auto write = [&driver, year, month] { return driver.WriteStartupDate(year, month); };
    StartupDate now;
    driver.GetStartupDate(now);
    if (now.valid && now.year == year && now.month == month) return Direct(write());
    JournalEntry e = Draft(driver, JournalTarget::StartupDate, restoredFrom);
    if (now.valid) e.before = StartupDateValue(now.year, now.month);
    e.after = StartupDateValue(year, month);
    return RunOrDirect(journal, std::move(e), write);
}

MeterJournal::Result JournaledSerialNumber(MeterJournal* journal, Ckv60xDriver& driver, int serial,
                                           int64_t restoredFrom) {
    auto write = [&driver, serial] { return driver.WriteSerialNumber(serial); };
    SerialNumberData now;
    driver.GetSerialNumber(now);
    if (now.valid && now.serialNumber == serial) return Direct(write());
    JournalEntry e = Draft(driver, JournalTarget::SerialNumber, restoredFrom);
    if (now.valid) e.before = SerialNumberValue(now.serialNumber);
    e.after = SerialNumberValue(serial);
    return RunOrDirect(journal, std::move(e), write);
}

MeterJournal::Result JournaledVersionLetter(MeterJournal* journal, Ckv60xDriver& driver,
                                            char letter, int64_t restoredFrom) {
    auto write = [&driver, letter] { return driver.WriteVersionLetter(letter); };
    MeterIdentity now;
    driver.GetIdentity(now);
    if (now.valid && now.versionLetter == letter) return Direct(write());
    JournalEntry e = Draft(driver, JournalTarget::VersionLetter, restoredFrom);
    if (now.valid) e.before = VersionLetterValue(now.versionLetter);
    e.after = VersionLetterValue(letter);
    return RunOrDirect(journal, std::move(e), write);
}

MeterJournal::Result JournaledElectrodeCoefficient(MeterJournal* journal, Ckv60xDriver& driver,
                                                   double coefficient, int64_t restoredFrom) {
    auto write = [&driver, coefficient] { return driver.WriteElectrodeCoefficient(coefficient); };
    ElectrodeCoefficient now;
    driver.GetElectrodeCoefficient(now);
    if (now.valid && now.coefficient == coefficient) return Direct(write());
    JournalEntry e = Draft(driver, JournalTarget::ElectrodeCoefficient, restoredFrom);
    if (now.valid) e.before = CoefficientValue(now.coefficient);
    e.after = CoefficientValue(coefficient);
    return RunOrDirect(journal, std::move(e), write);
}
