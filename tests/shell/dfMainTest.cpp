// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/dfMain.h"

#include "editor/editing/dfFind.h"
#include "editor/editing/EditorStatus.h"
#include "editor/editing/KbdMacros.h"
#include "editor/editing/UnicodeControls.h"
#include "editor/shell/dfCase.h"
#include "editor/text/UnicodeClipboard.h"
#include "editor/textengine/LineNumberGutter.h"
#include "editor/textengine/ViewDecorations.h"
#include "tests/shell/MainWindowFixture.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QClipboard>
#include <QCompleter>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusTipEvent>
#include <QTimer>

namespace {

using cActionStates = cMainWindowTest;
using cShortcutKeys = cMainWindowTest;
using cCommands = cMainWindowTest;

// Answers every question No.
class cAnswersNo
{
public:
    cAnswersNo() : FAnswerer([](const tMessageBoxCall &) { return IDNO; }) {}

private:
    cMessageBoxAnswerer FAnswerer;
};

TEST_F(cActionStates, WithoutDocumentsOnlyTheDocumentFreeCommandsAreEnabled)
{
    TFormMain &w = Open();
    w.RefreshActions();
    ASSERT_EQ(w.EditorTabs->DocumentCount(), 0);

    for (QAction *action :
         {w.acFileSave, w.acFileSaveAs, w.acFileClose, w.acFilePrint, w.acEditUndo, w.acEditRedo, w.acEditCut,
          w.acEditCopy, w.acEditPaste, w.acEditDelete, w.acEditChangeCase, w.acViewFont, w.acSearchFind,
          w.acSearchReplace, w.acSearchFindNext, w.acSearchGotoLine, w.acToolsPlayMacro,
          w.acPlayMacroOnAllEditors, w.acFileExport})
        EXPECT_FALSE(action->isEnabled()) << action->objectName().toStdString();
    for (QAction *action :
         {w.acFileNew, w.acFileOpen, w.acFilePrintSetup, w.acFileExit, w.acViewWrap, w.acViewStatusBar,
          w.acToolsStartMacro, w.acToolSaveSettingsOnExit, w.acToolUninstallNow})
        EXPECT_TRUE(action->isEnabled()) << action->objectName().toStdString();
    EXPECT_FALSE(w.acEditChangeCaseTo->isVisible());
    EXPECT_TRUE(w.acToolSaveSettingsOnExit->isChecked());
    EXPECT_TRUE(w.acViewStatusBar->isChecked());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Zelmar"));
}

TEST_F(cActionStates, WithoutPluginsImportExportAndThePluginsMenuAreHiddenButTheSeparatorStays)
{
    TFormMain &w = Open();
    w.RefreshActions();
    EXPECT_FALSE(w.acFileImport->isVisible());
    EXPECT_FALSE(w.acFileExport->isVisible());
    EXPECT_FALSE(w.miPlugins->menuAction()->isVisible());
    EXPECT_TRUE(w.miSeparatorImportExport->isVisible());
    EXPECT_TRUE(w.miFileDelimiter->isVisible());
}

TEST_F(cActionStates, WithTheProgramsPluginsImportExportAndThePluginsMenuShow)
{
    const QString pluginDir = QFileInfo(ExecutablePath()).dir().filePath(QStringLiteral("../bin/plugins"));
    if (!QFileInfo::exists(pluginDir + QStringLiteral("/fennic.so")))
        GTEST_SKIP() << "plug-ins not built";
    TFormMain &w = Open({}, pluginDir + QStringLiteral("/quorvel"));
    w.RefreshActions();
    EXPECT_TRUE(w.acFileImport->isVisible());
    EXPECT_TRUE(w.acFileImport->isEnabled());
    EXPECT_TRUE(w.acFileExport->isVisible());
    EXPECT_FALSE(w.acFileExport->isEnabled()); // no document yet
    EXPECT_TRUE(w.miPlugins->menuAction()->isVisible());
    w.EditorTabs->NewDocument();
    w.RefreshActions();
    EXPECT_TRUE(w.acFileExport->isEnabled());
}

TEST_F(cActionStates, MenusHoldTheirItemsInDesignOrder)
{
    TFormMain &w = Open();
    QStringList names;
    for (QAction *top : w.menuBar()->actions()) {
        QStringList items;
        for (QAction *item : top->menu()->actions())
            items << item->objectName();
        names << top->menu()->objectName() + u':' + items.join(u',');
    }
    EXPECT_EQ(
        names,
        QStringList({
            "miFile:acFileNew,acFileOpen,acFileOpenRecent,acFileReload,acFileReopenEncoding,acFileSave,"
            "acFileSaveAs,acFileClose,miSeparatorImportExport,acFileImport,acFileExport,miFileDelimiter,"
            "acFilePrintSetup,acFilePrintPreview,acFilePrint,miFilePrintDelimiter,acFileExit",
            "miEdit:acEditUndo,acEditRedo,miEditDelimiterUndo,acEditCut,acEditCopy,acEditPaste,"
            "acEditDelete,acEditSelectAll,miEditDelimiterSelectAll,acEditChangeCase,"
            "acEditChangeCaseTo",
            "miView:acViewWrap,acViewFont,miViewDelimiter,acViewStatusBar,miViewMarksDelimiter,"
            "acViewLineNumbers,acViewCurrentLine,acViewWhitespace,miViewZoomDelimiter,acViewZoomIn,"
            "acViewZoomOut,acViewZoomReset",
            "miSearch:acSearchFind,acSearchReplace,acSearchFindNext,miSearchDelimiter,"
            "acSearchGotoLine",
            "miPlugins:",
            "miTools:acToolsStartMacro,acToolsEndRecordMacro,acToolsPlayMacro,"
            "acPlayMacroOnAllEditors,miToolsPersistencyDelimiter,acToolSaveSettingsOnExit,"
            "acToolReopenFiles,acToolUninstallNow",
            "miHelp:miHelpAbout",
        }));
}

TEST_F(cActionStates, TheHoveredItemsLongHintGoesToTheStatusBar)
{
    TFormMain &w = Show();
    // A menu reports its hovered item to the widget that opened it.
    QStatusTipEvent tip(w.acFileOpen->statusTip());
    QCoreApplication::sendEvent(w.menuBar(), &tip);
    EXPECT_EQ(w.StatusBar->PanelText(cEditorStatusBar::MessagePanel),
              QStringLiteral("Opens an existing file"));
    EXPECT_EQ(w.acFileOpen->toolTip(), QStringLiteral("Open"));
    EXPECT_EQ(w.acToolSaveSettingsOnExit->statusTip(), QStringLiteral("\"Save Settings on Exit\" Option"));
}

TEST_F(cActionStates, ADisabledItemStillShowsItsLongHint)
{
    TFormMain &w = Show();
    w.EditorTabs->CloseActiveDocument(); // Save is disabled without a document
    w.RefreshActions();
    ASSERT_FALSE(w.acFileSave->isEnabled());
    w.miFile->popup(w.mapToGlobal(QPoint(0, 0)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.miFile));
    QTest::mouseMove(w.miFile, w.miFile->actionGeometry(w.acFileSave).center());
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return w.StatusBar->PanelText(cEditorStatusBar::MessagePanel) == QStringLiteral("Save a file");
    }));
    w.miFile->hide();
}

