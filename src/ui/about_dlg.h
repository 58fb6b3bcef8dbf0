#pragma once

#include <QDialog>

// "O programie": program name and version, author, the maker's logo and contact
// lines. Nothing in it reacts to the mouse; "OK" closes it.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static inline const QString kProgramLine = QStringLiteral("kv60x Wersja 1.08");

    explicit CAboutDlg(QWidget* parent = nullptr);
};

// Opens the about box modally and waits until it is closed.
void ShowAboutBox(QWidget* parent);
