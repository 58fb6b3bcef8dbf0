#pragma once

#include <QDialog>
#include <memory>

#include "characteristics/widgets/char_dialog_hooks.h"
#include "meter/char_image.h"
#include "records/char_rec_data.h"
#include "records/char_rec_validation.h"
#include "session/journaled_write.h"

class QButtonGroup;
class QCheckBox;
class QDateTimeEdit;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;
class Ckv60xDriver;
class DeviceOperation;
struct CharReadReport;

// "Charakterystyka materiału": the editor of one material characteristic.
//
// Opened by number, it reads the slot from the meter on a worker, and OK
// validates the form and writes the record back on a worker; the dialog closes
// once the write has succeeded. Opened with a record (from the table), nothing
// is transferred: OK validates and closes, and the caller takes Data() and
// Modified(). The title names the slot the record goes to.
//
// Exact unless edited: a field the user did not change keeps the record's exact
// value through OK, "Wykres", "Eksportuj" and the write; texts show without
// their padding and are padded again only when edited.
class CCharRecDlg : public QDialog {
    Q_OBJECT
public:
    // By number: number is 1-based; the read starts at once.
    CCharRecDlg(Ckv60xDriver* driver, int number, bool serviceMode, QWidget* parent = nullptr);
    // With a record: no meter transfer.
    CCharRecDlg(const CharRecData& rec, bool serviceMode, QWidget* parent = nullptr);
    ~CCharRecDlg() override;

    // The record being edited; after OK the block as validated.
    CharRecData Data() const { return m_rec; }
    // The user changed something after the controls were filled.
    bool Modified() const { return m_modified; }
    // Opened by number: the meter's answer for the slot arrived; ReadImage()
    // holds its 256 bytes as they came (what the slot held before a write).
    bool SlotRead() const { return m_slotRead; }
    const CharImage& ReadImage() const { return m_readImage; }
    // A read or write runs.
    bool IsBusy() const;
    // The journal every write to the meter goes through (none by default).
    void SetJournal(const JournalSettings& settings) { m_journal = settings; }

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

    Ckv60xDriver* m_driver = nullptr;
    JournalSettings m_journal;
    bool m_serviceMode = false;
    int m_recordNumber = 0;  // 1-based; 0 when opened with a record
    int m_slotIndex = 0;
    CharRecData m_rec;
    // The form as m_rec was shown: a field still showing its text keeps m_rec's
    // exact value (kept in step when a point is edited).
    CharRecForm m_shown;
    bool m_filled = false;
    bool m_modified = false;
    bool m_refused = false;  // a protected record: the editor closes at once
    bool m_slotRead = false;
    CharImage m_readImage{};
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
