#pragma once

#include <QDate>
#include <QString>
#include <atomic>
#include <functional>
#include <optional>

#include "report/report_model.h"

class CTableCharRec;
class MeterSession;

// The meter report of a connected meter, gathered the same way for the window
// (on its worker) and for kv60x-cli: the journal entries of the meter's serial
// number first (a journal that cannot be read stops the report before the
// meter is asked anything), then the electrode coefficient, then every slot of
// the table, then the comparison with the reference file.
struct MeterReportRequest {
    bool serviceMode = false;
    // The journal to read (empty: no journal section).
    QString journalPath;
    int journalBusyTimeoutMs = 3000;
    std::optional<QDate> since;
    // The reference file (not owned; null: no comparison) and its name.
    const CTableCharRec* reference = nullptr;
    QString referencePath;
};

struct MeterReportResult {
    enum class Status {
        Done,
        Stopped,      // `stop` was set between two slots
        MeterFailed,  // no link, no slot count, or a read failed (message)
        InputFailed,  // the journal could not be read (message)
    };
    Status status = Status::Done;
    QString message;
    bool ok() const { return status == Status::Done; }
};

// Runs on the calling thread (a worker of the window, or the command line's
// thread); the journal is opened and closed on it. `progress` is called with
// the slots read so far and the slot count, first with 0 once the count is
// known. `report` is filled only on success.
MeterReportResult CollectMeterReport(MeterSession& session, const MeterReportRequest& request,
                                     const std::atomic<bool>* stop,
                                     const std::function<void(int done, int total)>& progress,
                                     MeterReport* report);
