#pragma once

#include <QString>

#include "meter/meter_records.h"
#include "service/widgets/meter_dialog.h"

class QLabel;

// "Informacje o panelu": what the meter last reported about itself (serial
// number, model and version, startup date, fault flags), taken from one
// snapshot of the session when the dialog opens. Sends no command of its own.
class CPanelInfoDlg : public MeterDialog {
    Q_OBJECT
public:
    explicit CPanelInfoDlg(MeterSession* session, QWidget* parent = nullptr);

    // The information text, each line ending in "\n".
    static QString BuildText(const MeterCondition& condition, const SerialNumberData& serial,
                             const MeterIdentity& identity, const StartupDate& date);

    // The text shown (empty before the dialog opened).
    QString Text() const { return m_text; }

protected:
    bool InitDialog() override;

private:
    QLabel* m_textLabel = nullptr;
    QString m_text;
};
