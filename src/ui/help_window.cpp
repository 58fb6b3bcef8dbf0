#include "ui/help_window.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "ui/ui_resources.h"

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
    InitUiResources();
    setWindowTitle(QStringLiteral("Pomoc"));
    setWindowIcon(AppIcon());
    setModal(false);

    m_browser = new QTextBrowser(this);
    m_browser->setOpenExternalLinks(false);
    m_browser->setAccessibleName(QStringLiteral("Pomoc"));
    m_browser->setSource(QUrl(QStringLiteral("qrc:/kv60x/ui/help.html")));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Zamknij"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_browser);
    layout->addWidget(buttons);
    resize(560, 520);
}

HelpWindow* HelpWindow::ShowHelp(QWidget* parent) {
    HelpWindow* w =
        parent ? parent->findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!w) {
        w = new HelpWindow(parent);
        w->setAttribute(Qt::WA_DeleteOnClose);
    }
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}
