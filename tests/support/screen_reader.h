#pragma once

#include <QAccessible>
#include <QString>
#include <QWidget>
#include <vector>

namespace testsupport {

// Reaches widgets the way a screen reader does, through their accessible
// interfaces, and records the accessibility events the program sends while it
// lives (one at a time).
class ScreenReader {
public:
    struct Event {
        QObject* object = nullptr;
        QAccessible::Event type = QAccessible::InvalidEvent;
        QString value;  // the value carried by a value change
    };

    ScreenReader() {
        s_current = this;
        // Qt sends accessibility events only while assistive technology is on.
        m_wasActive = SetPlatformAccessibilityActive(true);
        m_previous = QAccessible::installUpdateHandler(&ScreenReader::Record);
    }
    ~ScreenReader() {
        QAccessible::installUpdateHandler(m_previous);
        SetPlatformAccessibilityActive(m_wasActive);
        s_current = nullptr;
    }
    ScreenReader(const ScreenReader&) = delete;
    ScreenReader& operator=(const ScreenReader&) = delete;

    static QAccessibleInterface* Of(QObject* o) { return QAccessible::queryAccessibleInterface(o); }
    static QString Text(QObject* o, QAccessible::Text t) {
        QAccessibleInterface* i = Of(o);
        return i ? i->text(t) : QString();
    }
    static QAccessible::Role Role(QObject* o) {
        QAccessibleInterface* i = Of(o);
        return i ? i->role() : QAccessible::NoRole;
    }
    // Runs an action as a screen reader would; false when the control lacks it.
    static bool Act(QObject* o, const QString& action) {
        QAccessibleInterface* i = Of(o);
        QAccessibleActionInterface* a = i ? i->actionInterface() : nullptr;
        if (!a || !a->actionNames().contains(action)) return false;
        a->doAction(action);
        return true;
    }
    static bool Toggle(QObject* o) { return Act(o, QAccessibleActionInterface::toggleAction()); }
    static bool Press(QObject* o) { return Act(o, QAccessibleActionInterface::pressAction()); }

    // Events of this type sent for o so far.
    std::vector<Event> EventsFor(QObject* o, QAccessible::Event type) const {
        std::vector<Event> out;
        for (const Event& e : m_events) {
            if (e.object == o && e.type == type) out.push_back(e);
        }
        return out;
    }
    void Clear() { m_events.clear(); }

private:
    // Switches the platform's accessibility on or off (as a screen reader
    // starting or ending does); returns the state before.
    static bool SetPlatformAccessibilityActive(bool on);

    static void Record(QAccessibleEvent* event) {
        if (!s_current) return;
        Event e;
        e.object = event->object();
        e.type = event->type();
        if (event->type() == QAccessible::ValueChanged) {
            e.value = static_cast<QAccessibleValueChangeEvent*>(event)->value().toString();
        }
        s_current->m_events.push_back(e);
    }

    static inline ScreenReader* s_current = nullptr;
    QAccessible::UpdateHandler m_previous = nullptr;
    bool m_wasActive = false;
    std::vector<Event> m_events;
};

}  // namespace testsupport
