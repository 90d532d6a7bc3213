// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/FirstActivation.h"

#include "editor/editing/EditorControls.h"
#include "editor/editing/Editors.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"
#include "editor/shell/CmdLinePlus.h"
#include "editor/shell/dfRecover.h"
#include "editor/shell/ExtraCommands.h"

#include <QHash>

void OpenStartDocuments(QWidget &window, cEditorController &tabs, cExtraCommands *extras,
                        const cCommandLine &arguments)
{
    OfferRecovery(&window, tabs);
    if (extras)
        extras->RestoreSession();
    // A file the restored session already shows is shown, not opened twice.
    QHash<QString, int> restored;
    tabs.ForEachDocument([&restored](cEditor &document, int index) {
        if (!document.FileName().isEmpty())
            restored.insert(document.FileName(), index);
    });
    OpenCommandLineDocuments(
        arguments,
        [&tabs, restored](const QString &name, bool readOnly) {
            if (const auto at = restored.constFind(name); at != restored.cend() && !readOnly)
                tabs.setCurrentIndex(*at);
            else
                tabs.OpenFile(name, readOnly);
        },
        [&tabs] { return tabs.DocumentCount(); }, [&tabs] { tabs.NewDocument(); },
        [&window](const QString &message) {
            MessageBox(&window, message, LoadResString(res::ProductName), MB_OK | MB_ICONERROR);
        },
        [&tabs](tCaretPosition position) {
            if (cEditor *document = tabs.ActiveEditor()) {
                document->GoToLine(position.Line - 1);
                document->GoToColumn(position.Column - 1);
                document->ensureCursorVisible();
            }
        });
}
