#pragma once

#include <QDialog>
#include <map>
#include <memory>

#include "characteristics/widgets/char_dialog_hooks.h"
#include "records/char_rec_data.h"
#include "session/char_table.h"

class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class DeviceOperation;
class MeterSession;

// "Charakterystyki materiałów": every characteristic slot of the meter, one row
// each, a view of a CharTable. Reads all slots on a worker when it opens; edits,
// cuts, copies, pastes, imports and exports change the table and mark the slots
// changed ("*" after the number); OK writes the changed slots on a worker
// through the session's journal and closes when all of them were written. A
// slot the meter confirmed is no longer changed; after a failure the others
// stay changed for the next OK.
//
// A slot the table holds no record for is unread (`valid` 0): every slot until
// the meter's answer for it arrives, and those a failed or stopped read never
// reached. It shows as "Nieodczytana", goes into an exported file as an entry
// with `valid` 0, and is never written to the meter. "Anuluj" while reading
// stops the read after the slot under way; closing the window does the same.
//
// "Porównaj z plikiem..." compares the meter's bytes of each row with the
// record a .kvz file holds for it (the bytes a write of it would send), rows
// the table has not read being read first: rows that differ are marked
// (colour, tooltip and accessible description naming the fields) and one
// message names them. Nothing is changed or written.
class CCharTableDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxSlots = CharTable::kMaxSlots;

    // Service mode and the journal come from `session` (not owned).
    explicit CCharTableDlg(MeterSession* session, QWidget* parent = nullptr);
    ~CCharTableDlg() override;

    // Handed on to the editors this table opens.
    CharGraphHook graphHook = DefaultCharDialogHooks().graph;
    // "Drukuj": the list and its title.
    CharPrintHook printHook = DefaultCharDialogHooks().print;

    // The slots as this window holds them (see CharTable).
    const CharTable& Table() const { return m_table; }
    int Count() const { return m_table.Count(); }
    CharRecData Slot(int i) const { return m_table.Record(i); }
    // Changed in this dialog: written on OK (unless it holds no record).
    bool SlotModified(int i) const { return m_table.Modified(i); }
    // The meter's answer for slot i arrived (or this dialog wrote it since).
    bool SlotRead(int i) const { return m_table.Read(i); }
    bool IsBusy() const;
    bool IsReading() const;
    // Whether "Wklej" is offered now.
    bool PasteAvailable() const { return m_table.PasteAvailable(); }

    QTreeWidget* List() const { return m_list; }
    QProgressBar* Progress() const { return m_progress; }
    QPushButton* ImportButton() const { return m_import; }
    QPushButton* ExportButton() const { return m_export; }
    QPushButton* CompareButton() const { return m_compare; }
    // Row i differed from the file of the last comparison: the fields that
    // differ, as its accessible description says them; empty when it did not.
    QString RowDifference(int i) const;
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

    // The popup "Wytnij", "Kopiuj", "Wklej" for the selected row; none without one.
    std::unique_ptr<QMenu> CreateContextMenu();

    // The title "Drukuj" prints with (empty, after a message, without the
    // meter's identity and serial number).
    QString PrintTitle();

public slots:
    void OnOk();
    // "Anuluj": stops a read under way (the dialog stays open), otherwise closes.
    void OnCancel();
    // Closing (Escape, the close button) while reading stops the read first.
    void reject() override;
    void OnImport();
    void OnExport();
    // "Porównaj z plikiem...".
    void OnCompare();
    void OnPrint();
    void Cut();
    void Copy();
    void Paste();
    // Opens the editor on row `row` (a double click).
    void EditRow(int row);

private:
    void BuildControls();
    void InsertNumberedRows();
    void RefreshRow(int i);
    void RefreshAllRows();
    int SelectedRow() const;
    bool ValidRow(int i) const { return i >= 0 && i < m_table.Count(); }
    void StartRead();
    void SetProgressRange();
    void ShowContextMenu(const QPoint& pos);
    // Compares the rows read with `set`, marks those that differ and says so;
    // `readFailure`: why rows to compare stayed unread.
    void ShowComparison(const CTableCharRec& set, const QString& readFailure);

    MeterSession* m_session = nullptr;
    // The slots; filled and written by the workers, edited here while neither runs.
    CharTable m_table;
    // Rows that differed from the compared file: what their marks say. A row
    // written since loses its mark (the meter holds something else now).
    std::map<int, QString> m_differences;

    DeviceOperation* m_readOp = nullptr;
    DeviceOperation* m_writeOp = nullptr;

    QLabel* m_hint = nullptr;
    QTreeWidget* m_list = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_export = nullptr;
    QPushButton* m_compare = nullptr;
    QPushButton* m_print = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};
