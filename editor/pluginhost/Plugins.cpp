// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/pluginhost/Plugins.h"

#include "editor/editing/EditorAPI.h"
#include "editor/editing/WaitSt.h"
#include "editor/platform/AnsiCodePage.h"
#include "editor/platform/Application.h"
#include "editor/platform/Exceptions.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"
#include "editor/pluginhost/LibraryFiles.h"
#include "editor/pluginhost/PathIterators.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QVariant>

#include <dlfcn.h>

#include <algorithm>
#include <exception>

namespace {

const char *const DialogTitles[2] = {"Import As", "Export As"};
const char *const FailureMessages[2] = {"Cannot import file \"%s\"", "Cannot export file \"%s\""};

QString FromPChar(PChar text)
{
    return text ? AnsiDecode(QByteArray(text)) : QString();
}

QString FromBStr(const cBStr &text)
{
    const std::u16string_view view = text.View();
    return QString(reinterpret_cast<const QChar *>(view.data()), qsizetype(view.size()));
}

cBStr ToBStr(const QString &text)
{
    return cBStr(std::u16string_view(reinterpret_cast<const char16_t *>(text.utf16()), size_t(text.size())));
}

int32_t HandleOf(QWidget *window)
{
    return window ? int32_t(window->winId()) : 0;
}

// A plug-in that throws across the boundary has failed, nothing more.
template <class F> HRESULT CallPlugin(F &&call) noexcept
{
    try {
        return call();
    } catch (...) {
        return E_FAIL;
    }
}

// One of GetName, GetShortHint, GetLongHint, GetFilter; false when it failed.
template <class T, class Op> bool GetText(T *plugin, Op op, QString &text)
{
    PChar value = nullptr;
    if (FAILED(CallPlugin([&] { return (plugin->*op)(&value); })))
        return false;
    text = FromPChar(value);
    return true;
}

// The short hint goes to the tooltip, the long one to the status bar; a hint
// without "|" serves as both.
void SetHint(QAction *action, const QString &hint)
{
    const qsizetype bar = hint.indexOf(u'|');
    action->setToolTip(bar < 0 ? hint : hint.left(bar));
    action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

// The chosen entry's position: plug-ins may offer the same filter text, and
// only the position tells which one the user picked.
int SelectedFilterIndex(const QFileDialog &dialog)
{
    const QStringList filters = dialog.nameFilters();
    const auto *combo = dialog.findChild<const QComboBox *>(QStringLiteral("fileTypeCombo"));
    if (combo && combo->count() == filters.size() && combo->currentIndex() >= 0)
        return combo->currentIndex();
    // A native dialog tells the text alone.
    return int(filters.indexOf(dialog.selectedNameFilter()));
}

QString ProductName()
{
    return LoadResString(res::ProductName);
}

} // namespace

// ---- cPluginManager -------------------------------------------------------

cPluginManager::cPluginManager(IPluginManager *host)
    : FHost(host), FDialogExecutor([](QFileDialog &dialog) { return dialog.exec() == QDialog::Accepted; })
{}

cPluginManager::~cPluginManager()
{
    ReleasePlugins();
    UnloadLibraries();
}

void cPluginManager::ReleasePlugins() noexcept
{
    FExportPlugins.clear();
    FImportPlugins.clear();
    FProcessingPlugins.clear();
}

void cPluginManager::UnloadLibraries() noexcept
{
    while (!FLibraries.isEmpty())
        ::dlclose(FLibraries.takeLast());
}

void cPluginManager::LoadPlugins(const QString &startPath)
{
    cPathIterator iterator(startPath);
    iterator.Mask = QStringLiteral("*.so");
    iterator.Recursive = true;
    iterator.Iterate([this](const QString &fileName) { LoadLibrary(fileName); });
}

void cPluginManager::LoadLibrary(const QString &fileName)
{
    // Whatever the loader cannot take safely is skipped as silently as a file
    // it refuses.
    const QByteArray nativeName = QFile::encodeName(fileName);
    if (!IsLoadableLibraryFile(nativeName))
        return;
    void *library = ::dlopen(nativeName.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return;
    // The same file reached again (a link to it, a second name) is the same
    // library: its plug-ins are listed once.
    if (FLibraries.contains(library)) {
        ::dlclose(library);
        return;
    }
    // Loaded means kept until the manager goes, whatever the library offers.
    FLibraries.append(library);
    const auto getInterface = reinterpret_cast<tGetInterface>(::dlsym(library, "GetInterface"));
    if (!getInterface)
        return;
    cInterfacePtr<IPlugins> collection;
    if (FAILED(CallPlugin([&] { return getInterface(collection.Out()); }))) {
        // What a failing call left behind is not trusted enough to release.
        (void)collection.Detach();
        return;
    }
    if (!collection)
        return;
    try {
        if (!collection.Query<IPlugins>(IID_IPlugins))
            return;
        CollectPlugins(collection.Get());
    } catch (...) {
        // Every call into the library is guarded already; what is left (memory
        // running out while sorting) ends what this library offers.
    }
}

void cPluginManager::CollectPlugins(IPlugins *plugins)
{
    int32_t count = 0;
    if (FAILED(CallPlugin([&] { return plugins->GetPluginCount(&count); })))
        return;
    count = std::min(count, MaxPluginsPerLibrary);
    for (int32_t i = 0; i < count; ++i) {
        cInterfacePtr<IEditorPlugin> plugin;
        if (FAILED(CallPlugin([&] { return plugins->GetPlugin(i, plugin.Out()); }))) {
            (void)plugin.Detach();
            break;
        }
        if (!plugin)
            break;
        SortPlugin(plugin);
    }
}

void cPluginManager::SortPlugin(const cInterfacePtr<IEditorPlugin> &plugin)
{
    if (!plugin.Query<INamedPlugin>(IID_INamedPlugin))
        return;
    if (auto processing = plugin.Query<IEditTextProcessingPlugin>(IID_IEditTextProcessingPlugin)) {
        FProcessingPlugins.append(std::move(processing));
        return;
    }
    if (!plugin.Query<IIOPlugin>(IID_IIOPlugin))
        return;
    if (auto import = plugin.Query<IImportPlugin>(IID_IImportPlugin))
        FImportPlugins.append(std::move(import));
    else if (auto exportPlugin = plugin.Query<IExportPlugin>(IID_IExportPlugin))
        FExportPlugins.append(std::move(exportPlugin));
}

QString cPluginManager::NameFilterOf(const QString &filter)
{
    const qsizetype bar = filter.indexOf(u'|');
    QString description = (bar < 0 ? filter : filter.left(bar)).trimmed();
    const QString mask = bar < 0 ? QString() : filter.mid(bar + 1).section(u'|', 0, 0).trimmed();

    QStringList patterns;
    for (const QString &part : mask.split(u';', Qt::SkipEmptyParts)) {
        const QString pattern = part.trimmed();
        // "*.*" stands for every file, names without a dot included.
        patterns << (pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
    }
    if (patterns.isEmpty())
        patterns << QStringLiteral("*");

    // "Text files (*.*)": the mask in brackets is replaced by the Qt form.
    const QString shown = u'(' + mask + u')';
    if (!mask.isEmpty() && description.endsWith(shown, Qt::CaseInsensitive))
        description = description.chopped(shown.size()).trimmed();
    return description + QStringLiteral(" (") + patterns.join(u' ') + u')';
}

void cPluginManager::PrepareDialog(tIODirection direction, QFileDialog &dialog) const
{
    // One entry per plug-in, so the chosen filter's index is always the
    // plug-in's, even when a plug-in's filter text is not one clean pair.
    QStringList filters;
    auto add = [&](IIOPlugin *plugin) {
        QString filter;
        GetText(plugin, &IIOPlugin::GetFilter, filter);
        filters << NameFilterOf(filter);
    };
    if (direction == ioImport)
        for (const auto &plugin : FImportPlugins)
            add(plugin.Get());
    else
        for (const auto &plugin : FExportPlugins)
            add(plugin.Get());
    dialog.setNameFilters(filters);
    dialog.setWindowTitle(QString::fromLatin1(DialogTitles[direction == ioImport ? 0 : 1]));
}

bool cPluginManager::IsEmpty(tIODirection direction) const
{
    return direction == ioImport ? FImportPlugins.isEmpty() : FExportPlugins.isEmpty();
}

void cPluginManager::ImportExport(tIODirection direction, QFileDialog &dialog, QWidget *parentWindow)
{
    const bool import = direction == ioImport;
    bool done = false;
    QString fileName;
    try {
        if (!FDialogExecutor(dialog))
            throw eCancel();
        fileName = dialog.selectedFiles().value(0);
        const int index = SelectedFilterIndex(dialog);
        const qsizetype count = import ? FImportPlugins.size() : FExportPlugins.size();
        if (index < 0 || index >= count)
            throw EInvalidOperation(Format(QStringLiteral("List index out of bounds (%d)"), {index}));
        // The busy cursor covers the plug-in's work, not the dialogs around it.
        const auto busy = cWaitStateSingleton::NewBusyToken();
        done = import ? Import(index, fileName, dialog, HandleOf(parentWindow))
                      : Export(index, fileName, HandleOf(parentWindow));
    } catch (const eCancel &) {
        return;
    }
    if (!done)
        MessageBox(parentWindow, Format(QString::fromLatin1(FailureMessages[import ? 0 : 1]), {fileName}),
                   ProductName(), MB_OK | MB_ICONERROR);
}

bool cPluginManager::Import(int index, const QString &fileName, QFileDialog &dialog, int32_t parentHandle)
{
    IImportPlugin *plugin = FImportPlugins.at(index).Get();
    const QByteArray ansiName = AnsiEncode(fileName);
    cBStr text;
    if (FAILED(CallPlugin([&] { return plugin->Import(parentHandle, ansiName.constData(), text.Out()); })))
        return false;
    FHost->OpenText(dialog.property(ImportReadOnlyProperty).toBool(), fileName, FromBStr(text));
    return true;
}

bool cPluginManager::Export(int index, const QString &fileName, int32_t parentHandle)
{
    IExportPlugin *plugin = FExportPlugins.at(index).Get();
    const cBStr text = ToBStr(FHost->GetActiveText());
    QString target = fileName;
    if (!QFileInfo(fileName).fileName().contains(u'.'))
        target += QStringLiteral(".txt");
    const QByteArray ansiName = AnsiEncode(target);
    return SUCCEEDED(
        CallPlugin([&] { return plugin->Export(parentHandle, ansiName.constData(), text.Get()); }));
}

// ---- cPluginActionManager -------------------------------------------------

cPluginActionManager::cPluginActionManager(IPluginManager *host, QMenu *menuItem, const QString &startPath)
    : cPluginManager(host), FMenuItem(menuItem), FActionList(std::make_unique<QObject>())
{
    LoadPlugins(startPath);
    BuildActions();
}

cPluginActionManager::cPluginActionManager(IPluginManager *host, QMenu *menuItem)
    : cPluginActionManager(host, menuItem, ExecutablePath())
{}

cPluginActionManager::~cPluginActionManager()
{
    // The actions go first: nothing may reach a plug-in once its release starts.
    FActions.clear();
    FActionList.reset();
}

void cPluginActionManager::BuildActions()
{
    const int count = int(ProcessingPlugins().size());
    if (FMenuItem)
        FMenuItem->menuAction()->setVisible(count > 0);
    for (int i = 0; i < count; ++i) {
        auto *action = new QAction(FActionList.get());
        action->setData(i);
        action->setEnabled(false); // until a refresh finds a writable document
        if (i < 9)
            action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)));
        QObject::connect(action, &QAction::triggered, FActionList.get(), [this, i] {
            try {
                RunAction(i);
            } catch (...) {
                ShowCurrentException();
            }
        });
        FActions.append(action);
        if (FMenuItem)
            FMenuItem->addAction(action);
    }
    if (FMenuItem)
        QObject::connect(FMenuItem, &QMenu::aboutToShow, FActionList.get(), [this] { UpdateActions(); });
}

