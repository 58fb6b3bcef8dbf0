#pragma once

#include <QDialog>
#include <memory>
#include <optional>

#include "journal/journal_settings.h"

class MeterSession;
class DeviceOperation;
class JournalDb;
class JournalListModel;
class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class QTableWidget;

// "Historia zmian": the journal of meter changes. The list, newest first, can
// be narrowed to one meter by its serial number; the entry chosen shows its
// values before and after side by side, changed fields marked with "*".
// "Przywróć" writes the value before back to the session's meter when it is
// the entry's meter (asking first); that write goes through the journal too.
class JournalDlg : public QDialog {
    Q_OBJECT
public:
    // `session` (not owned) gives the journal, service mode and the meter;
    // without one the history is shown and nothing can be restored.
    JournalDlg(const JournalSettings& settings, MeterSession* session, QWidget* parent = nullptr);
    ~JournalDlg() override;

    // For tests.
    QTableView* List() const { return m_list; }
    QTableWidget* Details() const { return m_details; }
    QComboBox* MeterFilter() const { return m_meter; }
    QPushButton* RestoreButton() const { return m_restore; }
    JournalListModel* Model() const { return m_model; }
    DeviceOperation* Operation() const { return m_op; }
    void SelectRow(int row);

    void OnRestore();

private:
    void Reload(int64_t selectId = 0);
    void FillMeters();
    void OnFilterChanged();
    void ShowSelected();
    std::optional<int> ChosenSerial() const;

    JournalSettings m_settings;
    MeterSession* m_session = nullptr;  // not owned; may be nullptr
    bool m_serviceMode = false;
    std::unique_ptr<JournalDb> m_db;  // read on the UI thread
    JournalListModel* m_model = nullptr;
    QLabel* m_status = nullptr;
    QComboBox* m_meter = nullptr;
    QTableView* m_list = nullptr;
    QLabel* m_summary = nullptr;
    QTableWidget* m_details = nullptr;
    QPushButton* m_restore = nullptr;
    QPushButton* m_close = nullptr;
    DeviceOperation* m_op = nullptr;
};

// Opens the window modally ("Panel" -> "Historia zmian...").
void RunJournalDlg(QWidget* parent, MeterSession* session);
