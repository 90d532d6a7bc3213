// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/ExtraCommands.h"

#include "editor/editing/DiskWatch.h"
#include "editor/editing/EditorControls.h"
#include "editor/editing/Editors.h"
#include "editor/editing/FileEncodings.h"
#include "editor/platform/AnsiCodePage.h"
#include "editor/platform/Application.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"
#include "editor/shell/dfBMain.h"
#include "editor/shell/Session.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPrinter>
#include <QPrintPreviewDialog>
#include <QScrollBar>
#include <QTabBar>

#include <algorithm>

namespace {

const QString ReopenFilesKey = QStringLiteral("ReopenFilesAtStart");

QString ProductName()
{
    return LoadResString(res::ProductName);
}

// A name as a menu shows it, with no accelerator of its own.
QString MenuText(QString text)
{
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

// Keeps the caret and the view of a document across a reading of its file.
class cKeepView
{
public:
    explicit cKeepView(cEditor &document)
        : FDocument(&document), FCaret(document.cursorPosition()),
          FTop(document.verticalScrollBar()->value()), FLeft(document.horizontalScrollBar()->value())
    {}
    ~cKeepView()
    {
        if (!FDocument)
            return;
        FDocument->setCursorPosition(std::min(FCaret, FDocument->GetTextLen()));
        FDocument->verticalScrollBar()->setValue(FTop);
        FDocument->horizontalScrollBar()->setValue(FLeft);
    }
    cKeepView(const cKeepView &) = delete;
    cKeepView &operator=(const cKeepView &) = delete;

private:
    QPointer<cEditor> FDocument;
    int FCaret, FTop, FLeft;
};

} // namespace

cExtraCommands::cExtraCommands(cFormMain &window, const tExtraMenuPlaces &places)
    : QObject(&window), FWindow(window), FClose(places.Close)
{
    using K = QKeySequence;
    acFileOpenRecent = NewAction(QStringLiteral("acFileOpenRecent"), QStringLiteral("Open &Recent"),
                                 QStringLiteral("Open Recent|Opens one of the files used last"));
    FRecentMenu = new QMenu(&FWindow);
    FRecentMenu->setObjectName(QStringLiteral("miFileOpenRecent"));
    FRecentMenu->setAccessibleName(QStringLiteral("Open Recent"));
    acFileOpenRecent->setMenu(FRecentMenu);
    connect(FRecentMenu, &QMenu::aboutToShow, this, &cExtraCommands::FillRecentMenu);
    acFileClearRecent = NewAction(QStringLiteral("acFileClearRecent"), QStringLiteral("&Clear List"),
                                  QStringLiteral("Clear List|Empties the list of recent files"));
    connect(acFileClearRecent, &QAction::triggered, this, [this] { FRecent.Clear(); });

    acFileReload =
        NewAction(QStringLiteral("acFileReload"), QStringLiteral("Re&load"),
                  QStringLiteral("Reload|Reads the active document's file again"), {K(Qt::Key_F5)});
    connect(acFileReload, &QAction::triggered, this, &cExtraCommands::Reload);
    acFileReopenEncoding = NewAction(
        QStringLiteral("acFileReopenEncoding"), QStringLiteral("Reopen with E&ncoding"),
        QStringLiteral("Reopen with Encoding|Reads the active document's file again in an encoding"));
    auto *encodings = new QMenu(&FWindow);
    encodings->setObjectName(QStringLiteral("miFileReopenEncoding"));
    encodings->setAccessibleName(QStringLiteral("Reopen with Encoding"));
    BuildEncodingMenu(encodings);
    acFileReopenEncoding->setMenu(encodings);
    FDocumentActions = {acFileReload, acFileReopenEncoding};

    acFilePrintPreview = NewAction(QStringLiteral("acFilePrintPreview"), QStringLiteral("Print Pre&view..."),
                                   QStringLiteral("Print Preview|Shows the pages as they will be printed"));
    connect(acFilePrintPreview, &QAction::triggered, this, &cExtraCommands::PrintPreview);

    cEditorController &tabs = *FWindow.EditorTabs;
    acViewZoomIn = NewAction(QStringLiteral("acViewZoomIn"), QStringLiteral("Zoom &In"),
                             QStringLiteral("Zoom In|Shows the text of every document larger"),
                             {K(Qt::CTRL | Qt::Key_Plus), K(Qt::CTRL | Qt::Key_Equal)});
    acViewZoomOut = NewAction(QStringLiteral("acViewZoomOut"), QStringLiteral("Zoom O&ut"),
                              QStringLiteral("Zoom Out|Shows the text of every document smaller"),
                              {K(Qt::CTRL | Qt::Key_Minus)});
    acViewZoomReset = NewAction(QStringLiteral("acViewZoomReset"), QStringLiteral("&Normal Size"),
                                QStringLiteral("Normal Size|Shows the text in the editor font's own size"),
                                {K(Qt::CTRL | Qt::Key_0)});
    // "+" is a shifted key on most layouts; it keeps its Shift.
    QAction *zoomInShifted = NewAction(QStringLiteral("acViewZoomInShifted"), QStringLiteral("Zoom In"), {},
                                       {K(Qt::SHIFT | Qt::CTRL | Qt::Key_Plus)});
    connect(acViewZoomIn, &QAction::triggered, this, [&tabs] { tabs.SetZoom(tabs.Zoom() + 1); });
    connect(zoomInShifted, &QAction::triggered, acViewZoomIn, &QAction::trigger);
    connect(acViewZoomOut, &QAction::triggered, this, [&tabs] { tabs.SetZoom(tabs.Zoom() - 1); });
    connect(acViewZoomReset, &QAction::triggered, this, [&tabs] { tabs.SetZoom(0); });

    acToolReopenFiles =
        NewAction(QStringLiteral("acToolReopenFiles"), QStringLiteral("Reopen &Files at Start"),
                  QStringLiteral("\"Reopen Files at Start\" Option"));
    acToolReopenFiles->setCheckable(true);
    connect(acToolReopenFiles, &QAction::triggered, this, [this] {
        cPreferences &preferences = *FWindow.Preferences;
        preferences.SetBool(ReopenFilesKey, !ReopenFilesAtStart());
        acToolReopenFiles->setChecked(ReopenFilesAtStart());
        try {
            preferences.Save();
        } catch (...) {
            ShowCurrentException();
        }
    });

    acTabNext = NewAction(QStringLiteral("acTabNext"), QStringLiteral("Next Tab"), {},
                          {K(Qt::CTRL | Qt::Key_PageDown)});
    acTabPrevious = NewAction(QStringLiteral("acTabPrevious"), QStringLiteral("Previous Tab"), {},
                              {K(Qt::CTRL | Qt::Key_PageUp)});
    auto step = [&tabs](int by) {
        if (tabs.count() > 1)
            tabs.setCurrentIndex((tabs.currentIndex() + by + tabs.count()) % tabs.count());
    };
    connect(acTabNext, &QAction::triggered, this, [step] { step(1); });
    connect(acTabPrevious, &QAction::triggered, this, [step] { step(-1); });

    places.File->insertActions(places.BeforeSave, {acFileOpenRecent, acFileReload, acFileReopenEncoding});
    places.File->insertAction(places.BeforePrint, acFilePrintPreview);
    places.View->addSeparator()->setObjectName(QStringLiteral("miViewZoomDelimiter"));
    places.View->addActions({acViewZoomIn, acViewZoomOut, acViewZoomReset});
    places.Tools->insertAction(places.BeforeUninstall, acToolReopenFiles);
    FKeyActions = {acFileReload,  acViewZoomIn, acViewZoomOut, acViewZoomReset,
                   zoomInShifted, acTabNext,    acTabPrevious};

    connect(&tabs, &cEditorController::FileUsed, this, &cExtraCommands::FileUsed);
    tabs.tabBar()->installEventFilter(this);
}

cExtraCommands::~cExtraCommands() = default;

QAction *cExtraCommands::NewAction(const QString &name, const QString &caption, const QString &hint,
                                   const QList<QKeySequence> &keys)
{
    auto *action = new QAction(caption, &FWindow);
    action->setObjectName(name);
    const qsizetype bar = hint.indexOf(u'|');
    action->setToolTip(bar < 0 ? hint : hint.left(bar));
    action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    FWindow.addAction(action);
    // No exception may travel through Qt's signal code.
    connect(action, &QAction::triggered, this, [this] { FWindow.ScheduleRefresh(); });
    return action;
}

void cExtraCommands::UpdateActions()
{
    const cEditor *document = FWindow.EditorTabs->ActiveEditor();
    for (QAction *action : FDocumentActions)
        action->setEnabled(document && !document->FileName().isEmpty());
    acFilePrintPreview->setEnabled(document && document->GetTextLen() > 0);
    acFileOpenRecent->setEnabled(true);
    acToolReopenFiles->setChecked(ReopenFilesAtStart());
    const bool several = FWindow.EditorTabs->DocumentCount() > 1;
    acTabNext->setEnabled(several);
    acTabPrevious->setEnabled(several);
}

// ---------------------------------------------------------------------------
// Recent files

void cExtraCommands::FileUsed(const QString &fileName)
{
    FRecent.Add(fileName);
    AddToDesktopRecentFiles(fileName);
}

void cExtraCommands::FillRecentMenu()
{
    FRecentMenu->clear();
    const QStringList &files = FRecent.Files();
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString number = i < 9 ? QStringLiteral("&%1").arg(i + 1) : QStringLiteral("1&0");
        QAction *item = FRecentMenu->addAction(number + QStringLiteral(": ") + MenuText(files[i]));
        item->setStatusTip(files[i]);
        const QString fileName = files[i];
        connect(item, &QAction::triggered, this, [this, fileName] { OpenRecent(fileName); });
    }
    if (files.isEmpty())
        FRecentMenu->addAction(QStringLiteral("(No recent files)"))->setEnabled(false);
    FRecentMenu->addSeparator();
    FRecentMenu->addAction(acFileClearRecent);
    acFileClearRecent->setEnabled(!files.isEmpty());
}

