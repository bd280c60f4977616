#pragma once
// The mouse wheel as the desktop turns it.
#include <QCoreApplication>
#include <QScrollArea>
#include <QSpontaneKeyEvent>
#include <QWindow>
#include <QWheelEvent>
#include <QWidget>

// A notch of the wheel towards the user with the pointer over the middle of control (scrolled into view first),
// delivered as the desktop delivers it: to the window, which hands it to the widget under the pointer. False
// when another window's widget, or nothing, is there.
inline bool turnWheelOver(QWidget* control)
{
    QWidget* window = control->window();
    for (QWidget* p = control->parentWidget(); p; p = p->parentWidget())
        if (auto* area = qobject_cast<QScrollArea*>(p))
            area->ensureWidgetVisible(control);
    const QPoint at = control->mapTo(window, control->rect().center());
    QWidget* under = window->childAt(at);
    if (!window->windowHandle() || !(under == control || control->isAncestorOf(under)))
        return false;
    QWheelEvent wheel(at, window->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    // Handed to the application as the desktop's events are: sendEvent would mark it as the program's own,
    // which Qt neither lets give the focus nor hands on to the widgets under the pointer.
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    QCoreApplication::instance()->notify(window->windowHandle(), &wheel);
    return true;
}