void cPluginActionManager::UpdateActions()
{
    for (int i = 0; i < FActions.size(); ++i)
        UpdateAction(i);
}

void cPluginActionManager::UpdateAction(int index)
{
    QAction *action = FActions.at(index);
    IEditTextProcessingPlugin *plugin = ProcessingPlugins().at(index).Get();
    bool enabled = false;
    try {
        bool readOnly = false;
        IEditAPI *api = Host()->GetActiveEditor(readOnly);
        enabled = api && !readOnly;
        if (enabled) {
            QString name, shortHint, longHint;
            if (GetText(plugin, &INamedPlugin::GetName, name))
                if (GetText(plugin, &INamedPlugin::GetShortHint, shortHint))
                    GetText(plugin, &INamedPlugin::GetLongHint, longHint);
            action->setText(name);
            SetHint(action, !shortHint.isEmpty() && !longHint.isEmpty() ? shortHint + u'|' + longHint
                                                                        : shortHint + longHint);
            LongBool pluginEnabled = LONGBOOL_FALSE;
            enabled = SUCCEEDED(CallPlugin([&] { return plugin->GetEnabled(api, &pluginEnabled); })) &&
                      pluginEnabled != LONGBOOL_FALSE;
            // A refresh is no place for an error box: a failing editor API
            // only disables, and nothing is left for the next run to raise.
            if (cEditAPI::TakeAPIErrorOf(api))
                enabled = false;
        }
    } catch (...) {
        // An update runs from Qt's refresh: a failing host only disables.
        enabled = false;
    }
    action->setEnabled(enabled);
}

