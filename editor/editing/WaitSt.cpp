// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/WaitSt.h"

#include <QCursor>
#include <QGuiApplication>

cWaitStateSingleton &WaitStateSingleton()
{
    static cWaitStateSingleton instance;
    return instance;
}

tBusyToken cWaitStateSingleton::NewBusyToken()
{
    return tBusyToken(new cWaitState);
}

// The cursor is changed only at the ends of a nest, so a long operation that
// calls another shows one continuous hourglass.
cWaitState::cWaitState()
{
    cWaitStateSingleton &singleton = WaitStateSingleton();
    if (singleton.FBusyCount == 0 && qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        singleton.FCursorSet = true;
    }
    ++singleton.FBusyCount;
}

cWaitState::~cWaitState()
{
    cWaitStateSingleton &singleton = WaitStateSingleton();
    if (--singleton.FBusyCount == 0 && singleton.FCursorSet) {
        singleton.FCursorSet = false;
        if (QCoreApplication::instance())
            QGuiApplication::restoreOverrideCursor();
    }
}
