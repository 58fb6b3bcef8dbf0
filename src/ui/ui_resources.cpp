#include "ui/ui_resources.h"

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterUiResources() {
    Q_INIT_RESOURCE(kv60x_ui);
}

void InitUiResources() {
    static const bool done = (RegisterUiResources(), true);
    (void)done;
}

QIcon AppIcon() {
    InitUiResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/kv60x/ui/app_32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/kv60x/ui/app_64.png"), QSize(64, 64));
    return icon;
}

QPixmap MakerLogo() {
    InitUiResources();
    return QPixmap(QStringLiteral(":/kv60x/ui/logo.png"));
}
