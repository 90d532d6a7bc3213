// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/pluginhost/Plugins.h"

#include "editor/editing/Editors.h"
#include "editor/platform/Exceptions.h"
#include "editor/platform/MessageBox.h"
#include "TestPluginControl.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// An editor API that answers every question with nothing.
class cTestEditAPI : public IEditAPI
{
public:
    HRESULT QueryInterface(const GUID &, void **out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return uint32_t(-1); }
    uint32_t Release() override { return uint32_t(-1); }
    HRESULT AddLine(BSTR) override { return S_OK; }
    HRESULT InsertLine(int32_t, BSTR) override { return S_OK; }
    HRESULT DeleteLine(int32_t) override { return S_OK; }
    HRESULT MoveLine(int32_t, int32_t) override { return S_OK; }
    HRESULT GetLineCount(int32_t *count) override { return *count = 0, S_OK; }
    HRESULT GetLine(int32_t, BSTR *text) override { return *text = nullptr, S_OK; }
    HRESULT SetLine(int32_t, BSTR) override { return S_OK; }
    HRESULT GetText(BSTR *text) override { return *text = nullptr, S_OK; }
    HRESULT SetText(BSTR) override { return S_OK; }
    HRESULT GetCurrentLine(int32_t *line) override { return *line = 0, S_OK; }
    HRESULT SetCurrentLine(int32_t) override { return S_OK; }
    HRESULT GetCurrentColumn(int32_t *column) override { return *column = 0, S_OK; }
    HRESULT SetCurrentColumn(int32_t) override { return S_OK; }
    HRESULT GetSelStart(int32_t *start) override { return *start = 0, S_OK; }
    HRESULT SetSelStart(int32_t) override { return S_OK; }
    HRESULT GetSelLength(int32_t *length) override { return *length = 0, S_OK; }
    HRESULT SetSelLength(int32_t) override { return S_OK; }
    HRESULT GetSelText(BSTR *text) override { return *text = nullptr, S_OK; }
    HRESULT SetSelText(BSTR) override { return S_OK; }
    HRESULT GetMainWindowHandle(int32_t *handle) override { return *handle = 0, S_OK; }
    HRESULT GetEditorHandle(int32_t *handle) override { return *handle = 0, S_OK; }
    HRESULT FindText(BSTR, int32_t, int32_t, LongBool, LongBool, LongBool, int32_t *position) override
    {
        return *position = -1, S_OK;
    }
};

// The main window's part, recording every callback in order.
class cTestHost : public IPluginManager
{
public:
    struct tOpened
    {
        bool ReadOnly;
        QString FileName, Text;
    };

    bool HasEditor = true;
    bool ReadOnly = false;
    QString ThrowOn; // the callback that fails
    QString ActiveText = QStringLiteral("active text");
    QStringList Log;
    QList<tOpened> Opened;
    cTestEditAPI Api;
    IEditAPI *Document = nullptr; // a real document's API, used instead of Api

    IEditAPI *GetActiveEditor(bool &readOnly) override
    {
        Call(QStringLiteral("GetActiveEditor"));
        readOnly = HasEditor && ReadOnly;
        if (!HasEditor)
            return nullptr;
        return Document ? Document : &Api;
    }
    void BeginUpdate() override { Call(QStringLiteral("BeginUpdate")); }
    void EndUpdate() override { Call(QStringLiteral("EndUpdate")); }
    void SuspendWordWrap(bool restore) override
    {
        Call(restore ? QStringLiteral("RestoreWordWrap") : QStringLiteral("SuspendWordWrap"));
    }
    void BeginUndoableChange() override { Call(QStringLiteral("BeginUndoableChange")); }
    void EndUndoableChange() override { Call(QStringLiteral("EndUndoableChange")); }
    void OpenText(bool readOnly, const QString &fileName, const QString &text) override
    {
        Call(QStringLiteral("OpenText"));
        Opened.append({readOnly, fileName, text});
    }
    QString GetActiveText() override
    {
        Call(QStringLiteral("GetActiveText"));
        return ActiveText;
    }

private:
    void Call(const QString &name)
    {
        Log << name;
        if (name == ThrowOn)
            throw eException(QStringLiteral("host failed in ") + name);
    }
};

