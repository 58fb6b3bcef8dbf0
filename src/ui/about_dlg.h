#pragma once

#include <QDialog>

#include "kv60x_version.h"

// "O programie": program name and version, author, the maker's logo and contact
// lines. Nothing in it reacts to the mouse; "OK" closes it.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static inline const QString kProgramLine = QStringLiteral("kv60x Wersja " KV60X_VERSION);

    explicit CAboutDlg(QWidget* parent = nullptr);
};

// Opens the about box modally and waits until it is closed.
void ShowAboutBox(QWidget* parent);
