// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The plug-in manager: finds the plug-in libraries in the program's directory
// tree, sorts their plug-ins into import formats, export formats and text
// commands, and runs them.
#include "contract/EditorPlugins_TLB.h"
#include "editor/pluginhost/InterfacePtr.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QFileDialog;
class QMenu;
class QObject;
class QWidget;

// The main window's callbacks, through which the manager reaches the active
// document. Used only inside the program, never across a library boundary.
class IPluginManager
{
public:
    // The active document's editor API (not reference-counted, valid while the
    // document lives), or null when none is open; ReadOnly is its flag.
    virtual IEditAPI *GetActiveEditor(bool &readOnly) = 0;
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
    // False: the document shows its real lines; true: its wrapping returns.
    virtual void SuspendWordWrap(bool restore) = 0;
    // What happens in between is undone as one step.
    virtual void BeginUndoableChange() = 0;
    virtual void EndUndoableChange() = 0;
    virtual void OpenText(bool readOnly, const QString &fileName, const QString &text) = 0;
    // Called only while a document is open.
    virtual QString GetActiveText() = 0;

protected:
    ~IPluginManager() = default;
};

enum tIODirection : uint8_t
{
    ioImport = 0,
    ioExport = 1
};

// A boolean property of the Import dialog: true when the user asked for the
// imported text to open read-only. Qt's dialog has no such box of its own, so
// whoever adds one keeps this property in step with it.
inline constexpr char ImportReadOnlyProperty[] = "quorvelImportReadOnly";

// More than this many plug-ins in one library is a broken count.
inline constexpr int32_t MaxPluginsPerLibrary = 1024;

class cPluginManager
{
public:
    // Shows the dialog; true when the user accepted it. Replaceable so that
    // tests can fill the dialog in without a modal loop.
    using tDialogExecutor = std::function<bool(QFileDialog &dialog)>;

    // Loads nothing yet. Host is not owned and must outlive the manager.
    explicit cPluginManager(IPluginManager *host);
    // Releases every plug-in, then unloads the libraries, last loaded first.
    virtual ~cPluginManager();
    cPluginManager(const cPluginManager &) = delete;
    cPluginManager &operator=(const cPluginManager &) = delete;

    // Loads every "*.so" in the directory of StartPath and below, in the
    // order of the walk.
    void LoadPlugins(const QString &startPath);
    // One library, with every check in order; nothing is ever reported.
    void LoadLibrary(const QString &fileName);

    // One name filter per plug-in of the direction, in list order, and the
    // title "Import As" or "Export As".
    void PrepareDialog(tIODirection direction, QFileDialog &dialog) const;
    bool IsEmpty(tIODirection direction) const;
    // Shows the dialog and runs the plug-in of the chosen filter. A cancelled
    // dialog does nothing; a failing plug-in is reported owned by
    // ParentWindow, whose handle the plug-in gets.
    void ImportExport(tIODirection direction, QFileDialog &dialog, QWidget *parentWindow);

    void SetDialogExecutor(tDialogExecutor executor) { FDialogExecutor = std::move(executor); }

    const QList<cInterfacePtr<IImportPlugin>> &ImportPlugins() const noexcept { return FImportPlugins; }
    const QList<cInterfacePtr<IExportPlugin>> &ExportPlugins() const noexcept { return FExportPlugins; }
    const QList<cInterfacePtr<IEditTextProcessingPlugin>> &ProcessingPlugins() const noexcept
    {
        return FProcessingPlugins;
    }
    // dlopen handles of every library that loaded, in load order.
    const QList<void *> &Libraries() const noexcept { return FLibraries; }

    // "desc|mask" (masks separated by ";") as a Qt name filter.
    static QString NameFilterOf(const QString &filter);

protected:
    IPluginManager *Host() const noexcept { return FHost; }

private:
    void CollectPlugins(IPlugins *plugins);
    void SortPlugin(const cInterfacePtr<IEditorPlugin> &plugin);
    bool Import(int index, const QString &fileName, QFileDialog &dialog, int32_t parentHandle);
    bool Export(int index, const QString &fileName, int32_t parentHandle);
    void ReleasePlugins() noexcept;
    void UnloadLibraries() noexcept;

    IPluginManager *FHost;
    QList<cInterfacePtr<IImportPlugin>> FImportPlugins;
    QList<cInterfacePtr<IExportPlugin>> FExportPlugins;
    QList<cInterfacePtr<IEditTextProcessingPlugin>> FProcessingPlugins;
    QList<void *> FLibraries;
    tDialogExecutor FDialogExecutor;
};

// Adds one menu command per text-processing plug-in under the "&Plug-ins"
// menu. The main window calls UpdateActions from its refresh (the menu's
// aboutToShow is hooked already) and frees the manager before the menu.
class cPluginActionManager : public cPluginManager
{
public:
    // Loads the plug-ins below StartPath, then builds the commands; the menu
    // is hidden when there are none.
    cPluginActionManager(IPluginManager *host, QMenu *menuItem, const QString &startPath);
    cPluginActionManager(IPluginManager *host, QMenu *menuItem);
    ~cPluginActionManager() override;

    // One action per entry of ProcessingPlugins, same index (also in data()).
    const QList<QAction *> &Actions() const noexcept { return FActions; }

    // Enabled only while a writable document is active and the plug-in
    // agrees; caption and hints are refreshed only then.
    void UpdateActions();
    void UpdateAction(int index);
    // Runs command Index on the active document inside the undo, update and
    // word-wrap bracket, which is closed on every path; then reports the
    // plug-in's message. Errors of the host, and a failure the document's
    // editor API kept during the run, propagate after the bracket instead.
    void RunAction(int index);

private:
    void BuildActions();
    void ReportResult(int index, HRESULT result, const QString &message);

    QPointer<QMenu> FMenuItem;
    std::unique_ptr<QObject> FActionList; // parent of every action
    QList<QAction *> FActions;
};