// A document whose text cannot be read, as when memory runs out.
class cFailingDocument : public cEditor
{
public:
    QString GetTextW() const override { throw EOutOfResources(QStringLiteral("Out of memory")); }
};

const QStringList FullBracket{"BeginUndoableChange", "BeginUpdate", "SuspendWordWrap",  "GetActiveEditor",
                              "RestoreWordWrap",     "EndUpdate",   "EndUndoableChange"};

// A throwaway program tree: <tmp>/prog/quorvel with the libraries below it.
class PluginManager : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FTemp.isValid());
        ASSERT_TRUE(QDir().mkpath(Prog()));
    }
    QString Prog() const { return FTemp.path() + QStringLiteral("/prog"); }
    QString StartPath() const { return Prog() + QStringLiteral("/quorvel"); }

    // Copies test library Name (e.g. "tp_io") to Prog()/RelativePath.
    QString Place(const char *name, const QString &relativePath)
    {
        const QString target = Prog() + u'/' + relativePath;
        QDir().mkpath(QFileInfo(target).path());
        const QString source = QStringLiteral(QUORVEL_TEST_PLUGIN_DIR "/") + QLatin1String(name) + ".so";
        EXPECT_TRUE(QFile::copy(source, target)) << target.toStdString();
        return target;
    }
    // The control block of a library the manager has loaded.
    static tTestControl *Control(const QString &path)
    {
        void *handle = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_NOLOAD);
        if (!handle)
            return nullptr;
        auto function = reinterpret_cast<tTestControlFunction>(::dlsym(handle, "TestControl"));
        ::dlclose(handle); // the manager's own reference keeps it loaded
        return function ? function() : nullptr;
    }
    static bool IsLoaded(const QString &path)
    {
        void *handle = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_NOLOAD);
        if (handle)
            ::dlclose(handle);
        return handle != nullptr;
    }

    QTemporaryDir FTemp;
    cTestHost Host;
};

QStringList Captions(const QList<tMessageBoxCall> &calls)
{
    QStringList out;
    for (const tMessageBoxCall &call : calls)
        out << call.Caption;
    return out;
}

// Picks entry Index of the dialog's file-type box with the keyboard, as a
// user would; the entries' texts need not differ.
void ChooseFilter(QFileDialog &dialog, int index)
{
    for (QComboBox *combo : dialog.findChildren<QComboBox *>()) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        if (items != dialog.nameFilters())
            continue;
        QTest::keyClick(combo, Qt::Key_Home);
        for (int i = 0; i < index; ++i)
            QTest::keyClick(combo, Qt::Key_Down);
        ASSERT_EQ(combo->currentIndex(), index);
        return;
    }
    ADD_FAILURE() << "the dialog has no file-type box";
}

} // namespace

