#include "ui/accessibility.h"

#include <QAccessibleWidget>
#include <QVariant>
#include <QWidget>

namespace {

const char kRoleProperty[] = "kv60xAccessibleRole";

QAccessibleInterface* RoleFactory(const QString&, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    const QVariant role = object->property(kRoleProperty);
    if (!role.isValid()) return nullptr;
    return new QAccessibleWidget(static_cast<QWidget*>(object),
                                 static_cast<QAccessible::Role>(role.toInt()));
}

}  // namespace

namespace accessibility {

void SetRole(QWidget* w, QAccessible::Role role) {
    static const bool installed = [] {
        QAccessible::installFactory(RoleFactory);
        return true;
    }();
    (void)installed;
    w->setProperty(kRoleProperty, int(role));
    ForgetInterface(w);
}

QString ColorDescription(const QColor& c) {
    const QColor rgb = c.toRgb();
    return QStringLiteral("czerwony %1, zielony %2, niebieski %3")
        .arg(rgb.red())
        .arg(rgb.green())
        .arg(rgb.blue());
}

void ForgetInterface(QObject* obj) {
    // Asking makes an interface when there is none; either way the one in the
    // cache is dropped, and the next query asks the factories again.
    if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(obj)) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
    }
}

}  // namespace accessibility