void cExtraCommands::OpenRecent(const QString &fileName)
{
    if (!QFileInfo(fileName).isFile()) {
        MessageBox(&FWindow,
                   Format(QStringLiteral(
                              "The file \"%s\" no longer exists.\r\rIt is removed from the recent files."),
                          {fileName}),
                   ProductName(), MB_OK | MB_ICONWARNING);
        FRecent.Remove(fileName);
        return;
    }
    try {
        FWindow.EditorTabs->OpenFile(fileName, false);
    } catch (...) {
        ShowCurrentException();
    }
    FWindow.RefreshActions();
}

// ---------------------------------------------------------------------------
// Reload and Reopen with Encoding

void cExtraCommands::BuildEncodingMenu(QMenu *menu)
{
    auto add = [this](QMenu *into, const QString &caption, const tFileCoding &coding) {
        connect(into->addAction(caption), &QAction::triggered, this, [this, coding] { ReopenAs(coding); });
    };
    add(menu, QStringLiteral("UTF-&8"), {teUTF8, {}, true});
    add(menu, QStringLiteral("UTF-16 &LE"), {teUnicode, {}, true});
    add(menu, QStringLiteral("UTF-16 &BE"), {teUnicodeBigEndian, {}, true});
    const QByteArray locale = AnsiCodePageName();
    add(menu, QStringLiteral("Locale's Code &Page (%1)").arg(MenuText(QString::fromLatin1(locale))),
        {teAnsi, locale, false});
    menu->addSeparator();
    for (const tCodePageGroup &group : CodePageGroups()) {
        QMenu *region = menu->addMenu(group.Caption);
        region->setAccessibleName(QString(group.Caption).remove(u'&'));
        // Code pages that start alike share their letter; it steps between them.
        for (const QByteArray &codePage : group.CodePages)
            add(region, u'&' + QString::fromLatin1(codePage), {teAnsi, codePage, false});
    }
}