// No timer polls the states: each follows the change it depends on.
TEST_F(cActionStates, StatesFollowSelectionClipboardAndTabWithoutAMenuOrATimer)
{
    TFormMain &w = Show();
    Type(QStringLiteral("some text"));
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.acEditCopy->isEnabled());
    ActiveDocument()->SetSel(0, 4);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.acEditCopy->isEnabled(); }));

    QGuiApplication::clipboard()->clear();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.acEditPaste->isEnabled(); }));
    QGuiApplication::clipboard()->setText(QStringLiteral("x"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.acEditPaste->isEnabled(); }));

    w.EditorTabs->NewDocument();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.acEditCopy->isEnabled(); }));
    for (const QTimer *timer : w.findChildren<QTimer *>())
        EXPECT_FALSE(timer->isActive() && timer->interval() > 0) << timer->objectName().toStdString();
}

// The panels and the caption belong to the tab on show, whoever has the focus.
TEST_F(cActionStates, ThePanelsAndCaptionFollowTheActiveTabNotTheFocus)
{
    const QString file = WorkFile(QStringLiteral("a.txt"), "alpha\nbeta");
    TFormMain &w = Show({file});
    ActiveDocument()->setFocus();
    QTest::keyClick(ActiveDocument(), Qt::Key_Insert);
    QTest::keyClick(ActiveDocument(), Qt::Key_End);
    ASSERT_EQ(w.StatusBar->PanelText(cEditorStatusBar::OverwritePanel), QStringLiteral("OVR"));

    // The focus sits elsewhere, as while a modal dialog is up.
    QLineEdit elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    elsewhere.setFocus();
    w.EditorTabs->NewDocument();
    EXPECT_EQ(w.StatusBar->PanelText(cEditorStatusBar::OverwritePanel), QStringLiteral("INS"));
    EXPECT_EQ(w.StatusBar->PanelText(cEditorStatusBar::FileNamePanel).trimmed(), QString());
    EXPECT_EQ(w.StatusBar->PanelText(cEditorStatusBar::PositionPanel), QStringLiteral("1 : 1"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Zelmar"));

    w.EditorTabs->setCurrentIndex(0);
    EXPECT_EQ(w.StatusBar->PanelText(cEditorStatusBar::OverwritePanel), QStringLiteral("OVR"));
    EXPECT_EQ(w.StatusBar->PanelText(cEditorStatusBar::FileNamePanel).trimmed(), file);
    EXPECT_EQ(w.StatusBar->PanelText(cEditorStatusBar::PositionPanel), QStringLiteral("1 : 6"));
    EXPECT_EQ(w.windowTitle(), file + QStringLiteral(" - Zelmar"));

    // A document behind another tab keeps its changes to itself.
    Document(1)->SetModified(true);
    EXPECT_EQ(w.StatusBar->PanelText(cEditorStatusBar::ModifiedPanel), QString());
}

TEST_F(cActionStates, ClosingTheLastDocumentEmptiesEveryPanel)
{
    TFormMain &w = Show();
    Type(QStringLiteral("ab"));
    Press(Qt::Key_Return);
    Type(QStringLiteral("cd"));
    ASSERT_EQ(w.StatusBar->PanelText(cEditorStatusBar::PositionPanel), QStringLiteral("2 : 3"));
    cAnswersNo no;
    Press(Qt::Key_F4, Qt::ControlModifier);
    ASSERT_EQ(w.EditorTabs->DocumentCount(), 0);
    QCoreApplication::processEvents();
    for (int panel : {cEditorStatusBar::PositionPanel, cEditorStatusBar::ModifiedPanel,
                      cEditorStatusBar::OverwritePanel, cEditorStatusBar::FileNamePanel})
        EXPECT_EQ(w.StatusBar->PanelText(panel), QString()) << panel;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Zelmar"));
}

TEST_F(cCommands, SaveAsRefusesAFolderThatDoesNotExistAndStaysOpen)
{
    TFormMain &w = Show();
    Type(QStringLiteral("kept"));
    const QString missing = FWork.filePath(QStringLiteral("no/such/folder/notes.txt"));
    bool accepted = true;
    w.SetDialogExecutor([&](QFileDialog &dialog) {
        dialog.selectFile(missing);
        static_cast<QDialog &>(dialog).accept();
        accepted = dialog.result() == QDialog::Accepted;
        return accepted;
    });
    cMessageBoxAnswerer answers({});
    w.acFileSaveAs->trigger();
    EXPECT_FALSE(accepted);
    ASSERT_EQ(answers.Calls().size(), 1);
    EXPECT_TRUE(answers.Calls().first().Text.contains(QStringLiteral("does not exist")));
    EXPECT_TRUE(answers.Calls().first().Text.contains(QStringLiteral("folder")));
    EXPECT_TRUE(ActiveDocument()->FileName().isEmpty());
    EXPECT_TRUE(ActiveDocument()->Modified());
}

TEST_F(cCommands, NoCompletionPopupOutlivesItsFileDialog)
{
    TFormMain &w = Show();
    WorkFile(QStringLiteral("alpha.txt"), "a");
    QFileDialog &dialog = *w.FileOpenDialog;
    dialog.setDirectory(FWork.path());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto *completer = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->completer();
    ASSERT_NE(completer, nullptr);
    completer->setCompletionPrefix(QStringLiteral("al"));
    // The folder is read in the background: complete once it is known.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            completer->complete();
            return completer->popup()->isVisible();
        },
        60000));
    static_cast<QDialog &>(dialog).reject();
    EXPECT_FALSE(completer->popup()->isVisible());
}

