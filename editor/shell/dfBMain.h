#pragma once
// The main window's logic: it creates the tabs and the status bar, owns the
// settings store and the plug-in manager, and runs every menu command.
#include "editor/platform/Exceptions.h"
#include "editor/pluginhost/Plugins.h"
#include "editor/shell/PersistentSettings.h"

#include <QFont>
#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QFileDialog;
class QFontDialog;
class QMenu;
class QTimer;
class cEditor;
class cEditorController;
class cEditorStatusBar;

// Ends a walk over the documents early.
class eStopIterator : public eException
{
public:
    eStopIterator() = default;
};

class cFormMain : public QMainWindow, public IPluginManager, public IPersistentObject
{
    Q_OBJECT
public:
    explicit cFormMain(QWidget *parent = nullptr);
    ~cFormMain() override;

    cEditorController *EditorTabs = nullptr;
    cEditorStatusBar *StatusBar = nullptr;
    bool Activated = false;
    std::unique_ptr<cPersistencyManager> SettingsStore;
    bool SaveSettingsOnExit = false;
    QFont SavedFont;
    std::unique_ptr<cPluginActionManager> Plugins;

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
    void FirstActivation();
    bool CloseQuery();
    void Finalize();

    // Shows a file dialog; tests replace it to fill the dialog themselves.
    using tDialogExecutor = std::function<bool(QFileDialog &dialog)>;
    void SetDialogExecutor(tDialogExecutor executor);

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
    // Stage 0 shown, 1 Apply, 2 closed.
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

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Runs every update handler; the window drives it from menus and a timer.
    virtual void UpdateActions() {}
    bool RunDialog(QFileDialog &dialog);
    // The read-only box that Qt's file dialog lacks.
    static QCheckBox *AddReadOnlyBox(QFileDialog &dialog);

private:
    cEditor *Active() const;
    void SendKeyToActive(int key);

    tDialogExecutor FDialogExecutor;
    bool FFinalized = false;
};
