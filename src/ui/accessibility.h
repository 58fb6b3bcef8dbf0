#pragma once

#include <QAccessible>
#include <QColor>
#include <QString>

class QWidget;

// What screen readers and UI automation learn about the program's own
// controls beyond Qt's defaults (a plain QWidget is a nameless "filler").
namespace accessibility {

// Gives w the role `role` (a window, a chart...). Call in w's constructor
// before anything else asks for w's accessible interface, e.g. before
// setAccessibleName.
void SetRole(QWidget* w, QAccessible::Role role);

// A colour as a screen reader says it: "czerwony 255, zielony 231, niebieski 206".
QString ColorDescription(const QColor& c);

// Drops an interface made for obj before its constructor had set it up (Qt
// may make one while a base class is being constructed), so the next query
// builds the right one.
void ForgetInterface(QObject* obj);

}  // namespace accessibility
