#include "support/screen_reader.h"

// Qt's platform accessibility has no public switch; Qt's own accessibility
// tests turn it on the same way.
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

bool testsupport::ScreenReader::SetPlatformAccessibilityActive(bool on) {
    QPlatformIntegration* integration = QGuiApplicationPrivate::platformIntegration();
    QPlatformAccessibility* a = integration ? integration->accessibility() : nullptr;
    if (!a) return false;
    const bool before = a->isActive();
    a->setActive(on);
    return before;
}
