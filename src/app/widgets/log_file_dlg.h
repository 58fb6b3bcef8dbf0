#pragma once

#include <QDialog>
#include <QString>

#include "session/registration_control.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimeEdit;

// The registration settings the main window hands to CLogFileDlg and takes
// back when it ends with OK.
using LogFileSettings = RegistrationSettings;

// "Rejestracja do pliku": whether, where, how often and in which format the
// readings are registered, and the comment written when registration starts.
class CLogFileDlg : public QDialog {
    Q_OBJECT
public:
    static inline const QString kTitle = QStringLiteral("Rejestracja do pliku");
    static inline const QString kChooserTitle = QStringLiteral("Wybierz plik raportu");
    static inline const QString kTextFilter = QStringLiteral("Plik tekstowy (*.txt)");
    static inline const QString kCsvFilter = QStringLiteral("Lista CSV (*.csv)");

    explicit CLogFileDlg(const LogFileSettings& settings, QWidget* parent = nullptr);

    // The settings as edited (meaningful after OK).
    LogFileSettings settings() const { return m_settings; }

    // The name chosen in the file chooser with ".txt" or ".csv" added by the
    // filter (0 text, 1 CSV) when it has no extension of its own.
    static QString WithFilterExtension(const QString& path, int filterIndex);

    QCheckBox* logCheck() const { return m_logCheck; }
    QTimeEdit* intervalPicker() const { return m_interval; }
    QLineEdit* fileNameBox() const { return m_fileName; }
    QPushButton* browseButton() const { return m_browse; }
    // Separator radios in the order tab, comma, semicolon, locale.
    QRadioButton* separatorRadio(int i) const { return m_sepRadios[i]; }
    // Decimal radios in the order comma, dot, locale.
    QRadioButton* decimalRadio(int i) const { return m_decRadios[i]; }
    QCheckBox* commentCheck() const { return m_commentCheck; }
    QPlainTextEdit* commentBox() const { return m_comment; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }
    QLabel* fileLabel() const { return m_fileLabel; }
    QLabel* separatorLabel() const { return m_sepLabel; }
    QLabel* decimalLabel() const { return m_decLabel; }

public slots:
    void accept() override;

private:
    void OnLogToggled();
    void OnCommentToggled();
    void OnIntervalEdited();
    void OnFileNameEdited();
    void OnBrowse();
    void EnableControls();

    LogFileSettings m_settings;

    QCheckBox* m_logCheck = nullptr;
    QLabel* m_intervalLabel = nullptr;
    QTimeEdit* m_interval = nullptr;
    QLabel* m_fileLabel = nullptr;
    QLineEdit* m_fileName = nullptr;
    QPushButton* m_browse = nullptr;
    QLabel* m_sepLabel = nullptr;
    QRadioButton* m_sepRadios[4] = {};
    QButtonGroup* m_sepGroup = nullptr;
    QLabel* m_decLabel = nullptr;
    QRadioButton* m_decRadios[3] = {};
    QButtonGroup* m_decGroup = nullptr;
    QCheckBox* m_commentCheck = nullptr;
    QPlainTextEdit* m_comment = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};
