// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The application object and the few process-wide facts the program keeps.
#include <QApplication>
#include <QString>
#include <QTemporaryDir>

class QWidget;

// Catches every exception that escapes an event handler and shows it in the
// standard error box, so a failing command never ends the program.
class cApplication : public QApplication
{
    Q_OBJECT
public:
    cApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

private:
    // Where Qt's own per-user settings go for this run; see the constructor.
    QTemporaryDir FQtSettings;
};

// The standard error report: the message with the product name as caption
// and the error icon, owned by the main window.
void ShowException(const std::exception &error);
void ShowCurrentException();

QWidget *ApplicationMainWindow();
void SetApplicationMainWindow(QWidget *window);

// The task-bar text of the application (kept apart from Qt's display name,
// which Qt would append to every window title).
QString ApplicationTitle();
void SetApplicationTitle(const QString &title);

// Runs the event loop once until nothing is pending.
void ProcessMessages();

// Real path of the running executable, links resolved (not argv[0]).
QString ExecutablePath();