void cPluginActionManager::RunAction(int index)
{
    // As a shortcut may fire before the next refresh, the state is checked
    // again: a plug-in never runs without a writable document.
    UpdateAction(index);
    if (!FActions.at(index)->isEnabled())
        return;

    IEditTextProcessingPlugin *plugin = ProcessingPlugins().at(index).Get();
    IPluginManager *host = Host();
    HRESULT result = S_OK;
    cBStr message;
    std::exception_ptr error;
    bool undoOpen = false, updateOpen = false, wrapSuspended = false;
    {
        const auto busy = cWaitStateSingleton::NewBusyToken();
        try {
            host->BeginUndoableChange();
            undoOpen = true;
            host->BeginUpdate();
            updateOpen = true;
            host->SuspendWordWrap(false);
            wrapSuspended = true;
            bool readOnly = false;
            if (IEditAPI *api = host->GetActiveEditor(readOnly)) {
                (void)cEditAPI::TakeAPIErrorOf(api); // not this command's
                result = CallPlugin([&] { return plugin->Process(api, message.Out()); });
                // The plug-in only saw E_FAIL; the failure itself is raised
                // once the bracket is closed, as any error of the host.
                error = cEditAPI::TakeAPIErrorOf(api);
            }
        } catch (...) {
            error = std::current_exception();
        }
        // Every step that was opened is closed, even when closing one fails.
        auto close = [&](bool open, auto &&step) {
            if (!open)
                return;
            try {
                step();
            } catch (...) {
                if (!error)
                    error = std::current_exception();
            }
        };
        close(wrapSuspended, [&] { host->SuspendWordWrap(true); });
        close(updateOpen, [&] { host->EndUpdate(); });
        close(undoOpen, [&] { host->EndUndoableChange(); });
    }
    if (error)
        std::rethrow_exception(error);
    ReportResult(index, result, FromBStr(message));
}

void cPluginActionManager::ReportResult(int index, HRESULT result, const QString &message)
{
    QString caption = FActions.at(index)->text();
    if (caption.isEmpty())
        caption = ProductName();
    QWidget *owner = ApplicationMainWindow();
    if (FAILED(result)) {
        const QString text = message.isEmpty()
                                 ? QStringLiteral("Failed to process text")
                                 : Format(QStringLiteral("Failed to process text:\r\r\"%s\""), {message});
        MessageBox(owner, text, caption, MB_OK | MB_ICONERROR);
    } else if (!message.isEmpty()) {
        MessageBox(owner, message, caption, MB_OK | MB_ICONINFORMATION);
    }
}