bool cExtraCommands::MayDiscardChanges(cEditor &document)
{
    if (!document.Modified())
        return true;
    return MessageBox(&FWindow,
                      Format(QStringLiteral("File \"%s\" modified.\r\rDo you want to discard the changes and "
                                            "read the file again?"),
                             {document.FileName()}),
                      ProductName(), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void cExtraCommands::ReopenAs(const tFileCoding &coding)
{
    cEditor *document = FWindow.EditorTabs->ActiveEditor();
    if (!document || document->FileName().isEmpty() || !MayDiscardChanges(*document))
        return;
    try {
        const cKeepView keep(*document);
        document->LoadFromFileAs(document->FileName(), coding);
        FWindow.EditorTabs->DiskWatch().Remember(*document);
    } catch (...) {
        ShowCurrentException();
    }
    FWindow.RefreshActions();
}

void cExtraCommands::Reload()
{
    cEditor *document = FWindow.EditorTabs->ActiveEditor();
    if (!document || document->FileName().isEmpty() || !MayDiscardChanges(*document))
        return;
    try {
        const cKeepView keep(*document);
        document->LoadFromFile(document->FileName());
        FWindow.EditorTabs->DiskWatch().Remember(*document);
    } catch (...) {
        ShowCurrentException();
    }
    FWindow.RefreshActions();
}

// ---------------------------------------------------------------------------
// Print preview

void cExtraCommands::PrintPreview()
{
    if (!FWindow.EditorTabs->ActiveEditor())
        return;
    QPrintPreviewDialog dialog(&FWindow.Printer(), &FWindow);
    dialog.setObjectName(QStringLiteral("PrintPreview"));
    // Drawn by the same code as printing, on the same printer and page set-up.
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter *printer) { FWindow.PrintActiveDocument(*printer); });
    FPreview = &dialog;
    dialog.exec();
    FPreview = nullptr;
}