TEST_F(cShortcutKeys, ShiftCtrlRStartsAndStopsRecordingAndCtrlRDoesNot)
{
    TFormMain &w = Show();
    Type(QStringLiteral("x"));
    Press(Qt::Key_R, Qt::ControlModifier);
    EXPECT_FALSE(w.EditorTabs->IsRecording());

    Press(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(w.EditorTabs->IsRecording());
    w.RefreshActions();
    EXPECT_FALSE(w.acToolsStartMacro->isEnabled());
    EXPECT_TRUE(w.acToolsEndRecordMacro->isEnabled());
    EXPECT_FALSE(w.acToolsPlayMacro->isEnabled());
    EXPECT_FALSE(w.acPlayMacroOnAllEditors->isEnabled());

    Type(QStringLiteral("ab"));
    Press(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_FALSE(w.EditorTabs->IsRecording());
    w.RefreshActions();
    EXPECT_TRUE(w.acToolsStartMacro->isEnabled());
    EXPECT_TRUE(w.acToolsPlayMacro->isEnabled());
    EXPECT_TRUE(w.acPlayMacroOnAllEditors->isEnabled());

    Press(Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ActiveDocument()->GetTextW(), QStringLiteral("xabab"));

    // And once more round: the key moved back to the start action. The
    // document saw the keys of both commands go up and down, yet nothing was
    // typed: there is no macro to play.
    Press(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(w.EditorTabs->IsRecording());
    Press(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(w.EditorTabs->IsRecording());
    w.RefreshActions();
    EXPECT_FALSE(w.acToolsPlayMacro->isEnabled());
    EXPECT_FALSE(w.acPlayMacroOnAllEditors->isEnabled());
    Press(Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ActiveDocument()->GetTextW(), QStringLiteral("xabab"));
}

TEST_F(cShortcutKeys, CtrlZUndoesOnceAndRedoAnswersShiftCtrlZNotCtrlY)
{
    TFormMain &w = Show();
    QSignalSpy undo(w.acEditUndo, &QAction::triggered);
    QSignalSpy redo(w.acEditRedo, &QAction::triggered);
    WClipboard().FSetClipboardString(QStringLiteral("pasted"));
    Type(QStringLiteral("one "));
    Press(Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(ActiveDocument()->GetTextW(), QStringLiteral("one pasted"));

    Press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(undo.count(), 1);
    EXPECT_EQ(ActiveDocument()->GetTextW(), QStringLiteral("one "));

    Press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(redo.count(), 0);

    ActiveDocument()->SetTextW(QStringLiteral("one pasted"));
    ActiveDocument()->SetSelStart(4);
    ActiveDocument()->SetSelLength(6);
    Press(Qt::Key_Delete);
    Press(Qt::Key_Z, Qt::ControlModifier);
    Press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(redo.count(), 1);
}

// Counts the presses of letter keys that reach a widget.
class cKeyCounter : public QObject
{
public:
    int Presses = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            Presses += key >= Qt::Key_A && key <= Qt::Key_Z;
        }
        return false;
    }
};

TEST_F(cShortcutKeys, ADisabledCommandSwallowsItsKeyAndAnEnabledOneRunsOnce)
{
    TFormMain &w = Show();
    const QString file = WorkFile(QStringLiteral("ro.txt"), "read only text");
    w.EditorTabs->OpenFile(file, true);
    cEditor *document = ActiveDocument();
    document->SetSelStart(0);
    document->SetSelLength(4);
    WClipboard().FSetClipboardString(QStringLiteral("before"));
    cKeyCounter counter;
    document->installEventFilter(&counter);
    QSignalSpy cut(w.acEditCut, &QAction::triggered);
    QSignalSpy copy(w.acEditCopy, &QAction::triggered);

    // Cut is disabled on a read-only document: the key ends there.
    Press(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(counter.Presses, 0);
    EXPECT_EQ(cut.count(), 0);
    EXPECT_EQ(WClipboard().FGetClipboardString(), QStringLiteral("before"));
    EXPECT_EQ(document->GetTextW(), QStringLiteral("read only text"));

    // Copy's state is taken when the key comes, not from the last refresh.
    Press(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(copy.count(), 1);
    EXPECT_EQ(counter.Presses, 0);
    EXPECT_EQ(WClipboard().FGetClipboardString(), QStringLiteral("read"));
}

TEST_F(cShortcutKeys, TwoCarriersOfOneKeyGiveItToTheFirstInMenuOrder)
{
    TFormMain &w = Show();
    // Before the first recording both macro actions carry the key.
    ASSERT_EQ(w.acToolsEndRecordMacro->shortcut(), QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_R));
    EXPECT_EQ(w.ShortcutCarrier(QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_R)), w.acToolsStartMacro);
    EXPECT_EQ(w.ShortcutCarrier(QKeySequence(Qt::CTRL | Qt::Key_R)), nullptr);
    EXPECT_EQ(w.ShortcutCarrier(QKeySequence(Qt::CTRL | Qt::Key_Y)), nullptr);
    EXPECT_EQ(w.ShortcutCarrier(QKeySequence(Qt::Key_F4)), nullptr); // hidden until a case is chosen
}

TEST_F(cCommands, ChangeCaseToStaysHiddenUntilTheDialogWasConfirmed)
{
    TFormCase formCase(nullptr);
    SetDocumentDialogs({{}, [&formCase](bool show) { return formCase.GetCase(show); }});
    TFormMain &w = Show();
    ActiveDocument()->SetTextW(QStringLiteral("abc"));
    ActiveDocument()->SetSel(0, -1);

    OnModal([](QWidget *dialog) { static_cast<QDialog *>(dialog)->reject(); });
    w.acEditChangeCase->trigger();
    w.RefreshActions();
    EXPECT_FALSE(w.acEditChangeCaseTo->isVisible());
    FocusDocument();
    Press(Qt::Key_F4);
    EXPECT_EQ(ActiveDocument()->GetTextW(), QStringLiteral("abc"));

    OnModal([](QWidget *dialog) { static_cast<QDialog *>(dialog)->accept(); }); // UPPER CASE preselected
    w.acEditChangeCase->trigger();
    EXPECT_EQ(ActiveDocument()->GetTextW(), QStringLiteral("ABC"));
    w.RefreshActions();
    EXPECT_TRUE(w.acEditChangeCaseTo->isVisible());
    EXPECT_EQ(w.acEditChangeCaseTo->text(), QStringLiteral("Change Case t&o UPPER"));

    ActiveDocument()->SetTextW(QStringLiteral("def"));
    ActiveDocument()->SetSel(0, -1);
    FocusDocument();
    Press(Qt::Key_F4);
    EXPECT_EQ(ActiveDocument()->GetTextW(), QStringLiteral("DEF"));
}

TEST_F(cCommands, FindNextIsEnabledExactlyWhileTheFindBoxHoldsText)
{
    TFormMain &w = Show();
    ActiveDocument()->SetTextW(QStringLiteral("one two one"));
    FormFind()->edwFind->setEditText(QString());
    w.RefreshActions();
    EXPECT_FALSE(w.acSearchFindNext->isEnabled());

    FormFind()->edwFind->setEditText(QStringLiteral("one"));
    w.RefreshActions();
    ASSERT_TRUE(w.acSearchFindNext->isEnabled());
    ActiveDocument()->SetSelStart(1);
    cMessageBoxAnswerer answerer([](const tMessageBoxCall &) { return IDOK; });
    Press(Qt::Key_F3);
    // The caret lands behind the second "one", which is marked as found.
    EXPECT_EQ(ActiveDocument()->GetSelStart(), 11);
    EXPECT_TRUE(ActiveDocument()->Highlighted());

    FormFind()->edwFind->setEditText(QString());
    w.RefreshActions();
    EXPECT_FALSE(w.acSearchFindNext->isEnabled());
}

// Find Next marks every match on screen as the find matched it; Escape and
// an edit take the marks away, moving does not.
TEST_F(cCommands, FindNextHighlightsTheOtherMatchesUntilEscapeOrAnEdit)
{
    Show();
    cEditor *document = ActiveDocument();
    document->SetTextW(QStringLiteral("one One one"));
    FormFind()->edwFind->setEditText(QStringLiteral("one"));
    FormFind()->cbCase->setChecked(true);
    Press(Qt::Key_F3);
    EXPECT_EQ(document->matchHighlight().Text, QStringLiteral("one"));
    EXPECT_TRUE(document->matchHighlight().MatchCase);
    Press(Qt::Key_Right);
    EXPECT_FALSE(document->matchHighlight().IsEmpty());
    Press(Qt::Key_Escape);
    EXPECT_TRUE(document->matchHighlight().IsEmpty());
    Press(Qt::Key_F3);
    ASSERT_FALSE(document->matchHighlight().IsEmpty());
    Press(Qt::Key_X);
    EXPECT_TRUE(document->matchHighlight().IsEmpty());
    FormFind()->cbCase->setChecked(false);
}

// A regular-expression find marks what the pattern matches, line by line,
// not its text taken literally.
TEST_F(cCommands, ARegexFindMarksEveryMatchOfThePattern)
{
    Show();
    cEditor *document = ActiveDocument();
    document->SetTextW(QStringLiteral("a1 b22 c333\r[0-9]+ x4"));
    FormFind()->edwFind->setEditText(QStringLiteral("[0-9]+"));
    FormFind()->rSpecialRegex->setChecked(true);
    Press(Qt::Key_F3);
    const auto marks =
        MatchesAround(document->buffer(), 0, document->GetTextLen(), document->matchHighlight());
    EXPECT_EQ(marks,
              (std::vector<std::pair<int, int>>{{1, 2}, {4, 6}, {8, 11}, {13, 14}, {15, 16}, {20, 21}}));
    FormFind()->rSpecialNone->setChecked(true);
}

// The View options reach every document, open and new, and come back at the
// next start from their own file, leaving the settings value alone.
TEST_F(cCommands, ViewOptionsApplyToEveryDocumentAndComeBackAtTheNextStart)
{
    TFormMain &w = Show();
    w.EditorTabs->NewDocument();
    w.acViewLineNumbers->trigger();
    w.acViewWhitespace->trigger();
    w.EditorTabs->NewDocument();
    for (int i = 0; i < w.EditorTabs->DocumentCount(); ++i) {
        EXPECT_TRUE(Document(i)->viewOptions().LineNumbers) << i;
        EXPECT_NE(Document(i)->findChild<cLineNumberGutter *>(), nullptr) << i;
        EXPECT_TRUE(Document(i)->viewOptions().Whitespace) << i;
        EXPECT_FALSE(Document(i)->viewOptions().CurrentLine) << i;
    }
    const QString preferences = QFileInfo(SettingsFile()).dir().filePath(QStringLiteral("Preferences"));
    const QByteArray stored = Bytes(preferences);
    EXPECT_TRUE(stored.contains("LineNumbers=true\n")) << stored.toStdString();
    EXPECT_TRUE(stored.contains("ShowWhitespace=true\n")) << stored.toStdString();

    TFormMain &again = Show();
    again.RefreshActions();
    EXPECT_TRUE(again.acViewLineNumbers->isChecked());
    EXPECT_TRUE(again.acViewWhitespace->isChecked());
    EXPECT_FALSE(again.acViewCurrentLine->isChecked());
    again.EditorTabs->NewDocument();
    EXPECT_TRUE(ActiveDocument()->viewOptions().LineNumbers);
    again.acViewLineNumbers->trigger();
    EXPECT_EQ(ActiveDocument()->findChild<cLineNumberGutter *>(), nullptr);
    EXPECT_TRUE(Bytes(preferences).contains("LineNumbers=false\n"));
}

TEST_F(cCommands, SelectAllSelectsTheFocusedDocument)
{
    TFormMain &w = Show();
    w.RefreshActions();
    EXPECT_FALSE(w.acEditSelectAll->isEnabled());
    Type(QStringLiteral("some text"));
    Press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(ActiveDocument()->GetSelLength(), 9);
}

} // namespace
