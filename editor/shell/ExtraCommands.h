// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The commands a Linux editor's user looks for beyond the main window's own
// list: recent files, reload and reopening in another encoding, print
// preview, zoom, tab keys and middle click, and reopening the last session.
#include "editor/shell/Preferences.h"
#include "editor/shell/RecentFiles.h"

#include <QList>
#include <QObject>

#include <memory>

class QAction;
class QMenu;
class cEditor;
class cFormMain;
struct tFileCoding;

// Where the commands go in the window's menus.
struct tExtraMenuPlaces
{
    QMenu *File = nullptr;
    QAction *BeforeSave = nullptr;  // Open Recent, Reload, Reopen with Encoding go before it
    QAction *BeforePrint = nullptr; // Print Preview goes before it
    QMenu *View = nullptr;          // zoom goes last
    QMenu *Tools = nullptr;
    QAction *BeforeUninstall = nullptr; // Reopen Files at Start goes before it
    QAction *Close = nullptr;           // what a middle click on a tab runs
};

class cExtraCommands : public QObject
{
    Q_OBJECT
public:
    cExtraCommands(cFormMain &window, const tExtraMenuPlaces &places);
    ~cExtraCommands() override;

    QAction *acFileOpenRecent, *acFileClearRecent, *acFileReload, *acFileReopenEncoding, *acFilePrintPreview,
        *acViewZoomIn, *acViewZoomOut, *acViewZoomReset, *acToolReopenFiles, *acTabNext, *acTabPrevious;
    // The actions that carry keys, for the window's action list; a few
    // keys are carried by actions that are in no menu.
    QList<QAction *> KeyActions() const { return FKeyActions; }

    void UpdateActions();
    // At the first activation, before the command line's files.
    void RestoreSession();
    // When the window closes with its documents still there.
    void SaveSession();
    // Removes the preferences' effects on disk: the state folder.
    void Uninstall();

    // Reads the active document's file again as Coding; asks first when it is modified.
    void ReopenAs(const tFileCoding &coding);
    void Reload();
    void PrintPreview();
    // The preview shows it, tests look at it; closed, it is gone.
    QWidget *PreviewDialog() const { return FPreview; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool ReopenFilesAtStart() const;
    QAction *NewAction(const QString &name, const QString &caption, const QString &hint,
                       const QList<QKeySequence> &keys = {});
    void BuildEncodingMenu(QMenu *menu);
    void FillRecentMenu();
    void OpenRecent(const QString &fileName);
    bool MayDiscardChanges(cEditor &document);
    void FileUsed(const QString &fileName);

    cFormMain &FWindow;
    QAction *FClose;
    QMenu *FRecentMenu;
    QList<QAction *> FKeyActions;
    QList<QAction *> FDocumentActions; // enabled with a document that has a file
    cRecentFiles FRecent;
    QWidget *FPreview = nullptr;
};
