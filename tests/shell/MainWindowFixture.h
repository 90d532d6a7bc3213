// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A real main window in a sandbox: its own settings home, no plug-ins (unless
// asked for), and a command line of the test's choosing.
#include "editor/editing/EditorControls.h"
#include "editor/editing/Editors.h"
#include "editor/platform/Application.h"
#include "editor/platform/MessageBox.h"
#include "editor/shell/CmdLinePlus.h"
#include "editor/shell/dfMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

class cMainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FConfig.isValid() && FWork.isValid() && FNoPlugins.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(FConfig.path()));
    }

    void TearDown() override
    {
        FWindow.reset();
        SetDocumentDialogs({});
    }

    // A new window over the given arguments; the old one (if any) is destroyed
    // first, saving its settings as the program would.
    TFormMain &Open(const QStringList &arguments = {}, const QString &pluginStart = {})
    {
        FWindow.reset();
        FArguments = std::make_unique<cCommandLine>(arguments);
        FWindow = std::make_unique<TFormMain>(
            nullptr, tFormMainSetup{pluginStart.isEmpty() ? FNoPlugins.filePath(QStringLiteral("quorvel"))
                                                          : pluginStart,
                                    FArguments.get()});
        SetApplicationMainWindow(FWindow.get());
        return *FWindow;
    }

    // Opens the window and runs its first activation by really activating it.
    TFormMain &Show(const QStringList &arguments = {})
    {
        TFormMain &window = Open(arguments);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        EXPECT_TRUE(window.Activated);
        return window;
    }

    QString WorkFile(const QString &name, const QByteArray &bytes = {}) const
    {
        const QString path = FWork.filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
        return path;
    }

    QByteArray Bytes(const QString &path) const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString SettingsFile() const { return FConfig.filePath(QStringLiteral("Varnholt/Zelmar/Settings")); }

    cEditor *Document(int index) const { return FWindow->EditorTabs->Editors(index); }
    cEditor *ActiveDocument() const { return FWindow->EditorTabs->ActiveEditor(); }

    // Focuses the active document and types into it with real key presses.
    void Type(const QString &text)
    {
        cEditor *document = ActiveDocument();
        ASSERT_NE(document, nullptr);
        document->setFocus();
        QTest::keyClicks(document, text);
    }

    // After a modal dialog: the window active again, the document focused.
    void FocusDocument()
    {
        FWindow->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(FWindow.get()));
        ActiveDocument()->setFocus();
    }

    // Presses a key on whatever has the focus, through Qt's shortcut handling.
    static void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget *focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, key, modifiers);
    }

    // Acts on the next modal dialog as soon as it is up (inside its exec).
    static void OnModal(std::function<void(QWidget *dialog)> act)
    {
        auto *timer = new QTimer(qApp);
        timer->setInterval(10);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
            if (QWidget *dialog = QApplication::activeModalWidget()) {
                timer->stop();
                timer->deleteLater();
                act(dialog);
            }
        });
        timer->start();
    }

    QTemporaryDir FConfig, FWork, FNoPlugins;
    std::unique_ptr<cCommandLine> FArguments;
    std::unique_ptr<TFormMain> FWindow;
};
