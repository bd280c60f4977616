#pragma once
// Reaches a window's control by its name, as the user sees it.
#include <QTest>
#include <QWidget>

template <class T> T* control(QWidget* window, const char* name)
{
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}
