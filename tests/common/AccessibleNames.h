#pragma once

#include <QStringList>
#include <QWidget>

// Controls under root that take the keyboard focus but have no accessible name (object name, else
// class), so that screen readers and UI automation could not find them.
inline QStringList UnnamedControls(const QWidget *root)
{
    QStringList unnamed;
    for (const QWidget *control : root->findChildren<QWidget *>()) {
        if (control->isWindow() || control->window() != root->window() || control->focusPolicy() == Qt::NoFocus
            || !control->accessibleName().isEmpty())
            continue;
        unnamed.append(control->objectName().isEmpty() ? QString::fromLatin1(control->metaObject()->className())
                                                        : control->objectName());
    }
    return unnamed;
}
