// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/platform/Application.h"

#include "editor/platform/Exceptions.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"

#include <QFileInfo>
#include <QPointer>
#include <QSettings>
#include <QWidget>

namespace {
QPointer<QWidget> MainWindow;
QString Title;
} // namespace

cApplication::cApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    // The program's configuration is its one settings file. Qt's file dialogs
    // would also keep their history in QtProject.conf of the user's
    // configuration directory; that state lives for this run only.
    if (FQtSettings.isValid())
        for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, FQtSettings.path());
}

bool cApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException();
        return false;
    }
}

void ShowException(const std::exception &error)
{
    const auto *own = dynamic_cast<const eException *>(&error);
    const QString text = own ? own->Message() : QString::fromUtf8(error.what());
    MessageBox(ApplicationMainWindow(), text, LoadResString(res::ProductName), MB_OK | MB_ICONERROR);
}

void ShowCurrentException()
{
    try {
        throw;
    } catch (const eCancel &) {
        // The user cancelled; nothing to report.
    } catch (const std::exception &error) {
        ShowException(error);
    } catch (...) {
        MessageBox(ApplicationMainWindow(), QStringLiteral("Unknown error"), LoadResString(res::ProductName),
                   MB_OK | MB_ICONERROR);
    }
}

QWidget *ApplicationMainWindow()
{
    return MainWindow.data();
}

void SetApplicationMainWindow(QWidget *window)
{
    MainWindow = window;
}

QString ApplicationTitle()
{
    return Title;
}

void SetApplicationTitle(const QString &title)
{
    Title = title;
}

void ProcessMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

QString ExecutablePath()
{
    const QString link = QStringLiteral("/proc/self/exe");
    const QString target = QFileInfo(link).canonicalFilePath();
    return target.isEmpty() ? QCoreApplication::applicationFilePath() : target;
}