TEST_F(PluginManager, DiscoveryWalksTheProgramTreeWithItsRules)
{
    const QString deep = Place("tp_io", QStringLiteral("a/b/deep.so"));
    const QString hidden = Place("tp_commands", QStringLiteral(".hidden/commands.so"));
    const QString dotted = Place("tp_failing", QStringLiteral(".failing.so"));
    const QString bare = Place("tp_nointerface", QStringLiteral("bare.so"));
    QFile text(Prog() + QStringLiteral("/x.so"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a library");
    text.close();
    // A loop back to the top and a second name for a library already found.
    ASSERT_TRUE(QFile::link(Prog(), Prog() + QStringLiteral("/a/loop")));
    ASSERT_TRUE(QFile::link(deep, Prog() + QStringLiteral("/a/again.so")));

    cPluginManager manager(&Host);
    manager.LoadPlugins(StartPath());

    EXPECT_TRUE(IsLoaded(deep));
    EXPECT_TRUE(IsLoaded(dotted));
    EXPECT_TRUE(IsLoaded(bare)); // stays loaded though it offers nothing
    EXPECT_FALSE(IsLoaded(hidden));
    EXPECT_EQ(manager.Libraries().size(), 3);

    // Import, unknown, export, menu-only, bare, import, export: the unknown
    // kinds are skipped, and the linked name adds nothing.
    EXPECT_EQ(manager.ImportPlugins().size(), 2);
    EXPECT_EQ(manager.ExportPlugins().size(), 2);
    // The failing collection offers two of its five before GetPlugin fails.
    ASSERT_EQ(manager.ProcessingPlugins().size(), 2);
    EXPECT_EQ(Control(dotted)->GetPluginCalls, 3);
    EXPECT_FALSE(manager.IsEmpty(ioImport));
    EXPECT_FALSE(manager.IsEmpty(ioExport));
}

TEST_F(PluginManager, AbsurdPluginCountIsCapped)
{
    const QString garbage = Place("tp_garbage", QStringLiteral("garbage.so"));
    cPluginManager manager(&Host);
    manager.LoadPlugins(StartPath());
    ASSERT_TRUE(IsLoaded(garbage));
    EXPECT_EQ(Control(garbage)->GetPluginCalls, MaxPluginsPerLibrary);
    EXPECT_TRUE(manager.ProcessingPlugins().isEmpty());
}

TEST_F(PluginManager, PluginsThrowingFromQueryInterfaceOrCountingEndNothingElse)
{
    const QString path = Place("tp_throwing", QStringLiteral("throwing.so"));
    Place("tp_io", QStringLiteral("sub/io.so"));
    {
        QMenu menu;
        cPluginActionManager manager(&Host, &menu, StartPath());
        // The plug-in whose QueryInterface throws is skipped, as an unknown
        // kind would be; the ones after it and the next library still count.
        ASSERT_EQ(manager.ProcessingPlugins().size(), 3);
        EXPECT_EQ(manager.ImportPlugins().size(), 2);
        manager.UpdateActions();
        QStringList captions;
        for (QAction *action : manager.Actions())
            captions << action->text();
        EXPECT_EQ(captions, (QStringList{"Before", "Counting", "After"}));

        tTestControl *control = Control(path);
        ASSERT_NE(control, nullptr);
        control->RefsThrow = true;
        {
            const cInterfacePtr<IEditTextProcessingPlugin> copy(manager.ProcessingPlugins()[1]);
            EXPECT_TRUE(copy);
        }
        cMessageBoxAnswerer answerer([](const tMessageBoxCall &) { return IDOK; });
        manager.Actions()[1]->trigger();
        EXPECT_EQ(control->Processed, std::vector<int>{2});
        EXPECT_TRUE(answerer.Calls().isEmpty());
    } // released while Release still throws
    EXPECT_FALSE(IsLoaded(path));
}

TEST_F(PluginManager, CutShortOrForeignLibraryFilesAreSkippedUnmapped)
{
    const QString whole = Place("tp_io", QStringLiteral("whole.so"));
    QFile source(whole);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    ASSERT_GT(bytes.size(), 8192);
    auto write = [&](const QString &name, const QByteArray &content) {
        QFile file(Prog() + u'/' + name);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return file.fileName();
    };
    // Cut inside the header, inside the program headers, and through the
    // loadable segments, the way a copy that ran out of space leaves them.
    QStringList skipped;
    for (const qsizetype cut :
         {qsizetype(0), qsizetype(16), qsizetype(100), qsizetype(4096), bytes.size() / 2})
        skipped << write(QStringLiteral("cut%1.so").arg(cut), bytes.left(cut));
    QByteArray foreign = bytes;
    foreign[18] = char(0xEF); // e_machine: no such machine
    foreign[19] = char(0xBE);
    skipped << write(QStringLiteral("foreign.so"), foreign);
    QByteArray executable = bytes;
    executable[16] = char(ET_EXEC); // e_type
    executable[17] = 0;
    skipped << write(QStringLiteral("exec.so"), executable);

    cPluginManager manager(&Host);
    manager.LoadPlugins(StartPath());
    EXPECT_TRUE(IsLoaded(whole));
    EXPECT_EQ(manager.Libraries().size(), 1);
    EXPECT_EQ(manager.ImportPlugins().size(), 2);
    for (const QString &name : skipped)
        EXPECT_FALSE(IsLoaded(name)) << name.toStdString();
}

TEST_F(PluginManager, FifoNamedLikeALibraryDoesNotBlockTheWalk)
{
    Place("tp_io", QStringLiteral("io.so"));
    const QByteArray fifo = QFile::encodeName(Prog() + QStringLiteral("/pipe.so"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);

    // Should the walk block in open(), a writer comes along after a generous
    // wait, so that the test fails instead of hanging.
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false, rescued = false;
    std::thread rescuer([&] {
        std::unique_lock lock(mutex);
        if (finished.wait_for(lock, std::chrono::seconds(30), [&] { return done; }))
            return;
        rescued = true;
        while (!done) {
            const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0)
                ::close(fd);
            finished.wait_for(lock, std::chrono::milliseconds(100), [&] { return done; });
        }
    });
    cPluginManager manager(&Host);
    manager.LoadPlugins(StartPath());
    {
        const std::lock_guard lock(mutex);
        done = true;
    }
    finished.notify_all();
    rescuer.join();
    EXPECT_FALSE(rescued);
    EXPECT_EQ(manager.Libraries().size(), 1);
    EXPECT_EQ(manager.ImportPlugins().size(), 2);
}

TEST_F(PluginManager, LibrariesUnloadLastLoadedFirst)
{
    const QString log = FTemp.path() + QStringLiteral("/unload.log");
    qputenv("QUORVEL_TEST_UNLOAD_LOG", QFile::encodeName(log));
    // One library per level: the walk loads them top-down.
    const QStringList paths{Place("tp_commands", QStringLiteral("one.so")),
                            Place("tp_io", QStringLiteral("sub/two.so")),
                            Place("tp_nointerface", QStringLiteral("sub/deeper/three.so"))};
    {
        QMenu menu;
        cPluginActionManager manager(&Host, &menu, StartPath());
        ASSERT_EQ(manager.Libraries().size(), 3);
    }
    qunsetenv("QUORVEL_TEST_UNLOAD_LOG");
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList unloaded = QString::fromLocal8Bit(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(unloaded, (QStringList{paths[2], paths[1], paths[0]}));
    for (const QString &path : paths)
        EXPECT_FALSE(IsLoaded(path));
}

TEST_F(PluginManager, NoLibrariesHidesThePluginsMenu)
{
    QMenu menu;
    cPluginActionManager manager(&Host, &menu, StartPath());
    EXPECT_FALSE(menu.menuAction()->isVisible());
    EXPECT_TRUE(manager.Actions().isEmpty());
    EXPECT_TRUE(manager.IsEmpty(ioImport));
    EXPECT_TRUE(manager.IsEmpty(ioExport));
}

TEST_F(PluginManager, TenCommandsGetCtrlDigitShortcutsForTheFirstNine)
{
    Place("tp_commands", QStringLiteral("commands.so"));
    QMenu menu;
    cPluginActionManager manager(&Host, &menu, StartPath());
    EXPECT_TRUE(menu.menuAction()->isVisible());
    ASSERT_EQ(manager.Actions().size(), 10);
    EXPECT_EQ(menu.actions(), manager.Actions());
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(manager.Actions()[i]->shortcut(), QKeySequence(QStringLiteral("Ctrl+%1").arg(i + 1)));
    EXPECT_TRUE(manager.Actions()[9]->shortcut().isEmpty());
}

TEST_F(PluginManager, CommandsFollowTheActiveDocument)
{
    const QString path = Place("tp_commands", QStringLiteral("commands.so"));
    QMenu menu;
    cPluginActionManager manager(&Host, &menu, StartPath());
    QAction *first = manager.Actions()[0];
    QAction *second = manager.Actions()[1];

    // Before any writable document: disabled and empty.
    Host.HasEditor = false;
    manager.UpdateActions();
    EXPECT_FALSE(first->isEnabled());
    EXPECT_TRUE(first->text().isEmpty());

    Host.HasEditor = true;
    emit menu.aboutToShow();
    EXPECT_TRUE(first->isEnabled());
    EXPECT_EQ(first->text(), QStringLiteral("Command 1"));
    EXPECT_EQ(first->toolTip(), QStringLiteral("Short 1"));
    EXPECT_EQ(first->statusTip(), QStringLiteral("Long 1"));
    // Without a long hint the short one serves the status bar too.
    EXPECT_EQ(second->statusTip(), QStringLiteral("Short 2"));
    EXPECT_EQ(second->toolTip(), QStringLiteral("Short 2"));

    // Read-only: disabled, captions kept.
    Host.ReadOnly = true;
    manager.UpdateActions();
    EXPECT_FALSE(first->isEnabled());
    EXPECT_EQ(first->text(), QStringLiteral("Command 1"));

    // The plug-in decides last; any non-zero answer is true.
    Host.ReadOnly = false;
    tTestControl *control = Control(path);
    control->Enabled = LONGBOOL_FALSE;
    manager.UpdateActions();
    EXPECT_FALSE(first->isEnabled());
    control->Enabled = 5;
    manager.UpdateActions();
    EXPECT_TRUE(first->isEnabled());

    // A host that fails while the menu refreshes only disables.
    Host.ThrowOn = QStringLiteral("GetActiveEditor");
    EXPECT_NO_THROW(manager.UpdateActions());
    EXPECT_FALSE(first->isEnabled());
}

TEST_F(PluginManager, RunReportsTheFourOutcomes)
{
    const QString path = Place("tp_commands", QStringLiteral("commands.so"));
    QMenu menu;
    cPluginActionManager manager(&Host, &menu, StartPath());
    tTestControl *control = Control(path);
    struct tCase
    {
        HRESULT Result;
        const char16_t *Message;
        QString Text; // empty: no box
        unsigned Icon;
    } cases[] = {
        {E_FAIL, u"bad input", QStringLiteral("Failed to process text:\r\r\"bad input\""), MB_ICONERROR},
        {S_OK, u"All done", QStringLiteral("All done"), MB_ICONINFORMATION},
        {E_FAIL, u"", QStringLiteral("Failed to process text"), MB_ICONERROR},
        {S_OK, u"", QString(), 0},
    };
    manager.UpdateActions(); // the main window's refresh enables the commands
    for (const tCase &c : cases) {
        control->ProcessResult = c.Result;
        control->ProcessMessage = c.Message;
        cMessageBoxAnswerer answerer([](const tMessageBoxCall &) { return IDOK; });
        Host.Log.clear();
        manager.Actions()[2]->trigger();
        EXPECT_EQ(Host.Log.mid(1), FullBracket); // after the state check
        if (c.Text.isEmpty()) {
            EXPECT_TRUE(answerer.Calls().isEmpty());
            continue;
        }
        ASSERT_EQ(answerer.Calls().size(), 1);
        EXPECT_EQ(answerer.Calls()[0].Text, c.Text);
        EXPECT_EQ(answerer.Calls()[0].Caption, QStringLiteral("Command 3"));
        EXPECT_EQ(answerer.Calls()[0].Flags & MB_ICONMASK, c.Icon);
    }
    EXPECT_EQ(control->Processed, (std::vector<int>{2, 2, 2, 2}));
    EXPECT_EQ(control->LastApi, &Host.Api);
}

TEST_F(PluginManager, BracketIsClosedWhateverFails)
{
    const QString path = Place("tp_commands", QStringLiteral("commands.so"));
    QMenu menu;
    cPluginActionManager manager(&Host, &menu, StartPath());
    tTestControl *control = Control(path);
    cMessageBoxAnswerer answerer([](const tMessageBoxCall &) { return IDOK; });

    // A plug-in that throws across the boundary has simply failed.
    control->ProcessThrows = true;
    Host.Log.clear();
    EXPECT_NO_THROW(manager.RunAction(0));
    EXPECT_EQ(Host.Log.mid(1), FullBracket);
    control->ProcessThrows = false;

    // The document fails inside the plug-in's call. The plug-in only sees
    // E_FAIL and reports a failure of its own; what reaches the user is the
    // document's error, raised once the bracket is closed.
    cFailingDocument document;
    Host.Document = document.EditAPI();
    control->ProcessCallsApi = true;
    control->ProcessResult = E_FAIL;
    control->ProcessMessage = u"no text";
    Host.Log.clear();
    EXPECT_THROW(manager.RunAction(0), EOutOfResources);
    EXPECT_EQ(Host.Log.mid(1), FullBracket);
    EXPECT_EQ(answerer.Calls().size(), 1);
    EXPECT_EQ(document.TakeAPIError(), nullptr); // raised once, not kept
    manager.Actions()[0]->trigger();
    ASSERT_EQ(answerer.Calls().size(), 2);
    EXPECT_EQ(answerer.Calls()[1].Text, QStringLiteral("Out of memory"));
    EXPECT_EQ(answerer.Calls()[1].Caption, QStringLiteral("Zelmar"));
    EXPECT_EQ(answerer.Calls()[1].Flags & MB_ICONMASK, MB_ICONERROR);

    // Failing while the menu refreshes only disables: no box, and nothing
    // left over for the next run to raise.
    control->EnabledCallsApi = true;
    manager.UpdateActions();
    EXPECT_FALSE(manager.Actions()[0]->isEnabled());
    EXPECT_EQ(document.TakeAPIError(), nullptr);
    EXPECT_EQ(answerer.Calls().size(), 2);
    control->EnabledCallsApi = false;
    control->ProcessCallsApi = false;
    control->ProcessResult = S_OK;
    control->ProcessMessage.clear();
    Host.Document = nullptr;

    // A host callback of the bracket fails: what was opened is closed, and the
    // error goes on to the caller.
    Host.ThrowOn = QStringLiteral("BeginUpdate");
    Host.Log.clear();
    EXPECT_THROW(manager.RunAction(0), eException);
    EXPECT_EQ(Host.Log.mid(1), (QStringList{"BeginUndoableChange", "BeginUpdate", "EndUndoableChange"}));

    // A failing close still lets the later ones run.
    Host.ThrowOn = QStringLiteral("RestoreWordWrap");
    Host.Log.clear();
    EXPECT_THROW(manager.RunAction(0), eException);
    EXPECT_EQ(Host.Log.mid(1), FullBracket);

    // From the menu the error reaches the standard error box.
    Host.ThrowOn = QStringLiteral("SuspendWordWrap");
    manager.UpdateActions();
    manager.Actions()[0]->trigger();
    ASSERT_EQ(answerer.Calls().size(), 3);
    EXPECT_EQ(answerer.Calls()[2].Text, QStringLiteral("host failed in SuspendWordWrap"));
    EXPECT_EQ(Captions(answerer.Calls()).last(), QStringLiteral("Zelmar"));
}

TEST_F(PluginManager, DisabledCommandDoesNotRun)
{
    const QString path = Place("tp_commands", QStringLiteral("commands.so"));
    QMenu menu;
    cPluginActionManager manager(&Host, &menu, StartPath());
    Host.ReadOnly = true;
    Host.Log.clear();
    manager.RunAction(0);
    EXPECT_EQ(Host.Log, QStringList{"GetActiveEditor"});
    EXPECT_TRUE(Control(path)->Processed.empty());
}

TEST_F(PluginManager, DialogsListOneFilterPerFormat)
{
    Place("tp_io", QStringLiteral("io.so"));
    cPluginManager manager(&Host);
    manager.LoadPlugins(StartPath());
    QFileDialog importDialog, exportDialog;
    manager.PrepareDialog(ioImport, importDialog);
    manager.PrepareDialog(ioExport, exportDialog);
    EXPECT_EQ(importDialog.windowTitle(), QStringLiteral("Import As"));
    EXPECT_EQ(importDialog.nameFilters(), (QStringList{"First files (*.one)", "Second files (*.two *.2)"}));
    EXPECT_EQ(exportDialog.windowTitle(), QStringLiteral("Export As"));
    // "*.*" means every file, names without a dot included.
    EXPECT_EQ(exportDialog.nameFilters(), (QStringList{"Text files (*)", "Other (*.oth)"}));
    // A filter text that is not one clean pair still yields exactly one entry.
    EXPECT_EQ(cPluginManager::NameFilterOf(QStringLiteral("No mask")), QStringLiteral("No mask (*)"));
    EXPECT_EQ(cPluginManager::NameFilterOf(QStringLiteral("A|*.a|B|*.b")), QStringLiteral("A (*.a)"));
}

TEST_F(PluginManager, ImportRunsTheChosenFormat)
{
    const QString path = Place("tp_io", QStringLiteral("io.so"));
    cPluginManager manager(&Host);
    manager.LoadPlugins(StartPath());
    tTestControl *control = Control(path);
    control->ImportText = u"imported";
    QWidget parent;
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::AnyFile);
    manager.PrepareDialog(ioImport, dialog);
    const QString file = FTemp.path() + QStringLiteral("/data.two");
    bool accept = true;
    manager.SetDialogExecutor([&](QFileDialog &d) {
        d.selectFile(file);
        d.selectNameFilter(d.nameFilters().at(1));
        return accept;
    });
    cMessageBoxAnswerer answerer([](const tMessageBoxCall &) { return IDOK; });

    dialog.setProperty(ImportReadOnlyProperty, true);
    manager.ImportExport(ioImport, dialog, &parent);
    ASSERT_EQ(control->Calls, (std::vector<std::string>{"import SecondImport " + file.toStdString()}));
    EXPECT_EQ(control->LastParentWindow, int32_t(parent.winId()));
    ASSERT_EQ(Host.Opened.size(), 1);
    EXPECT_TRUE(Host.Opened[0].ReadOnly);
    EXPECT_EQ(Host.Opened[0].FileName, file);
    EXPECT_EQ(Host.Opened[0].Text, QStringLiteral("imported"));
    EXPECT_TRUE(answerer.Calls().isEmpty());

    // Cancelled: nothing runs, nothing is said.
    accept = false;
    manager.ImportExport(ioImport, dialog, &parent);
    EXPECT_EQ(control->Calls.size(), 1u);
    EXPECT_TRUE(answerer.Calls().isEmpty());

    // A failing format: the error box, and nothing is opened.
    accept = true;
    control->ImportResult = E_FAIL;
    manager.ImportExport(ioImport, dialog, &parent);
    EXPECT_EQ(Host.Opened.size(), 1);
    ASSERT_EQ(answerer.Calls().size(), 1);
    EXPECT_EQ(answerer.Calls()[0].Text, QStringLiteral("Cannot import file \"%1\"").arg(file));
    EXPECT_EQ(answerer.Calls()[0].Caption, QStringLiteral("Zelmar"));
    EXPECT_EQ(answerer.Calls()[0].Flags & MB_ICONMASK, MB_ICONERROR);
    EXPECT_EQ(answerer.Calls()[0].Owner, &parent);
}

TEST_F(PluginManager, ExportAddsTxtOnlyToNamesWithoutExtension)
{
    const QString path = Place("tp_io", QStringLiteral("io.so"));
    cPluginManager manager(&Host);
    manager.LoadPlugins(StartPath());
    tTestControl *control = Control(path);
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    manager.PrepareDialog(ioExport, dialog);
    QString typed;
    manager.SetDialogExecutor([&](QFileDialog &d) {
        d.selectFile(typed);
        d.selectNameFilter(d.nameFilters().at(0));
        return true;
    });
    cMessageBoxAnswerer answerer([](const tMessageBoxCall &) { return IDOK; });
    QDir().mkpath(FTemp.path() + QStringLiteral("/dir.d"));
    const std::string base = FTemp.path().toStdString();

    for (const auto &[name, written] : {std::pair{"/notes", "/notes.txt"},
                                        {"/notes.", "/notes."},
                                        {"/notes.md", "/notes.md"},
                                        {"/dir.d/notes", "/dir.d/notes.txt"}}) {
        control->Calls.clear();
        typed = FTemp.path() + QLatin1String(name);
        manager.ImportExport(ioExport, dialog, nullptr);
        EXPECT_EQ(control->Calls,
                  (std::vector<std::string>{"export FirstExport " + base + written + " active text"}));
    }
    EXPECT_TRUE(answerer.Calls().isEmpty());

    // The failure names the file as typed, without the added extension.
    control->ExportResult = E_FAIL;
    typed = FTemp.path() + QStringLiteral("/notes");
    manager.ImportExport(ioExport, dialog, nullptr);
    ASSERT_EQ(answerer.Calls().size(), 1);
    EXPECT_EQ(answerer.Calls()[0].Text, QStringLiteral("Cannot export file \"%1\"").arg(typed));
}

TEST_F(PluginManager, TheChosenFiltersPositionPicksThePluginWhateverItsText)
{
    const QString path = Place("tp_blank", QStringLiteral("blank.so"));
    cPluginManager manager(&Host);
    manager.LoadPlugins(StartPath());
    tTestControl *control = Control(path);
    ASSERT_NE(control, nullptr);
    control->ImportText = u"imported";
    QFileDialog importDialog, exportDialog;
    for (QFileDialog *dialog : {&importDialog, &exportDialog}) {
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        dialog->setFileMode(QFileDialog::AnyFile);
    }
    exportDialog.setAcceptMode(QFileDialog::AcceptSave);
    manager.PrepareDialog(ioImport, importDialog);
    manager.PrepareDialog(ioExport, exportDialog);
    // Two empty filters, two identical ones.
    ASSERT_EQ(importDialog.nameFilters().size(), 2);
    EXPECT_EQ(importDialog.nameFilters()[0], importDialog.nameFilters()[1]);
    EXPECT_EQ(exportDialog.nameFilters()[0], exportDialog.nameFilters()[1]);

    const QString file = FTemp.path() + QStringLiteral("/data.txt");
    int chosen = 1;
    manager.SetDialogExecutor([&](QFileDialog &d) {
        d.selectFile(file);
        ChooseFilter(d, chosen);
        return true;
    });
    cMessageBoxAnswerer answerer([](const tMessageBoxCall &) { return IDOK; });
    manager.ImportExport(ioImport, importDialog, nullptr);
    manager.ImportExport(ioExport, exportDialog, nullptr);
    chosen = 0;
    manager.ImportExport(ioExport, exportDialog, nullptr);
    const std::string name = file.toStdString();
    EXPECT_EQ(control->Calls, (std::vector<std::string>{"import BlankImportB " + name,
                                                        "export SameExportB " + name + " active text",
                                                        "export SameExportA " + name + " active text"}));
    EXPECT_TRUE(answerer.Calls().isEmpty());
}
