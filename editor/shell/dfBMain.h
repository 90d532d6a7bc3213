// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's logic: it creates the tabs and the status bar, owns the
// settings store and the plug-in manager, and runs every menu command.
#include "editor/platform/Exceptions.h"
#include "editor/pluginhost/Plugins.h"
#include "editor/shell/PersistentSettings.h"
#include "editor/shell/Preferences.h"

#include <QFont>
#include <QKeySequence>
#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QFileDialog;
class QFontDialog;
class QMenu;
class QMimeData;
class QPoint;
class QPrinter;
class cCommandLine;
class cEditor;
class cEditorController;
class cEditorStatusBar;
class cExtraCommands;
class cShortcutKeys;

// Ends a walk over the documents early.
class eStopIterator : public eException
{
public:
    eStopIterator() = default;
};

// Where the window finds its plug-ins and which command line its first
// activation opens; tests point both elsewhere.
struct tFormMainSetup
{
    QString PluginStartPath;                 // empty: the program file's own path
    const cCommandLine *Arguments = nullptr; // null: the process's CommandLine
};

class cFormMain : public QMainWindow, public IPluginManager, public IPersistentObject
{
    Q_OBJECT
public:
    explicit cFormMain(QWidget *parent = nullptr, tFormMainSetup setup = {});
    ~cFormMain() override;

    cEditorController *EditorTabs = nullptr;
    cEditorStatusBar *StatusBar = nullptr;
    bool Activated = false;
    std::unique_ptr<cPersistencyManager> SettingsStore;
    // Options kept beside the settings value, saved as soon as they change.
    std::unique_ptr<cPreferences> Preferences;
    bool SaveSettingsOnExit = false;
    // The editor font while the Font dialog is open, so Cancel can bring it back.
    std::optional<QFont> SavedFont;
    std::unique_ptr<cPluginActionManager> Plugins;
    // Recent files, session, reload, zoom and the like; a child of the window.
    cExtraCommands *Extras = nullptr;

    // Handed over by the window before Initialize; owned by it.
    QFileDialog *OpenDialog = nullptr;
    QFileDialog *SaveAsDialog = nullptr;
    std::array<QFileDialog *, 2> IODialogs{};
    QAction *StartMacroAction = nullptr;
    QAction *EndMacroAction = nullptr;
    QAction *PlayMacroAction = nullptr;
    QAction *FindNextAction = nullptr;
    QAction *RedoAction = nullptr;
    QAction *ChangeCaseToAction = nullptr;
    QAction *SaveAction = nullptr;
    QMenu *PluginsMenu = nullptr;

    void Initialize();
    // Acts on the first activation only.
    void FirstActivation();
    // True: the window may close.
    bool CloseQuery();
    // The desktop session ends. Where the user may be asked, the usual close
    // questions (Asked runs once they are answered), and false when the user
    // cancelled; otherwise everything unsaved is put on disk in the recovery
    // records, unasked.
    bool CommitSession(bool mayAsk, const std::function<void()> &asked);
    // Frees the plug-ins and saves the settings; runs once.
    void Finalize();

    // Shows a file dialog; tests replace it to fill the dialog themselves.
    using tDialogExecutor = std::function<bool(QFileDialog &dialog)>;
    void SetDialogExecutor(tDialogExecutor executor);
    bool RunDialog(QFileDialog &dialog);

    // Runs every update handler: when a menu is about to show, after every
    // command and before a shortcut key is resolved.
    void RefreshActions();
    // One refresh once the events at hand are handled, for a state that may
    // have changed (tab, text, selection, read-only, clipboard, focus). No
    // timer polls: an idle window uses no CPU.
    void ScheduleRefresh();

    // The printer shared by Print Setup and Print, so a setup carries over.
    QPrinter &Printer();
    // Prints the active document on Printer as it is set up, without a dialog.
    void PrintActiveDocument(QPrinter &printer);

