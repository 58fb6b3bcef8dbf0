#pragma once

#include <QDialog>
#include <memory>
#include <optional>

#include "characteristics/widgets/char_dialog_hooks.h"
#include "records/char_rec_data.h"
#include "records/char_rec_validation.h"
#include "session/char_rec_edit.h"

class QButtonGroup;
class QCheckBox;
class QDateTimeEdit;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;
class DeviceOperation;
class MeterSession;
struct CharReadReport;

// "Charakterystyka materiału": the editor of one material characteristic, a
// view of a CharRecEdit (the record as read or handed in, the form as shown,
// the bytes the slot held).
//
// Opened by number, it reads the slot through the session on a worker, and OK
// validates the form and writes the record through the session's journal on a
// worker; the dialog closes once the write has succeeded. A failed write
// leaves the record as it was: what the form shows is what the next OK sends.
// Opened with a record (from the table), nothing is transferred: OK validates
// and closes, and the caller takes Data() and Modified(). The title names the
// slot the record goes to.
//
// Exact unless edited: a field the user did not change keeps the record's exact
// value through OK, "Wykres", "Eksportuj" and the write; texts show without
// their padding and are padded again only when edited.
class CCharRecDlg : public QDialog {
    Q_OBJECT
public:
    // By number: number is 1-based; the read starts at once. Service mode and
    // the journal come from `session` (not owned).
    CCharRecDlg(MeterSession* session, int number, QWidget* parent = nullptr);
    // With a record: no meter transfer.
    CCharRecDlg(const CharRecData& rec, bool serviceMode, QWidget* parent = nullptr);
    ~CCharRecDlg() override;

    // The record being edited (its point count held to the 15 the list can
    // show); after OK the block as validated (and written).
    CharRecData Data() const;
    // The user changed something after the controls were filled.
    bool Modified() const { return m_modified; }
    // The record as read or handed in, the form as shown, the slot's bytes.
    const CharRecEdit& Edit() const { return m_edit; }
    // A read or write runs.
    bool IsBusy() const;

    // "Wykres" hands the validated record to this (the graph window).
    CharGraphHook graphHook = DefaultCharDialogHooks().graph;

    // The controls, for tests and accessibility checks.
    QCheckBox* EnableBox() const { return m_enable; }
    QCheckBox* PasswordBox() const { return m_password; }
    QCheckBox* CompensationBox() const { return m_compensation; }
    QRadioButton* ResistiveRadio() const { return m_resistive; }
    QRadioButton* CapacitiveRadio() const { return m_capacitive; }
    QLineEdit* DescEdit() const { return m_desc; }
    QLineEdit* CertificateEdit() const { return m_certificate; }
    QLineEdit* CodeEdit() const { return m_code; }
    QLineEdit* NameEdit() const { return m_name; }
    QDateTimeEdit* CreateDateEdit() const { return m_createDate; }
    QDateTimeEdit* SaveDateEdit() const { return m_saveDate; }
    QLineEdit* CoefficientEdit(int k) const { return m_coeff[k]; }
    QLineEdit* CountEdit() const { return m_count; }
    QTreeWidget* PointList() const { return m_points; }
    QPushButton* ImportButton() const { return m_import; }
    QPushButton* ExportButton() const { return m_export; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

public slots:
    void OnOk();
    void OnImport();
    void OnExport();
    void OnGraph();
    // Opens the point dialog on row `row` of the list.
    void EditPoint(int row);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void StartRead();
    void OnReadFinished(bool ok);
    void FillControls();
    void RebuildPoints();
    void ApplyEnablingRules();
    void MarkChanged();
    CharRecForm ReadForm() const;
    // Validates the form; shows the message and moves the focus on failure.
    bool Validate(CharRecData* out);
    void CloseRefused();
    QList<QWidget*> AllControls() const;

    MeterSession* m_session = nullptr;
    int m_recordNumber = 0;  // 1-based; 0 when opened with a record
    CharRecEdit m_edit;
    std::optional<CharRecData> m_accepted;  // the block OK validated (and wrote)
    bool m_filled = false;
    bool m_modified = false;
    bool m_refused = false;  // a protected record: the editor closes at once
    QString m_title;

    DeviceOperation* m_readOp = nullptr;
    DeviceOperation* m_writeOp = nullptr;
    std::shared_ptr<CharRecData> m_readBuffer;     // written by the reading worker only
    std::shared_ptr<CharReadReport> m_readReport;  // likewise

    QCheckBox* m_enable = nullptr;
    QCheckBox* m_password = nullptr;
    QCheckBox* m_compensation = nullptr;
    QRadioButton* m_resistive = nullptr;
    QRadioButton* m_capacitive = nullptr;
    QButtonGroup* m_method = nullptr;
    QLineEdit* m_desc = nullptr;
    QLineEdit* m_certificate = nullptr;
    QLineEdit* m_code = nullptr;
    QLineEdit* m_name = nullptr;
    QDateTimeEdit* m_createDate = nullptr;
    QDateTimeEdit* m_saveDate = nullptr;
    QGroupBox* m_coeffGroup = nullptr;
    QLineEdit* m_coeff[CharRecData::kCoefficients] = {};
    QLineEdit* m_count = nullptr;
    QTreeWidget* m_points = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_export = nullptr;
    QPushButton* m_graph = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};