// ---------------------------------------------------------------------------
// Session

bool cExtraCommands::ReopenFilesAtStart() const
{
    return FWindow.Preferences && FWindow.Preferences->Bool(ReopenFilesKey, false);
}

void cExtraCommands::RestoreSession()
{
    if (ReopenFilesAtStart())
        ::RestoreSession(LoadSession(), *FWindow.EditorTabs);
}

void cExtraCommands::SaveSession()
{
    if (ReopenFilesAtStart())
        ::SaveSession(CaptureSession(*FWindow.EditorTabs));
}

void cExtraCommands::Uninstall()
{
    RemoveStateDirectory();
}

// ---------------------------------------------------------------------------
// A middle click on a tab closes it, asking as Close does.

bool cExtraCommands::eventFilter(QObject *watched, QEvent *event)
{
    auto *bar = qobject_cast<QTabBar *>(watched);
    if (bar && event->type() == QEvent::MouseButtonRelease) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const int index = bar->tabAt(mouse->position().toPoint());
        if (mouse->button() == Qt::MiddleButton && index >= 0) {
            // Closed once the click is over: the tab bar is still handling it.
            QMetaObject::invokeMethod(
                this,
                [this, index] {
                    cEditorController &tabs = *FWindow.EditorTabs;
                    if (index >= tabs.count())
                        return;
                    tabs.setCurrentIndex(index);
                    FWindow.RefreshActions();
                    if (FClose && FClose->isEnabled())
                        FClose->trigger();
                },
                Qt::QueuedConnection);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
