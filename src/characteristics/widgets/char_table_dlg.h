#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "characteristics/widgets/char_dialog_hooks.h"
#include "meter/char_image.h"
#include "records/char_rec_data.h"
#include "session/journaled_write.h"

class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class Ckv60xDriver;
class DeviceOperation;

// "Charakterystyki materiałów": every characteristic slot of the meter, one row
// each. Reads all slots on a worker when it opens; edits, cuts, copies, pastes,
// imports and exports happen in memory and mark the slots changed; OK writes the
// changed slots on a worker and closes when all of them were written.
//
// A slot the table holds no record for is unread (`valid` 0): every slot until
// the meter's answer for it arrives, and those a failed or stopped read never
// reached. It shows as "Nieodczytana", goes into an exported file as an entry
// with `valid` 0, and is never written to the meter. "Anuluj" while reading
// stops the read after the slot under way; closing the window does the same.
class CCharTableDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxSlots = 150;

    CCharTableDlg(Ckv60xDriver* driver, bool serviceMode, QWidget* parent = nullptr);
    ~CCharTableDlg() override;

    // Handed on to the editors this table opens.
    CharGraphHook graphHook = DefaultCharDialogHooks().graph;
    // "Drukuj": the list and its title.
    CharPrintHook printHook = DefaultCharDialogHooks().print;

    int Count() const { return m_count; }
    const CharRecData& Slot(int i) const { return m_slots.at(static_cast<size_t>(i)); }
    // Changed in this dialog: written on OK (unless it holds no record).
    bool SlotModified(int i) const { return m_slotModified.at(static_cast<size_t>(i)); }
    // The meter's answer for slot i arrived in this dialog; ReadImage(i) holds
    // its 256 bytes as they came, or the record this dialog has written there
    // since: what the meter holds, the value before of the next write's entry.
    bool SlotRead(int i) const { return m_slotRead.at(static_cast<size_t>(i)); }
    const CharImage& ReadImage(int i) const { return m_readImages.at(static_cast<size_t>(i)); }
    bool IsBusy() const;
    // The journal every write to the meter goes through (none by default).
    void SetJournal(const JournalSettings& settings) { m_journal = settings; }
    bool IsReading() const;
    // Whether "Wklej" is offered now.
    bool PasteAvailable() const { return m_copySource >= 0 || m_cutHeld; }

    QTreeWidget* List() const { return m_list; }
    QProgressBar* Progress() const { return m_progress; }
    QPushButton* ImportButton() const { return m_import; }
    QPushButton* ExportButton() const { return m_export; }
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
    void MarkChanged(int i);
    int SelectedRow() const;
    bool ValidRow(int i) const { return i >= 0 && i < m_count; }
    void StartRead();
    void SetProgressRange();
    void ShowContextMenu(const QPoint& pos);

    Ckv60xDriver* m_driver = nullptr;
    JournalSettings m_journal;
    bool m_serviceMode = false;
    std::array<CharRecData, kMaxSlots> m_slots;
    std::array<bool, kMaxSlots> m_slotModified{};
    std::array<bool, kMaxSlots> m_slotRead{};
    std::array<CharImage, kMaxSlots> m_readImages{};
    int m_count = 0;                // rows and slots in use
    bool m_countFromMeter = false;  // the meter fixed the count
    CharRecData m_cutRecord;
    bool m_cutHeld = false;
    int m_copySource = -1;

    DeviceOperation* m_readOp = nullptr;
    DeviceOperation* m_writeOp = nullptr;

    QLabel* m_hint = nullptr;
    QTreeWidget* m_list = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_export = nullptr;
    QPushButton* m_print = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};
