// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SIGTERM, SIGHUP and SIGINT end the program at once, with every recovery
// record on disk first: the signal reaches the event loop through a pipe,
// as nothing else may run in a signal handler.
#include <QObject>

class QSocketNotifier;

class cExitSignals : public QObject
{
    Q_OBJECT
public:
    // Needs the application object; one per process.
    cExitSignals();
    ~cExitSignals() override;
    cExitSignals(const cExitSignals &) = delete;
    cExitSignals &operator=(const cExitSignals &) = delete;

private:
    void Received();

    int FPipe[2] = {-1, -1};
    QSocketNotifier *FNotifier = nullptr;
};