    // The command operations: update with Execute false, execute with true.
    void FileNew(QAction *action, bool execute);
    void FileOpenAccept(QAction *action, bool execute);
    void FileSave(QAction *action, bool execute, QAction *saveAsAction);
    void FileSaveAs(QAction *action, bool execute);
    void FileClose(QAction *action, bool execute);
    void FilePrint(QAction *action, bool execute);
    void FilePrintSetup(QAction *action, bool execute);
    void EditUndo(QAction *action, bool execute);
    void EditRedo(QAction *action, bool execute);
    void EditCut(QAction *action, bool execute);
    void EditCopy(QAction *action, bool execute);
    void EditPaste(QAction *action, bool execute);
    void EditSelectAll(QAction *action, bool execute);
    void EditDelete(QAction *action, bool execute);
    void EditChangeCase(QAction *action, bool execute);
    void EditChangeCaseTo(QAction *action, bool execute);
    void ViewWrap(QAction *action, bool execute);
    void ViewFont(QAction *action, bool execute, QFontDialog *dialog);
    void ViewStatusBar(QAction *action, bool execute);
    void ViewLineNumbers(QAction *action, bool execute);
    void ViewCurrentLine(QAction *action, bool execute);
    void ViewWhitespace(QAction *action, bool execute);
    void SearchFind(QAction *action, bool execute);
    void SearchReplace(QAction *action, bool execute);
    void SearchFindNext(QAction *action, bool execute);
    void SearchGotoLine(QAction *action, bool execute);
    void ToolsStartMacro(QAction *action, bool execute);
    void ToolsEndRecordMacro(QAction *action, bool execute);
    void ToolsPlayMacro(QAction *action, bool execute);
    void PlayMacroOnAllEditors(QAction *action, bool execute);
    void ToolSaveSettingsOnExit(QAction *action, bool execute);
    void ToolUninstallNow(QAction *action, bool execute);
    void FileImportExport(QAction *action, bool execute, tIODirection direction);
    // Stage 0 shown, 1 Apply, 2 closed (before the dialog returns).
    void FontDialogEvent(const QFont &font, int stage);

    // IPluginManager
    IEditAPI *GetActiveEditor(bool &readOnly) override;
    void BeginUpdate() override;
    void EndUpdate() override;
    void SuspendWordWrap(bool restore) override;
    void BeginUndoableChange() override;
    void EndUndoableChange() override;
    void OpenText(bool readOnly, const QString &fileName, const QString &text) override;
    QString GetActiveText() override;

    // IPersistentObject
    void Save(cRegistryStream &stream) override;
    void Load(cRegistryStream &stream) override;

    // The action that takes Key: the first carrier of it in the menu tree,
    // depth first, then in the action list; hidden actions carry nothing.
    QAction *ShortcutCarrier(const QKeySequence &key) const;

    // Opens files dropped on the window, in drop order, each failure reported
    // and the next one opened.
    void OpenDroppedFiles(const QStringList &fileNames);
    // The local files a drag carries; empty for text and anything else.
    static QStringList DroppedFiles(const QMimeData *data);

protected:
    bool event(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    // The window's update handlers, every one of them.
    virtual void UpdateActions() {}
    // The actions in list order.
    virtual QList<QAction *> ActionList() const { return {}; }

private:
    cEditor *Active() const;
    // The decoration around the client area, as far as it is known yet.
    QMargins FrameMargins() const;
    // Primary screen first.
    static QList<QRect> AvailableScreenAreas();
    void ShowDisabledItemHint(QMenu &menu, const QPoint &pos);

    tFormMainSetup FSetup;
    tDialogExecutor FDialogExecutor;
    tFontAttributes FFontAttributes; // what the stored font held beyond a QFont
    std::unique_ptr<QPrinter> FPrinter;
    bool FFinalized = false;
    bool FRefreshing = false;
    bool FRefreshScheduled = false;
    std::unique_ptr<cShortcutKeys> FShortcuts;
};
