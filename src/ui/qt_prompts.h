#pragma once

#include "ui/prompts.h"

// Prompts shown with Qt's standard dialogs.
class QtPrompts : public Prompts {
public:
    void message(QWidget* parent, const QString& text, Icon icon) override;
    Answer question(QWidget* parent, const QString& text) override;
    std::optional<FileChoice> openFile(QWidget* parent, const FileRequest& req) override;
    std::optional<FileChoice> saveFile(QWidget* parent, const FileRequest& req) override;
    std::optional<QColor> color(QWidget* parent, const QColor& initial) override;
    std::optional<QFont> font(QWidget* parent, const QFont& initial) override;
    bool print(QWidget* parent, QPrinter& printer, bool allowSelection,
               bool& selectionOnly) override;
};
